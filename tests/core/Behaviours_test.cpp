#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#include "base/Utf8.h"
#include "standin/model/Behaviours.h"

using standin::AnswerWord;
using standin::Behaviour;
using standin::Behaviours;
using standin::HostOptions;
using standin::ParseAnswer;
using standin::Played;

namespace {

std::string Utf8(std::u16string_view text) { return base::ToUtf8Shown(text); }

// The script line that gives `answer` to `b`, as words.
std::vector<std::u16string> Line(const Behaviour& b, const std::vector<std::u16string>& answer) {
    std::vector<std::u16string> words{std::u16string(b.command)};
    if (b.command != b.name) words.emplace_back(b.name);
    words.insert(words.end(), answer.begin(), answer.end());
    return words;
}

std::vector<std::u16string> Split(std::u16string_view text) {
    std::vector<std::u16string> words;
    for (size_t at = 0; at <= text.size();) {
        const size_t end = std::min(text.find(u' ', at), text.size());
        words.emplace_back(text.substr(at, end - at));
        at = end + 1;
    }
    return words;
}

// How the errors name `b`: `play menus`, `version`.
std::u16string Called(const Behaviour& b) {
    return b.command == b.name ? std::u16string(b.name) : std::u16string(b.command) + u" " + std::u16string(b.name);
}

// Each answer a behaviour takes, by its words: every choice, a number's ends and a middle, a text.
std::vector<std::vector<std::u16string>> EveryAnswer(const Behaviour& b) {
    std::vector<std::vector<std::u16string>> answers{{}};
    for (const AnswerWord& word : b.answer) {
        std::vector<std::u16string> values;
        if (word.kind == AnswerWord::Kind::Choice)
            for (const auto choice : word.choices) values.emplace_back(choice);
        if (word.kind == AnswerWord::Kind::Number)
            for (const int n : {word.least, (word.least + word.most) / 2, word.most}) {
                const std::string s = std::to_string(n);
                values.emplace_back(s.begin(), s.end());
            }
        if (word.kind == AnswerWord::Kind::Text) values = {u"14.0.7015.1000", u"11.0.5510"};
        std::vector<std::vector<std::u16string>> longer;
        for (const auto& start : answers)
            for (const auto& value : values) {
                longer.push_back(start);
                longer.back().push_back(value);
            }
        answers = std::move(longer);
    }
    return answers;
}

// A word of the form `word` does not take, or nothing when it takes every word.
std::optional<std::u16string> Refused(const AnswerWord& word) {
    if (word.kind == AnswerWord::Kind::Choice) return u"sometimes";
    if (word.kind == AnswerWord::Kind::Number) {
        const std::string s = std::to_string(word.most + 1);
        return std::u16string(s.begin(), s.end());
    }
    return std::nullopt;
}

}  // namespace

TEST(Behaviours, EachAnswerIsReadAndPlayedAsGiven) {
    for (const Behaviour& b : Behaviours()) {
        for (const auto& answer : EveryAnswer(b)) {
            const auto parsed = ParseAnswer(Line(b, answer));
            SCOPED_TRACE(Utf8(b.name) + " " + Utf8(parsed.answer.Text()));
            ASSERT_EQ(parsed.error, u"");
            ASSERT_EQ(parsed.answer.behaviour, &b);
            EXPECT_EQ(parsed.answer.words, answer);
            HostOptions options;
            Played played;
            b.play(parsed.answer, options, played);
            EXPECT_EQ(b.playing(options, played), parsed.answer.Text());
            if (b.command == u"play") {
                EXPECT_EQ(standin::PlaysLine(parsed.answer),
                          u"host plays " + std::u16string(b.name) + u"=" + parsed.answer.Text());
            }
        }
    }
}

TEST(Behaviours, DefaultsAreWhatTheHostPlaysUntold) {
    const HostOptions options;
    const Played played;
    for (const Behaviour& b : Behaviours()) {
        SCOPED_TRACE(Utf8(b.name));
        EXPECT_EQ(b.playing(options, played), b.defaultAnswer);
        const auto parsed = ParseAnswer(Line(b, Split(b.defaultAnswer)));
        EXPECT_EQ(parsed.error, u"");
    }
    // What the host program and the documents say; a change of a default changes them too.
    EXPECT_EQ(ParseAnswer({u"version"}).error, u"version <text> expected");
    const std::pair<std::u16string_view, std::u16string_view> documented[] = {
        {u"version", u"9.0.0.2711"}, {u"exit-close", u"on"},       {u"guard", u"allow"},
        {u"byref", u"copy"},         {u"menus", u"ask-each-open"}, {u"slow-save", u"0 still"}};
    ASSERT_EQ(Behaviours().size(), std::size(documented));
    for (size_t n = 0; n < std::size(documented); ++n) {
        EXPECT_EQ(Behaviours()[n].name, documented[n].first);
        EXPECT_EQ(Behaviours()[n].defaultAnswer, documented[n].second);
    }
}

TEST(Behaviours, OtherAnswersAreRefusedWithTheTablesWords) {
    EXPECT_EQ(ParseAnswer({u"play"}).error, u"play: exit-close, guard, byref, menus or slow-save expected");
    EXPECT_EQ(ParseAnswer({u"play", u"version", u"14.0"}).error,
              u"play: exit-close, guard, byref, menus or slow-save expected");
    EXPECT_EQ(ParseAnswer({u"play", u"menus", u"sometimes"}).error,
              u"play menus: sometimes is not one of its answers (ask-each-open|cached)");
    EXPECT_EQ(ParseAnswer({u"play", u"slow-save", u"-1", u"pump"}).error,
              u"play slow-save: -1 is not one of its answers (0 to 10000 ms)");
    EXPECT_EQ(ParseAnswer({u"play", u"slow-save", u"0x10", u"pump"}).error,
              u"play slow-save: 0x10 is not one of its answers (0 to 10000 ms)");
    EXPECT_EQ(ParseAnswer({u"play", u"slow-save", u"260"}).error, u"play slow-save <ms> still|pump expected");
    EXPECT_EQ(ParseAnswer({u"play", u"exit-close", u"on", u"off"}).error, u"play exit-close on|off expected");
    for (const Behaviour& b : Behaviours()) {
        const auto every = EveryAnswer(b);
        for (size_t n = 0; n < b.answer.size(); ++n) {
            const auto refused = Refused(b.answer[n]);
            if (!refused) continue;
            auto answer = every.front();
            answer[n] = *refused;
            EXPECT_EQ(ParseAnswer(Line(b, answer)).error,
                      Called(b) + u": " + *refused + u" is not one of its answers (" + b.answer[n].Range() + u")");
        }
        auto longer = every.front();
        longer.emplace_back(u"more");
        EXPECT_EQ(ParseAnswer(Line(b, longer)).error, Called(b) + u" " + b.Form() + u" expected");
    }
}

// The host program's README shows the table as the model has it, line for line.
TEST(Behaviours, TheReadmeShowsTheTable) {
    std::ifstream in(std::filesystem::path(TALLOWBY_SOURCE_DIR) / "standin" / "win" / "README.md");
    ASSERT_TRUE(in) << "cannot read standin/win/README.md";
    const auto table = standin::BehaviourTable();
    std::vector<std::string> expected, found;
    for (const auto& line : table) expected.push_back(Utf8(line));
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (found.empty() && line != expected.front()) continue;
        if (line.empty() || line[0] != '|') break;
        found.push_back(line);
    }
    std::string text;
    for (const auto& line : expected) text += line + "\n";
    EXPECT_EQ(found, expected) << "standin/win/README.md's table of behaviours should read:\n" << text;
}
