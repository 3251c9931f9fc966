// The script's words and lines, the transcript's quoting, and the kept command-bar state.
#include <windows.h>

#include <gtest/gtest.h>

#include "standin/model/Host.h"
#include "standin/win/Runner.h"
#include "standin/win/Script.h"
#include "standin/win/StateFile.h"
#include "standin/win/Transcript.h"

using standin::win::ExpandLoops;
using standin::win::ParseScript;
using standin::win::ScriptError;
using standin::win::SplitWords;
using standin::win::Transcript;

namespace {

using Words = std::vector<std::u16string>;

TEST(ScriptTest, WordsQuotesAndComments) {
    EXPECT_EQ(SplitWords(u"open mail \"Quarterly report\" sent  # a comment"),
              (Words{u"open", u"mail", u"Quarterly report", u"sent"}));
    EXPECT_EQ(SplitWords(u"attach byref C:\\links\\plan.xls"), (Words{u"attach", u"byref", u"C:\\links\\plan.xls"}));
    EXPECT_EQ(SplitWords(u"note \"say \\\"hi\\\" # not a comment\""), (Words{u"note", u"say \"hi\" # not a comment"}));
    EXPECT_EQ(SplitWords(u"x \"\""), (Words{u"x", u""}));
    EXPECT_THROW(SplitWords(u"open \"unterminated", 7), ScriptError);
    EXPECT_THROW(SplitWords(u"open \"a\"b"), ScriptError);
}

TEST(ScriptTest, LinesKeepTheirNumbersAndSkipBlanks) {
    const auto lines = ParseScript(u"\xFEFFversion 9.0\r\n\r\n# only a comment\r\n  send\n");
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].number, 1);
    EXPECT_EQ(lines[0].words, (Words{u"version", u"9.0"}));
    EXPECT_EQ(lines[1].number, 4);
    EXPECT_EQ(lines[1].text, u"  send");
    try {
        (void)ParseScript(u"start\nopen \"x\n");
        ADD_FAILURE() << "expected a script error";
    } catch (const ScriptError& e) {
        EXPECT_EQ(e.line, 2);
    }
}

TEST(ScriptTest, LoopsAreWrittenOutWithTheirTurnsAndEveryKeepsItsTurns) {
    const auto lines = ExpandLoops(ParseScript(u"start\n"
                                               u"loop 6\n"
                                               u"open mail \"soak %i\" attach byvalue \"f %i.txt\"\n"
                                               u"every 3 sample\n"
                                               u"every 4+1 click\n"
                                               u"end loop\n"
                                               u"shutdown\n"));
    std::vector<Words> words;
    for (const auto& line : lines) words.push_back(line.words);
    std::vector<Words> expected{{u"start"}};
    for (int turn = 1; turn <= 6; ++turn) {
        const std::u16string n(1, static_cast<char16_t>(u'0' + turn));
        expected.push_back({u"open", u"mail", u"soak " + n, u"attach", u"byvalue", u"f " + n + u".txt"});
        if (turn % 3 == 0) expected.push_back({u"sample"});
        if (turn % 4 == 1) expected.push_back({u"click"});
    }
    expected.push_back({u"shutdown"});
    EXPECT_EQ(words, expected);
    EXPECT_EQ(lines[1].number, 3) << "a written-out line keeps the number of its line in the script";
    EXPECT_EQ(lines[1].text, u"open mail \"soak 1\" attach byvalue \"f 1.txt\"");
    const char16_t* const wrong[] = {u"loop 2\nsample\n", u"end loop\n", u"loop x\nend loop\n",
                                     u"loop 2\nevery 2\nend loop\n"};
    for (size_t i = 0; i < std::size(wrong); ++i) EXPECT_THROW(ExpandLoops(ParseScript(wrong[i])), ScriptError) << i;
}

TEST(ScriptTest, QuotedTextReadsBackUnchanged) {
    for (std::u16string text : {u"plain", u"C:\\links\\plan.xls", u"ends with \\", u"say \"hi\"", u"a\\\"b",
                                u"two\\\\slashes", u"\u0412\u043b\u043e\u0436\u0435\u043d\u0438\u0435 \u2116 5"}) {
        const auto words = SplitWords(u"x " + Transcript::Quote(text));
        ASSERT_EQ(words.size(), 2u);
        EXPECT_EQ(words[1], text);
    }
    EXPECT_EQ(Transcript::Quote(u"C:\\a\tb"), u"\"C:\\a\\tb\"");
}

TEST(ScriptTest, CommandBarStateSurvivesTheFile) {
    standin::CommandBarStore store;
    auto bar = std::make_shared<standin::BarNode>();
    bar->name = u"Quenmark \"Toolbar\"";
    bar->visible = true;
    bar->protection = 1;
    auto button = std::make_shared<standin::ControlNode>();
    button->caption = u"Save \u00c4ttachments";
    button->onAction = u"!<Tallowby.Connect>";
    button->tag = u"Tag";
    button->enabled = false;
    button->style = 3;
    button->faceId = 3;
    int image = 0;
    button->picture = &image;
    bar->controls.push_back(button);
    auto temporary = std::make_shared<standin::BarNode>();
    temporary->temporary = true;
    store.inspector.bars = {bar, temporary};

    wchar_t dir[MAX_PATH];
    GetTempPathW(MAX_PATH, dir);
    const std::wstring path = std::wstring(dir) + L"standin_state_test.txt";
    standin::win::SaveState(path, store, [&](const void* p) { return p == &image ? u"bitmap 16x16" : u""; });
    standin::CommandBarStore read;
    standin::win::LoadState(path, read);
    DeleteFileW(path.c_str());

    ASSERT_EQ(read.inspector.bars.size(), 1u) << "temporary bars are not kept";
    EXPECT_TRUE(read.explorer.bars.empty());
    const auto& b = *read.inspector.bars[0];
    EXPECT_EQ(b.name, bar->name);
    EXPECT_TRUE(b.visible);
    EXPECT_EQ(b.protection, 1);
    ASSERT_EQ(b.controls.size(), 1u);
    const auto& c = *b.controls[0];
    EXPECT_EQ(c.caption, button->caption);
    EXPECT_EQ(c.onAction, button->onAction);
    EXPECT_EQ(c.tag, u"Tag");
    EXPECT_FALSE(c.enabled);
    EXPECT_EQ(c.style, 3);
    EXPECT_EQ(c.faceId, 3);
    EXPECT_EQ(standin::win::LoadedPictureText(c.picture), u"bitmap 16x16");
    EXPECT_EQ(c.mask, nullptr);
    EXPECT_EQ(c.parent.lock().get(), read.inspector.bars[0].get());
}

TEST(ScriptTest, AMissingStateFileIsAnEmptyStore) {
    standin::CommandBarStore read;
    standin::win::LoadState(L"no_such_state_file.txt", read);
    EXPECT_TRUE(read.inspector.bars.empty());
}

}  // namespace
