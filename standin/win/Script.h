#pragma once
// The host program's script: plain UTF-8 text, one command per line (see README.md).
//   - Words are separated by blanks. A word in double quotes may hold blanks; inside quotes \" is a
//     quote and \\ a backslash. Backslashes outside quotes are plain characters (Windows paths).
//   - '#' outside quotes starts a comment that runs to the end of the line; blank lines are skipped.
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace standin::win {

/// One command: its line number in the file, its words (the first is the command's name), and
/// the line's text for the transcript.
struct ScriptLine {
    int number = 0;
    std::vector<std::u16string> words;
    std::u16string text;
};

/// A line the parser or the runner cannot use.
struct ScriptError : std::runtime_error {
    ScriptError(int lineNumber, std::u16string text)
        : std::runtime_error("script error"), line(lineNumber), message(std::move(text)) {}
    int line;
    std::u16string message;
};

/// Splits one line into words; throws ScriptError (with `number`) for an unterminated quote.
std::vector<std::u16string> SplitWords(std::u16string_view line, int number = 0);

/// Parses a whole script (UTF-8, an optional byte-order mark, LF or CRLF line ends).
std::vector<ScriptLine> ParseScript(std::u16string_view text);

}  // namespace standin::win
