#pragma once
// The behaviours the stand-in host plays that a script chooses: the host's options (`version`) and
// the plausible answers where no source says (`play <behaviour> <answer>`). One table holds each
// behaviour's name, answers, default and source; the script's parsing, its errors, the transcript's
// `host plays` line and the host program's README table of behaviours are all made from it.
#include <string>
#include <string_view>
#include <vector>

#include "standin/model/Host.h"
#include "standin/model/RibbonHost.h"

namespace standin {

/// What the host program plays beside the host's options (HostOptions): its own behaviours.
struct Played {
    /// The last main window's Close at a fast exit (version 14 and later).
    bool exitClose = true;
    /// When a context menu's callbacks are asked.
    MenuAsking menus = MenuAsking::EachOpening;
    /// How much longer each Attachment.SaveAsFile takes, and whether the host's thread handles its
    /// messages meanwhile.
    int slowSaveMs = 0;
    bool slowSavePumps = false;
};

/// One word of a behaviour's answer: one of a few words, a whole number in a range, or any text.
struct AnswerWord {
    enum class Kind { Choice, Number, Text };
    Kind kind = Kind::Choice;
    std::vector<std::u16string_view> choices;
    int least = 0;
    int most = 0;
    /// The number's unit (`ms`), or the text's placeholder (`text`).
    std::u16string_view unit;

    /// The word as the table shows it: `on|off`, `<ms>` (0 to 10000), `<text>`.
    std::u16string Form() const;
    /// What the word may be, for an error: `on|off`, `0 to 10000 ms`, `any text`.
    std::u16string Range() const;
};

/// The answer a script gave: the behaviour, its words, and each word's value (a choice's index or
/// the number; 0 for a text).
struct BehaviourAnswer {
    const struct Behaviour* behaviour = nullptr;
    std::vector<std::u16string> words;
    std::vector<int> values;

    /// The words as one text (`260 pump`).
    std::u16string Text() const;
};

struct Behaviour {
    /// The script's command: `play` for a behaviour named after it (`play <name> <answer>`), else the
    /// command that is the behaviour's own (`version <answer>`).
    std::u16string_view command;
    std::u16string_view name;
    std::vector<AnswerWord> answer;
    std::u16string_view defaultAnswer;
    /// What it plays, for the README.
    std::u16string_view what;
    /// Where it comes from: a row of docs/host-behaviour.md, or that no source says.
    std::u16string_view source;
    /// An option of the host's objects (HostOptions), read by them at each call: the host program
    /// makes the host to set it.
    bool ofHost = false;
    void (*play)(const BehaviourAnswer& answer, HostOptions& options, Played& played) = nullptr;
    /// The answer now played, as its words.
    std::u16string (*playing)(const HostOptions& options, const Played& played) = nullptr;

    /// The whole answer's form: `<ms> still|pump`.
    std::u16string Form() const;
};

/// Every behaviour a script chooses, in the README's order.
const std::vector<Behaviour>& Behaviours();

/// A script line's words, the command first, read by the table: the answer, or the error's text.
struct ParsedAnswer {
    BehaviourAnswer answer;
    std::u16string error;
};
ParsedAnswer ParseAnswer(const std::vector<std::u16string>& words);

/// The transcript's line for a `play` answer: `host plays slow-save=260 pump`.
std::u16string PlaysLine(const BehaviourAnswer& answer);

/// The README's table of behaviours, its header first, one line each.
std::vector<std::u16string> BehaviourTable();

}  // namespace standin
