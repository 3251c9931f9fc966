#pragma once
// The host program's transcript: one observation per line, UTF-8, written at once (so a run that
// has to be stopped still leaves everything it saw), safe to call from the robot's thread.
#include <windows.h>

#include <mutex>
#include <string>
#include <string_view>

namespace standin::win {

class Transcript {
public:
    /// Writes to `out` (a file or the standard output); the handle stays the caller's.
    explicit Transcript(HANDLE out) noexcept : out_(out) {}

    /// Writes `text` and a line end.
    void Line(std::u16string_view text) noexcept;
    /// Lines that report a failure of the run; the program's exit code follows them.
    void Failure(std::u16string_view text) noexcept;
    bool Failed() const noexcept;

    /// `text` in double quotes: `"` as \", control characters as \n \r \t \xNN, and a backslash doubled
    /// where it precedes `"` or `\` or ends the text (so SplitWords reads it back unchanged).
    static std::u16string Quote(std::u16string_view text);

private:
    HANDLE out_;
    mutable std::mutex mutex_;
    bool failed_ = false;
};

/// UTF-16 to UTF-8 and back (lone surrogates become U+FFFD).
std::string ToUtf8(std::u16string_view text);
std::u16string FromUtf8(std::string_view text);
/// A number as text.
std::u16string Num(long long n);
/// An HRESULT as 0xXXXXXXXX.
std::u16string Hex(long hr);

}  // namespace standin::win
