#include "standin/model/Behaviours.h"

#include <algorithm>

namespace standin {

namespace {

AnswerWord Choice(std::vector<std::u16string_view> choices) {
    return {AnswerWord::Kind::Choice, std::move(choices), 0, 0, {}};
}

AnswerWord Number(int least, int most, std::u16string_view unit) {
    return {AnswerWord::Kind::Number, {}, least, most, unit};
}

AnswerWord Text(std::u16string_view placeholder) { return {AnswerWord::Kind::Text, {}, 0, 0, placeholder}; }

std::u16string Decimal(long long n) {
    const std::string s = std::to_string(n);
    return {s.begin(), s.end()};
}

// A whole number in decimal digits, with an optional sign; false for anything else or one too long.
bool ReadNumber(const std::u16string& word, int& value) {
    size_t at = word.size() > 1 && word[0] == u'-' ? 1 : 0;
    if (at == word.size() || word.size() - at > 9) return false;
    long long n = 0;
    for (; at < word.size(); ++at) {
        if (word[at] < u'0' || word[at] > u'9') return false;
        n = n * 10 + (word[at] - u'0');
    }
    value = static_cast<int>(word[0] == u'-' ? -n : n);
    return true;
}

std::u16string Joined(const std::vector<std::u16string_view>& words, std::u16string_view between) {
    std::u16string text;
    for (const auto word : words) text += (text.empty() ? u"" : std::u16string(between)) + std::u16string(word);
    return text;
}

// A table cell's text: a `|` inside it would end the cell.
std::u16string Cell(std::u16string_view text) {
    std::u16string cell;
    for (const char16_t c : text) {
        if (c == u'|') cell += u'\\';
        cell += c;
    }
    return cell;
}

}  // namespace

std::u16string AnswerWord::Form() const {
    switch (kind) {
    case Kind::Choice: return Joined(choices, u"|");
    case Kind::Number:
    case Kind::Text: return u"<" + std::u16string(unit) + u">";
    }
    return {};
}

std::u16string AnswerWord::Range() const {
    switch (kind) {
    case Kind::Choice: return Joined(choices, u"|");
    case Kind::Number: return Decimal(least) + u" to " + Decimal(most) + u" " + std::u16string(unit);
    case Kind::Text: return u"any text";
    }
    return {};
}

std::u16string BehaviourAnswer::Text() const {
    std::u16string text;
    for (const auto& word : words) text += (text.empty() ? u"" : u" ") + word;
    return text;
}

std::u16string Behaviour::Form() const {
    std::u16string form;
    for (const auto& word : answer) form += (form.empty() ? u"" : u" ") + word.Form();
    return form;
}

const std::vector<Behaviour>& Behaviours() {
    static const std::vector<Behaviour> table = {
        {u"version", u"version", {Text(u"text")}, u"9.0.0.2711",
         u"The host's `Version`; its major version (the number before the first `.`) chooses what the host "
         u"is (the `version` command above).",
         u"docs/host-behaviour.md: the versions each row applies to (9 to 16)", false,
         [](const BehaviourAnswer& a, HostOptions& options, Played&) {
             options.version = a.words[0];
             options.buttonPictures = options.Major() >= 10;
         },
         [](const HostOptions& options, const Played&) { return options.version; }},
        {u"play", u"exit-close", {Choice({u"on", u"off"})}, u"on",
         u"Whether the last main window's `Close` comes at a fast exit of version 14 and later.",
         u"no source says: each plausible answer is played (docs/host-behaviour.md, Loading and shut-down: "
         u"Fast shutdown)",
         false, [](const BehaviourAnswer& a, HostOptions&, Played& played) { played.exitClose = a.values[0] == 0; },
         [](const HostOptions&, const Played& played) { return std::u16string(played.exitClose ? u"on" : u"off"); }},
        {u"play", u"guard", {Choice({u"allow", u"refuse"})}, u"allow",
         u"The object-model guard of versions 9 to 11 asks the user about protected members such as "
         u"`SenderName`: `refuse` is the user's No, and the call fails with `MAPI_E_NOT_SUPPORTED`; `allow` "
         u"plays no prompt, or Yes.",
         u"docs/host-behaviour.md, Items and attachments: `SenderName` refused by the object-model guard; the "
         u"user's security settings choose",
         true, [](const BehaviourAnswer& a, HostOptions& options, Played&) { options.guardRefuses = a.values[0] == 1; },
         [](const HostOptions& options, const Played&) {
             return std::u16string(options.guardRefuses ? u"refuse" : u"allow");
         }},
        {u"play", u"byref", {Choice({u"refuse", u"copy", u"link"})}, u"copy",
         u"What `Attachments.Add(path, 4)` makes from version 12, where links are no longer supported: the call "
         u"fails, a copy by value is attached, or a link as before (versions 9 to 11 always make a link).",
         u"docs/host-behaviour.md, Items and attachments: `Add(path, 4)` is unsupported; what it makes instead: "
         u"no source says: each plausible answer is played",
         true,
         [](const BehaviourAnswer& a, HostOptions& options, Played&) {
             constexpr ByReference answers[] = {ByReference::Refuse, ByReference::Copy, ByReference::Link};
             options.byReference = answers[a.values[0]];
         },
         [](const HostOptions& options, const Played&) {
             return std::u16string(options.byReference == ByReference::Refuse ? u"refuse"
                                   : options.byReference == ByReference::Copy ? u"copy"
                                                                              : u"link");
         }},
        {u"play", u"menus", {Choice({u"ask-each-open", u"cached"})}, u"ask-each-open",
         u"Whether the host asks a context menu's callbacks at each opening, or at the first and again only "
         u"after the add-in invalidated them.",
         u"no source says: each plausible answer is played (docs/host-behaviour.md, Ribbon: Context menus)", false,
         [](const BehaviourAnswer& a, HostOptions&, Played& played) {
             played.menus = a.values[0] == 0 ? MenuAsking::EachOpening : MenuAsking::UntilInvalidated;
         },
         [](const HostOptions&, const Played& played) {
             return std::u16string(played.menus == MenuAsking::EachOpening ? u"ask-each-open" : u"cached");
         }},
        {u"play", u"slow-save", {Number(0, 10000, u"ms"), Choice({u"still", u"pump"})}, u"0 still",
         u"Each `Attachment.SaveAsFile` takes `<ms>` more, with the host's thread asleep or handling its "
         u"messages; while a progress window is up and a `progress` answer waits, until the robot has given it.",
         u"no source says: each plausible answer is played (docs/host-behaviour.md, Where no source says: how "
         u"long `SaveAsFile` takes)",
         false,
         [](const BehaviourAnswer& a, HostOptions&, Played& played) {
             played.slowSaveMs = a.values[0];
             played.slowSavePumps = a.values[1] == 1;
         },
         [](const HostOptions&, const Played& played) {
             return Decimal(played.slowSaveMs) + (played.slowSavePumps ? u" pump" : u" still");
         }},
    };
    return table;
}

ParsedAnswer ParseAnswer(const std::vector<std::u16string>& words) {
    ParsedAnswer parsed;
    if (words.empty()) return parsed;
    const auto& table = Behaviours();
    const bool play = words[0] == u"play";
    const auto found = std::find_if(table.begin(), table.end(), [&](const Behaviour& b) {
        return b.command == words[0] && (!play || (words.size() > 1 && b.name == words[1]));
    });
    if (found == table.end()) {
        std::vector<std::u16string_view> names;
        for (const auto& b : table)
            if (b.command == words[0]) names.push_back(b.name);
        std::u16string list;
        for (size_t n = 0; n < names.size(); ++n)
            list += (n == 0 ? u"" : n + 1 == names.size() ? u" or " : u", ") + std::u16string(names[n]);
        parsed.error = std::u16string(words[0]) + u": " + list + u" expected";
        return parsed;
    }
    const Behaviour& behaviour = *found;
    const std::u16string called = play ? u"play " + std::u16string(behaviour.name) : std::u16string(behaviour.name);
    const size_t first = play ? 2 : 1;
    if (words.size() - first != behaviour.answer.size()) {
        parsed.error = called + u" " + behaviour.Form() + u" expected";
        return parsed;
    }
    BehaviourAnswer& answer = parsed.answer;
    answer.behaviour = &behaviour;
    answer.words.assign(words.begin() + static_cast<std::ptrdiff_t>(first), words.end());
    for (size_t n = 0; n < behaviour.answer.size(); ++n) {
        const AnswerWord& form = behaviour.answer[n];
        const std::u16string& word = answer.words[n];
        int value = 0;
        bool fits = true;
        if (form.kind == AnswerWord::Kind::Choice) {
            const auto at = std::find(form.choices.begin(), form.choices.end(), word);
            fits = at != form.choices.end();
            value = static_cast<int>(at - form.choices.begin());
        } else if (form.kind == AnswerWord::Kind::Number) {
            fits = ReadNumber(word, value) && value >= form.least && value <= form.most;
        }
        if (!fits) {
            parsed.error = called + u": " + word + u" is not one of its answers (" + form.Range() + u")";
            parsed.answer = {};
            return parsed;
        }
        answer.values.push_back(value);
    }
    return parsed;
}

std::u16string PlaysLine(const BehaviourAnswer& answer) {
    return u"host plays " + std::u16string(answer.behaviour->name) + u"=" + answer.Text();
}

std::vector<std::u16string> BehaviourTable() {
    std::vector<std::u16string> lines = {u"| Behaviour | Answers | Default | What the host plays | Source |",
                                         u"|---|---|---|---|---|"};
    for (const auto& b : Behaviours()) {
        std::u16string answers = u"`" + Cell(b.Form()) + u"`";
        for (const auto& word : b.answer)
            if (word.kind == AnswerWord::Kind::Number) answers += u" (`" + word.Form() + u"`: " + word.Range() + u")";
        const std::u16string name =
            b.command == b.name ? std::u16string(b.name) : std::u16string(b.command) + u" " + std::u16string(b.name);
        lines.push_back(u"| `" + name + u"` | " + answers + u" | `" + Cell(b.defaultAnswer) + u"` | " + Cell(b.what) +
                        u" | " + Cell(b.source) + u" |");
    }
    return lines;
}

}  // namespace standin
