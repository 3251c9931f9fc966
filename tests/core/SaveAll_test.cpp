// "Save All Attachments" through the in-memory host, a scripted folder dialog and files written
// to a folder of the test's own.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "addin/core/ActionManager.h"
#include "addin/core/FileNameMangler.h"
#include "addin/core/FolderNames.h"
#include "addin/core/host/Inspector.h"
#include "tests/core/Session.h"

using namespace addin;

namespace fs = std::filesystem;
using standin::ItemKind;

namespace {

std::string Narrow(const std::u16string& s) { return {s.begin(), s.end()}; }

std::string BytesOf(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

constexpr char16_t kTitle[] = u"Save All Attachments";

struct SaveAllTest : testing::Test {
    explicit SaveAllTest(standin::HostOptions options = {}) : host(std::make_shared<standin::CommandBarStore>(), options) {
        // Module state outlives a test: each starts as a freshly loaded add-in.
        Preferences::SetReplaceWithLinks(false);
        Preferences::SetShortcutsRefused(false);
        platform.filesOnDisk = true;
        platform.listFolders = true;
        platform.folderPrompt = folderPrompt;
        platform.prompt = savePrompt;
        actions.SetHostMajorVersion(static_cast<int16_t>(options.Major()));
        folder = fs::current_path() / "save-all" / testing::UnitTest::GetInstance()->current_test_info()->name();
        fs::remove_all(folder);
        fs::create_directories(folder);
    }
    ~SaveAllTest() override {
        if (!HasFailure()) fs::remove_all(folder);
    }

    // A received message whose attachments are by value, named as given; content "content N".
    static std::shared_ptr<standin::ItemNode> Message(const std::vector<std::u16string>& names) {
        auto item = std::make_shared<standin::ItemNode>(ItemKind::Mail);
        item->sent = true;
        int n = 0;
        for (const auto& name : names) item->Attach(1, name, "content " + std::to_string(++n));
        return item;
    }
    void Choose(bool replace = false, bool open = false) {
        folderPrompt->script.push_back(FolderChoice{folder.u16string(), replace, open});
    }
    void Run(const std::shared_ptr<standin::ItemNode>& item) {
        actions.SaveAll(host.InspectorObject(host.OpenInspector(item)));
    }
    std::vector<std::string> Names() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
    void Existing(const std::string& name) { std::ofstream(folder / name) << "the user's own"; }
    int CallsOf(const std::string& member) {
        const auto& calls = host.ledger().Calls();
        return static_cast<int>(std::count(calls.begin(), calls.end(), member));
    }
    // The summary: the last message box, which must be the run's.
    std::u16string Summary() {
        EXPECT_FALSE(platform.shown.empty());
        if (platform.shown.empty()) return {};
        EXPECT_EQ(platform.shown.back().title, kTitle);
        return platform.shown.back().text;
    }
    static bool Has(const std::u16string& text, const std::u16string& part) {
        return text.find(part) != std::u16string::npos;
    }

    fs::path folder;
    FakePlatform platform;
    std::shared_ptr<ScriptedFolderPrompt> folderPrompt = std::make_shared<ScriptedFolderPrompt>();
    std::shared_ptr<ScriptedSaveAsPrompt> savePrompt = std::make_shared<ScriptedSaveAsPrompt>();
    standin::Host host;
    ActionManager actions{platform};
};

struct SaveAllLinksTest : SaveAllTest {
    SaveAllLinksTest() : SaveAllTest(standin::HostOptions{u"11.0.5510", true}) {}
};
struct SaveAllCopiesTest : SaveAllTest {
    SaveAllCopiesTest() : SaveAllTest(standin::HostOptions{u"14.0.7015.1000", true}) {}
};

}  // namespace

// ---- names

struct NamesCase {
    const char* what;
    std::vector<std::string> existing;     // files in the folder before the run
    std::vector<std::u16string> attached;  // the attachments' file names
    std::vector<std::string> written;      // the names each attachment is written under, in order
};

TEST_F(SaveAllTest, EachAttachmentGetsTheFirstFreeNameOfTheDropDownAndNothingIsOverwritten) {
    const NamesCase cases[] = {
        {"free names stay", {}, {u"a.txt", u"b.txt"}, {"a.txt", "b.txt"}},
        {"two of one name", {}, {u"a.txt", u"a.txt"}, {"a.txt", "a -- 1.txt"}},
        {"three of one name in other letter case", {}, {u"a.txt", u"A.TXT", u"a.Txt"},
         {"a.txt", "A -- 1.TXT", "a -- 2.Txt"}},
        {"taken in the folder", {"report.doc"}, {u"report.doc"}, {"report -- 1.doc"}},
        {"taken in the folder in other letter case", {"REPORT.DOC", "Report -- 1.doc"}, {u"report.doc"},
         {"report -- 2.doc"}},
        {"the folder and the run together", {"a -- 1.txt"}, {u"a.txt", u"a.txt", u"a.txt"},
         {"a.txt", "a -- 2.txt", "a -- 3.txt"}},
        {"a name from an earlier suggestion", {"a.txt"}, {u"a -- 1.txt"}, {"a -- 1.txt"}},
        {"a taken name from an earlier suggestion goes back to its stem", {"a -- 1.txt"}, {u"a -- 1.txt"},
         {"a -- 2.txt"}},
        {"no extension", {"README"}, {u"README", u"README"}, {"README -- 1", "README -- 2"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove_all(folder);
        fs::create_directories(folder);
        for (const auto& name : c.existing) Existing(name);
        Choose();
        platform.answers.push_back(MessageBoxResult::Ok);
        const auto item = Message(c.attached);
        platform.listings.clear();
        Run(item);
        std::vector<std::string> expected = c.written;
        expected.insert(expected.end(), c.existing.begin(), c.existing.end());
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(Names(), expected);
        for (size_t i = 0; i < c.written.size(); ++i)
            EXPECT_EQ(BytesOf(folder / c.written[i]), "content " + std::to_string(i + 1)) << c.written[i];
        for (const auto& name : c.existing) EXPECT_EQ(BytesOf(folder / name), "the user's own") << name;
        EXPECT_EQ(platform.listings.size(), 1u) << "one directory query per run";
    }
}

TEST_F(SaveAllTest, HostileNamesAreWrittenSafelyInsideTheFolderAndReportedAsRenamed) {
    const std::vector<std::u16string> attached = {u"..\\..\\evil.exe", u"C:\\Windows\\win.ini", u"con.txt",
                                                  u"a<b>|c?.txt", u"trailing. . ", u"\u202Egnp.exe"};
    const std::vector<std::string> expected = {"_con.txt", "_gnp.exe", "a_b__c_.txt", "evil.exe", "trailing",
                                               "win.ini"};
    Choose();
    platform.answers.push_back(MessageBoxResult::Ok);
    Run(Message(attached));
    EXPECT_EQ(Names(), expected);
    const std::u16string summary = Summary();
    EXPECT_TRUE(Has(summary, u"6 of 6 attachments saved in " + folder.u16string() + u"."));
    EXPECT_TRUE(Has(summary, u"a<b>|c?.txt -> a_b__c_.txt"));
    EXPECT_TRUE(Has(summary, u"con.txt -> _con.txt"));
    EXPECT_TRUE(Has(summary, u"trailing. .  -> trailing"));
}

TEST_F(SaveAllTest, TheSummaryNamesTheFolderEachRenamedAttachmentAndEachFailureWithItsReason) {
    Existing("notes.txt");
    host.ledger().FailMember("Attachment.SaveAsFile", HostStatus::Fail, 2);
    Choose();
    platform.answers.push_back(MessageBoxResult::Ok);
    Run(Message({u"a.txt", u"b.txt", u"notes.txt"}));
    // The second write fails; the third still comes.
    EXPECT_EQ(Names(), (std::vector<std::string>{"a.txt", "notes -- 1.txt", "notes.txt"}));
    ASSERT_EQ(platform.shown.size(), 1u) << "one message for the whole run";
    EXPECT_EQ(platform.shown[0].flags, MessageBoxFlags::Ok);
    const std::u16string summary = Summary();
    EXPECT_EQ(summary.substr(0, summary.find(u"\r\n")), u"2 of 3 attachments saved in " + folder.u16string() + u".");
    EXPECT_TRUE(Has(summary, u"Saved under another name:\r\nnotes.txt -> notes -- 1.txt"));
    EXPECT_TRUE(Has(summary, u"Not saved:\r\nb.txt: "));
    EXPECT_FALSE(Has(summary, u"Stopped before"));
    EXPECT_TRUE(platform.temporaryPaths.size() == 3u);
    for (const auto& temporary : platform.temporaryPaths) EXPECT_FALSE(fs::exists(fs::path(temporary)));
}

// The listing is taken once; another program may create files after it. The file system's own
// refusal of an existing name then moves the attachment on to the next free name, written once.
TEST_F(SaveAllTest, AFileThatAppearsAfterTheListingIsNeverWrittenOverAndTheNextNameIsTaken) {
    const fs::path folderPath = folder;
    platform.appearing = [&](const std::u16string& target) {
        const std::string name = fs::path(target).filename().string();
        // Another program takes the first two names the run picks for "a.txt", one at a time.
        if ((name == "a.txt" || name == "a -- 1.txt") && !fs::exists(folderPath / name)) Existing(name);
    };
    Choose();
    platform.answers.push_back(MessageBoxResult::Ok);
    Run(Message({u"a.txt", u"a.txt", u"b.txt"}));
    EXPECT_EQ(Names(), (std::vector<std::string>{"a -- 1.txt", "a -- 2.txt", "a -- 3.txt", "a.txt", "b.txt"}));
    EXPECT_EQ(BytesOf(folder / "a.txt"), "the user's own");
    EXPECT_EQ(BytesOf(folder / "a -- 1.txt"), "the user's own");
    EXPECT_EQ(BytesOf(folder / "a -- 2.txt"), "content 1");
    EXPECT_EQ(BytesOf(folder / "a -- 3.txt"), "content 2") << "a name found taken is not offered again";
    EXPECT_EQ(BytesOf(folder / "b.txt"), "content 3");
    EXPECT_EQ(CallsOf("Attachment.SaveAsFile"), 3) << "each attachment written once, whatever name it takes";
    EXPECT_EQ(platform.listings.size(), 1u);
    EXPECT_TRUE(Has(Summary(), u"a.txt -> a -- 2.txt"));
}

TEST_F(SaveAllTest, WhenEveryNameIsTakenTheWrittenFileGoesAndTheFailureIsReported) {
    // Every name the run picks is taken just before the file would take it.
    platform.appearing = [&](const std::u16string& target) {
        if (!fs::exists(fs::path(target))) Existing(fs::path(target).filename().string());
    };
    Choose();
    platform.answers.push_back(MessageBoxResult::Ok);
    Run(Message({u"a.txt"}));
    for (const auto& name : Names()) EXPECT_EQ(BytesOf(folder / name), "the user's own") << name;
    EXPECT_GT(platform.placedAsNew.size(), 10u);
    for (const auto& temporary : platform.temporaryPaths) EXPECT_FALSE(fs::exists(fs::path(temporary)));
    EXPECT_TRUE(Has(Summary(), u"Not saved:\r\na.txt: every name for it is taken in the folder"));
}

TEST_F(SaveAllTest, TheFolderIsListedOnceAndNamesAreNotTestedOneByOne) {
    Choose();
    platform.answers.push_back(MessageBoxResult::Ok);
    std::vector<std::u16string> names(20, u"same.bin");
    Run(Message(names));
    EXPECT_EQ(platform.listings, std::vector<std::u16string>{folder.u16string()});
    EXPECT_EQ(platform.existenceTests, platform.temporaryPaths) << "only the written files are checked";
    EXPECT_EQ(Names().size(), 20u);
}

TEST_F(SaveAllTest, AFolderThatCannotBeListedIsAskedNameByName) {
    platform.unlistable = true;
    Existing("a.txt");
    Choose();
    platform.answers.push_back(MessageBoxResult::Ok);
    Run(Message({u"a.txt"}));
    EXPECT_EQ(Names(), (std::vector<std::string>{"a -- 1.txt", "a.txt"}));
    EXPECT_EQ(platform.listings.size(), 1u);
}

TEST(FolderNames, RecordsCompareAsTheFileSystemComparesAndPathsJoinOnce) {
    FakePlatform platform;
    platform.listFolders = true;
    platform.unlistable = true;
    platform.filesOnDisk = true;
    FolderNames root(platform, u"C:\\");
    EXPECT_EQ(root.Folder(), u"C:\\");
    EXPECT_EQ(root.PathOf(u"a.txt"), u"C:\\a.txt");
    FolderNames names(platform, u"Z:\\nonexistent-folder\\x\\\\");
    EXPECT_EQ(names.Folder(), u"Z:\\nonexistent-folder\\x");
    EXPECT_EQ(names.PathOf(u"a.txt"), u"Z:\\nonexistent-folder\\x\\a.txt");
    EXPECT_EQ(FolderNames(platform, u"/tmp/x").PathOf(u"a.txt"), u"/tmp/x/a.txt");
    names.Record(u"Report.doc");
    for (const auto* same : {u"report.doc", u"REPORT.DOC", u"Report.doc.", u"Report.doc  "})
        EXPECT_TRUE(names.Taken(same)) << Narrow(same);
    EXPECT_FALSE(names.Taken(u"report.docx"));
}

TEST(FolderNames, AnotherFilesShortAliasIsTaken) {
    const fs::path folder = fs::current_path() / "folder-names-aliases";
    fs::remove_all(folder);
    fs::create_directories(folder);
    std::ofstream(folder / "Quarterly report.txt") << "x";
    std::ofstream(folder / "Quarterly figures.txt") << "x";
    std::ofstream(folder / "NOTES.TXT") << "x";
    FakePlatform platform;
    platform.listFolders = true;
    platform.filesOnDisk = true;
    FolderNames names(platform, folder.u16string());
    const struct {
        const char16_t* name;
        bool taken;
    } cases[] = {
        {u"QUARTE~1.TXT", true}, {u"quarte~2.txt", true}, {u"QUARTE~3.TXT", false},
        {u"notes.txt", true},    {u"NOTES~1.TXT", false}, {u"Quarterly report.txt", true},
    };
    for (const auto& c : cases) EXPECT_EQ(names.Taken(c.name), c.taken) << Narrow(c.name);
    EXPECT_EQ(platform.listings.size(), 1u);
    fs::remove_all(folder);
}

// ---- the folder dialog and cancelling

TEST_F(SaveAllTest, CancelInTheFolderDialogChangesNothing) {
    Preferences::SetReplaceWithLinks(true);
    folderPrompt->script.push_back(std::nullopt);
    const auto item = Message({u"a.txt"});
    Run(item);
    EXPECT_TRUE(Names().empty());
    EXPECT_TRUE(platform.shown.empty()) << "no summary after a cancel";
    EXPECT_EQ(item->attachments.size(), 1u);
    EXPECT_EQ(CallsOf("Item.Save"), 0);
    EXPECT_EQ(CallsOf("Attachment.SaveAsFile"), 0);
}

TEST_F(SaveAllTest, TheDialogStartsWhereTheSaveAsDialogWouldAndTheNextSaveAsStartsInTheFolderChosen) {
    Preferences::SetReplaceWithLinks(true);
    folderPrompt->script.push_back(std::nullopt);
    Run(Message({u"a.txt"}));
    ASSERT_EQ(folderPrompt->calls.size(), 1u);
    EXPECT_EQ(folderPrompt->calls[0].title, kTitle);
    EXPECT_EQ(folderPrompt->calls[0].startFolder, u"");
    EXPECT_TRUE(folderPrompt->calls[0].replaceIn) << "preset from the preference";
    EXPECT_TRUE(folderPrompt->calls[0].replaceOffered);

    // A Save As dialog confirmed in one folder: the folder dialog starts there.
    savePrompt->script.push_back({(folder / "x.txt").u16string(), false, false});
    savePrompt->lastFolder = u"Z:\\before\\";
    actions.Action(host.InspectorObject(host.OpenInspector(Message({u"x.txt"}))));
    Preferences::SetReplaceWithLinks(false);
    Choose();
    platform.answers.push_back(MessageBoxResult::Ok);
    Run(Message({u"b.txt"}));
    ASSERT_EQ(folderPrompt->calls.size(), 2u);
    EXPECT_EQ(folderPrompt->calls[1].startFolder, u"Z:\\before\\");
    EXPECT_FALSE(folderPrompt->calls[1].replaceIn);
    EXPECT_EQ(savePrompt->lastFolder, folder.u16string()) << "the Save As dialog follows the folder chosen";
}

TEST_F(SaveAllTest, PoliciesSetTheFolderDialogsBoxOrWithdrawIt) {
    using Hive = Platform::PolicyHive;
    using Value = Platform::PolicyValue;
    const Value on{Value::Kind::Dword, 1}, off{Value::Kind::Dword, 0}, seven{Value::Kind::Dword, 7};
    struct Row {
        const char* name;
        std::map<std::pair<Hive, std::u16string>, Value> policies;
        bool preference;
        bool replaceIn;
        bool offered;
    };
    const Row rows[] = {
        {"no policy: the preference", {}, true, true, true},
        {"user ReplaceWithLinks 0", {{{Hive::User, u"ReplaceWithLinks"}, off}}, true, false, true},
        {"machine ReplaceWithLinks 1", {{{Hive::Machine, u"ReplaceWithLinks"}, on}}, false, true, true},
        {"machine AllowReplace 0", {{{Hive::Machine, u"AllowReplace"}, off}}, true, false, false},
        {"AllowReplace 7 is ignored", {{{Hive::Machine, u"AllowReplace"}, seven}}, true, true, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        platform.policies = row.policies;
        Preferences::SetReplaceWithLinks(row.preference);
        folderPrompt->script.push_back(std::nullopt);
        Run(Message({u"a.txt"}));
        ASSERT_FALSE(folderPrompt->calls.empty());
        EXPECT_EQ(folderPrompt->calls.back().replaceIn, row.replaceIn);
        EXPECT_EQ(folderPrompt->calls.back().replaceOffered, row.offered);
    }
}

TEST_F(SaveAllTest, WithTheBoxWithdrawnAFolderDialogThatStillAnswersReplaceMakesNoShortcut) {
    platform.policies[{Platform::PolicyHive::User, u"AllowReplace"}] = {Platform::PolicyValue::Kind::Dword, 0};
    Choose(true);
    platform.answers.push_back(MessageBoxResult::Ok);
    const auto item = Message({u"a.txt"});
    Run(item);
    EXPECT_EQ(Names(), std::vector<std::string>{"a.txt"});
    ASSERT_EQ(item->attachments.size(), 1u);
    EXPECT_EQ(item->attachments[0]->type, host::AttachmentType::ByValue);
    EXPECT_EQ(CallsOf("Attachments.Add"), 0);
}

TEST_F(SaveAllTest, NoShownAttachmentShowsNoDialog) {
    auto item = std::make_shared<standin::ItemNode>(ItemKind::Mail);
    item->sent = true;
    item->Attach(4, u"C:\\Linked\\a.txt", "x");
    item->Attach(5, u"embedded.msg", "x");
    Run(item);
    EXPECT_TRUE(folderPrompt->calls.empty());
    EXPECT_TRUE(platform.shown.empty());
}

TEST_F(SaveAllTest, CancelDuringProgressStopsAfterTheAttachmentAtHandAndTheSummarySaysWhatWasDone) {
    // Every clock reading is 300 ms after the one before: the window comes at the second attachment.
    platform.tick = 300;
    platform.progress->cancelAt = 2;  // pressed while the third is written
    Choose();
    platform.answers.push_back(MessageBoxResult::Ok);
    Run(Message({u"a.txt", u"b.txt", u"c.txt", u"d.txt"}));
    EXPECT_EQ(platform.progress->titles, std::vector<std::u16string>{kTitle});
    ASSERT_EQ(platform.progress->updates.size(), 2u);
    EXPECT_EQ(platform.progress->updates[0], std::make_tuple(1u, 4u, std::u16string(u"b.txt")));
    EXPECT_EQ(Names(), (std::vector<std::string>{"a.txt", "b.txt", "c.txt"}));
    EXPECT_EQ(platform.progress->open, 0) << "the window goes before the summary";
    const std::u16string summary = Summary();
    EXPECT_TRUE(Has(summary, u"3 of 4 attachments saved in "));
    EXPECT_TRUE(Has(summary, u"Stopped before these:\r\nd.txt"));
}

TEST_F(SaveAllTest, AShortRunShowsNoProgress) {
    Choose();
    platform.answers.push_back(MessageBoxResult::Ok);
    Run(Message({u"a.txt", u"b.txt", u"c.txt"}));
    EXPECT_TRUE(platform.progress->titles.empty());
    EXPECT_EQ(Names().size(), 3u);
}

TEST_F(SaveAllTest, AStopWhileTheFolderDialogIsUpWritesNothing) {
    folderPrompt->whileUp = [&](const FolderCall&) { actions.StopCommand(); };
    Choose();
    const auto item = Message({u"a.txt"});
    Run(item);
    EXPECT_TRUE(Names().empty());
    EXPECT_TRUE(platform.shown.empty());
    EXPECT_EQ(CallsOf("Item.Save"), 0);
}

TEST_F(SaveAllTest, AStopDuringProgressFinishesTheAttachmentAtHandAndSaysWhichWereLeft) {
    platform.tick = 1000;
    platform.progress->whileUp = [&] { actions.StopCommand(); };
    Choose();
    platform.answers.push_back(MessageBoxResult::Ok);
    Run(Message({u"a.txt", u"b.txt", u"c.txt"}));
    // The window comes at the first attachment, and the stop while it is written.
    EXPECT_EQ(Names(), (std::vector<std::string>{"a.txt"}));
    EXPECT_TRUE(Has(Summary(), u"Stopped before these:\r\nb.txt\r\nc.txt"));
}

TEST_F(SaveAllTest, TheFolderIsOpenedAfterTheSummaryWhenAsked) {
    Choose(false, true);
    platform.answers.push_back(MessageBoxResult::Ok);
    platform.shellAnswers.push_back(42);
    Run(Message({u"a.txt"}));
    EXPECT_EQ(platform.openedWithShell, std::vector<std::u16string>{folder.u16string()});
}

// ---- the unsaved-item question

TEST_F(SaveAllTest, AnItemWithUnsavedChangesAsksFirstAndIsNotSavedAfter) {
    for (const int32_t answer : {MessageBoxResult::No, MessageBoxResult::Yes}) {
        SCOPED_TRACE(answer);
        platform.shown.clear();
        const auto item = Message({u"a.txt"});
        item->saved = false;
        platform.answers.push_back(answer);
        if (answer == MessageBoxResult::Yes) {
            Choose(true);
            platform.answers.push_back(MessageBoxResult::Ok);
        }
        Preferences::SetReplaceWithLinks(true);
        Run(item);
        ASSERT_FALSE(platform.shown.empty());
        EXPECT_EQ(platform.shown[0].title, kTitle);
        EXPECT_EQ(platform.shown[0].flags, MessageBoxFlags::YesNo);
        EXPECT_EQ(Names().size(), answer == MessageBoxResult::Yes ? 1u : 0u);
        EXPECT_FALSE(item->saved);
        EXPECT_EQ(CallsOf("Item.Save"), 0);
    }
}

// ---- replacing by shortcuts, as the single command does

TEST_F(SaveAllLinksTest, ReplaceWithShortcutsLinksEachSavedFileAndSavesTheCleanItem) {
    Choose(true);
    platform.answers.push_back(MessageBoxResult::Ok);
    const auto item = Message({u"a.txt", u"a.txt"});
    Run(item);
    ASSERT_EQ(item->attachments.size(), 2u);
    EXPECT_EQ(item->attachments[0]->type, host::AttachmentType::ByReference);
    EXPECT_EQ(item->attachments[0]->source, (folder / "a.txt").u16string());
    EXPECT_EQ(item->attachments[1]->source, (folder / "a -- 1.txt").u16string());
    EXPECT_EQ(CallsOf("Item.Save"), 1);
    EXPECT_TRUE(Has(Summary(), u"2 replaced with shortcuts."));
}

TEST_F(SaveAllLinksTest, AFailedWriteIsNeverReplaced) {
    host.ledger().FailMember("Attachment.SaveAsFile", HostStatus::Fail, 1);
    Choose(true);
    platform.answers.push_back(MessageBoxResult::Ok);
    const auto item = Message({u"a.txt", u"b.txt"});
    Run(item);
    ASSERT_EQ(item->attachments.size(), 2u);
    EXPECT_EQ(item->attachments[0]->type, host::AttachmentType::ByValue) << "its write failed";
    EXPECT_EQ(item->attachments[0]->content, "content 1");
    EXPECT_EQ(item->attachments[1]->type, host::AttachmentType::ByReference);
}

TEST_F(SaveAllCopiesTest, AHostThatCopiesKeepsTheOriginalsTellsOnceAndOffersNoShortcutsAfter) {
    Choose(true);
    platform.answers = {MessageBoxResult::Ok, MessageBoxResult::Ok};
    const auto item = Message({u"a.txt", u"b.txt"});
    Run(item);
    ASSERT_EQ(item->attachments.size(), 2u);
    for (const auto& a : item->attachments) EXPECT_EQ(a->type, host::AttachmentType::ByValue);
    ASSERT_EQ(platform.shown.size(), 2u) << "the refusal, then the summary";
    EXPECT_TRUE(Has(platform.shown[0].text, u"does not keep shortcuts"));
    EXPECT_FALSE(Has(Summary(), u"replaced with shortcuts"));
    EXPECT_TRUE(Preferences::ShortcutsRefused());

    Preferences::SetReplaceWithLinks(true);
    folderPrompt->script.push_back(std::nullopt);
    Run(Message({u"c.txt"}));
    EXPECT_FALSE(folderPrompt->calls.back().replaceOffered);
    EXPECT_FALSE(folderPrompt->calls.back().replaceIn);
}

// ---- every run ends in its summary

namespace {

struct SelectedTest : SaveAllLinksTest {
    // Received messages named by their subjects, one attachment each ("<subject>.txt").
    std::vector<std::shared_ptr<standin::ItemNode>> Items(const std::vector<std::u16string>& subjects) {
        std::vector<std::shared_ptr<standin::ItemNode>> items;
        for (const auto& subject : subjects) {
            items.push_back(Message({subject + u".txt"}));
            items.back()->subject = subject;
        }
        return items;
    }
    void RunSelected(const std::vector<std::shared_ptr<standin::ItemNode>>& items) {
        std::vector<ActionManager::Target> targets;
        for (const auto& item : items) targets.push_back({host.ItemObject(item), {}});
        EXPECT_NO_THROW(actions.SaveSelected(targets, true));
    }
};

}  // namespace

TEST_F(SelectedTest, AnItemWhoseShortcutsOrSaveFailCostsOnlyItselfAndTheRunEndsInItsSummary) {
    // A store that refuses the save (read-only, shared), or a shortcut step that fails, in the first item.
    for (const char* member : {"Item.Save", "Attachments.Add", "Attachment.Delete", "Attachment.DisplayName="}) {
        SCOPED_TRACE(member);
        platform.shown.clear();
        platform.openedWithShell.clear();
        fs::remove_all(folder);
        fs::create_directories(folder);
        host.ledger().FailMember(member, HostStatus::Fail, 1);
        Choose(true, true);
        platform.answers.push_back(MessageBoxResult::Ok);
        platform.shellAnswers.push_back(42);
        const auto items = Items({u"Quarter", u"Holiday"});
        RunSelected(items);
        EXPECT_EQ(Names(), (std::vector<std::string>{"Holiday.txt", "Quarter.txt"}));
        ASSERT_EQ(items[1]->attachments.size(), 1u);
        EXPECT_EQ(items[1]->attachments[0]->type, host::AttachmentType::ByReference) << "the next item still replaced";
        EXPECT_TRUE(items[1]->saved);
        const std::u16string summary = Summary();
        EXPECT_TRUE(Has(summary, u"2 of 2 attachments saved in ")) << Narrow(summary);
        EXPECT_TRUE(Has(summary, u"1 replaced with shortcuts.\r\n\r\nItems left unsaved:\r\nQuarter: ")) << Narrow(summary);
        EXPECT_EQ(platform.openedWithShell, std::vector<std::u16string>{folder.u16string()});
        // Nothing of the user's is lost: the first item still holds its attachment, or, where its
        // save was refused, is left unsaved, so the store keeps it.
        if (std::string(member) == "Item.Save")
            EXPECT_FALSE(items[0]->saved);
        else
            EXPECT_TRUE(std::any_of(items[0]->attachments.begin(), items[0]->attachments.end(),
                                    [](const auto& a) { return a->content == "content 1"; }));
        host.ledger().ClearFailures();
    }
}

TEST_F(SaveAllLinksTest, ASaveTheStoreRefusesInAnItemWindowsRunEndsInTheSummary) {
    host.ledger().FailMember("Item.Save", HostStatus::Fail);
    Choose(true);
    platform.answers.push_back(MessageBoxResult::Ok);
    const auto item = Message({u"a.txt"});
    item->subject = u"Report";
    EXPECT_NO_THROW(Run(item));
    EXPECT_TRUE(Has(Summary(), u"Items left unsaved:\r\nReport: "));
}

// ---- nothing counted twice

TEST_F(SaveAllLinksTest, AnAttachmentWhoseDisplayNameCannotBeReadIsSavedOnceAndLinkedUnderItsFileName) {
    host.ledger().FailMember("Attachment.DisplayName", HostStatus::Fail);
    Choose(true);
    platform.answers.push_back(MessageBoxResult::Ok);
    const auto item = Message({u"a.txt"});
    Run(item);
    EXPECT_EQ(Names(), std::vector<std::string>{"a.txt"});
    const std::u16string summary = Summary();
    EXPECT_TRUE(Has(summary, u"1 of 1 attachment saved in "));
    EXPECT_FALSE(Has(summary, u"Not saved")) << Narrow(summary);
    ASSERT_EQ(item->attachments.size(), 1u);
    EXPECT_EQ(item->attachments[0]->type, host::AttachmentType::ByReference);
    EXPECT_EQ(item->attachments[0]->displayName, u"a.txt");
}

// ---- one item costs only itself

TEST_F(SelectedTest, AnItemThatCannotBeReadIsSkippedAndNamedAndTheOthersAreSaved) {
    for (const char* member : {"Item.Attachments", "Item.Saved", "Attachments.Item", "Attachment.Type"}) {
        SCOPED_TRACE(member);
        platform.shown.clear();
        fs::remove_all(folder);
        fs::create_directories(folder);
        host.ledger().FailMember(member, HostStatus::Fail, 1);
        Choose();
        platform.answers.push_back(MessageBoxResult::Ok);
        RunSelected(Items({u"Quarter", u"Holiday", u"Beach"}));
        EXPECT_EQ(Names(), (std::vector<std::string>{"Beach.txt", "Holiday.txt"}));
        const std::u16string summary = Summary();
        EXPECT_TRUE(Has(summary, u"2 of 2 attachments saved in ")) << Narrow(summary);
        EXPECT_TRUE(Has(summary, u"\r\n\r\nItems skipped:\r\nQuarter: ")) << Narrow(summary);
        host.ledger().ClearFailures();
    }
}

TEST_F(SelectedTest, ASelectionWhoseOnlyItemCannotBeReadIsNamedInTheNothingToSaveMessage) {
    host.ledger().FailMember("Item.Attachments", HostStatus::Fail);
    platform.answers.push_back(MessageBoxResult::Ok);
    RunSelected(Items({u"Quarter"}));
    EXPECT_TRUE(folderPrompt->calls.empty());
    ASSERT_EQ(platform.shown.size(), 1u);
    EXPECT_EQ(platform.shown[0].text.substr(0, 47), u"The selected items have no attachments to save.");
    EXPECT_TRUE(Has(platform.shown[0].text, u"\r\n\r\nItems skipped:\r\nQuarter: "));
}

TEST_F(SelectedTest, TheSelectionIsWalkedOnceBeforeTheFolderDialog) {
    std::map<std::string, int> atDialog;
    folderPrompt->whileUp = [&](const FolderCall&) {
        for (const char* member : {"Item.Attachments", "Attachments.Count", "Attachment.Type", "Item.Saved"})
            atDialog[member] = CallsOf(member);
    };
    Choose();
    platform.answers.push_back(MessageBoxResult::Ok);
    RunSelected(Items({u"Quarter", u"Holiday", u"Beach"}));
    for (const auto& [member, calls] : atDialog) EXPECT_EQ(calls, 3) << member;
    EXPECT_EQ(Names().size(), 3u);
}

TEST_F(SelectedTest, ALongWalkShowsTheProgressWindowAndItsCancelEndsTheRun) {
    // Every clock reading is 300 ms after the one before: the window comes at the third item.
    platform.tick = 300;
    platform.progress->cancelAt = 2;
    RunSelected(Items({u"Quarter", u"Holiday", u"Beach", u"Garden"}));
    EXPECT_EQ(platform.progress->titles, std::vector<std::u16string>{kTitle});
    ASSERT_FALSE(platform.progress->updates.empty());
    EXPECT_EQ(platform.progress->updates[0], std::make_tuple(2u, 4u, std::u16string(u"Beach")));
    EXPECT_EQ(platform.progress->open, 0);
    EXPECT_TRUE(folderPrompt->calls.empty()) << "cancelled before the folder dialog";
    EXPECT_TRUE(platform.shown.empty());
    EXPECT_TRUE(Names().empty());
}

TEST_F(SelectedTest, TheUnsavedItemQuestionNamesTheItemsItMeans) {
    auto items = Items({u"Quarter", u"Holiday", u"Beach"});
    items[0]->saved = false;
    items[2]->saved = false;
    platform.answers.push_back(MessageBoxResult::No);
    RunSelected(items);
    ASSERT_EQ(platform.shown.size(), 1u);
    EXPECT_EQ(platform.shown[0].flags, MessageBoxFlags::YesNo);
    EXPECT_TRUE(Has(platform.shown[0].text, u"Do you want to continue?\r\n\r\nItems with unsaved changes:\r\nQuarter\r\nBeach"))
        << Narrow(platform.shown[0].text);
    EXPECT_TRUE(folderPrompt->calls.empty());
}

// ---- no temporary file left, whatever breaks

struct BrokenWriteCase {
    const char* what;
    std::function<void(SaveAllTest&)> arrange;
    std::vector<std::string> left;    // the folder afterwards
    std::vector<std::string> marked;  // the files marked as come from another computer
    std::u16string notSaved;          // the summary's "Not saved" part
};

TEST_F(SaveAllTest, AWriteThatBreaksLeavesNoTemporaryFileAndOnlyTheWrittenFilesAreMarked) {
    const BrokenWriteCase cases[] = {
        {"a write that breaks off",
         [](SaveAllTest& t) { t.host.ledger().FailWriteAfter("Attachment.SaveAsFile", 3, HostStatus::Fail, 2); },
         {"a.txt", "c.txt"},
         {"a.txt", "c.txt"},
         u"Not saved:\r\nb.txt: "},
        {"a write that reports success and writes nothing",
         [](SaveAllTest& t) { t.host.ledger().WriteNothing("Attachment.SaveAsFile", 2); },
         {"a.txt", "c.txt"},
         {"a.txt", "c.txt"},
         u"Not saved:\r\nb.txt: the attachment's file was not written"},
        {"the folder removed mid-run",
         [](SaveAllTest& t) {
             t.host.ledger().BeforeNextCall("Attachment.SaveAsFile", [&t] {
                 t.host.ledger().BeforeNextCall("Attachment.SaveAsFile", [&t] { fs::remove_all(t.folder); });
             });
         },
         {},
         {"a.txt"},
         u"1 of 3 attachments saved"},
        {"a name taken after the listing in a folder that takes no new file",
         [](SaveAllTest& t) {
             t.platform.refusingNewFiles = {t.folder.u16string()};
             t.host.ledger().BeforeNextCall("Attachment.FileName", [&t] { t.Existing("a.txt"); });
         },
         {"a.txt"},
         {},
         u"0 of 3 attachments saved"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove_all(folder);
        fs::create_directories(folder);
        platform.shown.clear();
        platform.marked.clear();
        platform.temporaryPaths.clear();
        platform.refusingNewFiles.clear();
        host.ledger().ClearFailures();
        host.ledger().ClearCalls();
        c.arrange(*this);
        Choose();
        platform.answers.push_back(MessageBoxResult::Ok);
        Run(Message({u"a.txt", u"b.txt", u"c.txt"}));
        std::vector<std::string> left;
        if (fs::exists(folder)) left = Names();
        EXPECT_EQ(left, c.left);
        for (const auto& temporary : platform.temporaryPaths) EXPECT_FALSE(fs::exists(fs::path(temporary)));
        EXPECT_TRUE(Has(Summary(), c.notSaved)) << Narrow(Summary());
        // The zone mark goes on each file in its place, and on nothing else.
        std::vector<std::u16string> marked;
        for (const auto& name : c.marked) marked.push_back((folder / name).u16string());
        EXPECT_EQ(platform.marked, marked);
        if (!platform.refusingNewFiles.empty()) {
            EXPECT_TRUE(Has(Summary(), u"Not saved:\r\na.txt: the folder takes no new file\r\n"));
            EXPECT_EQ(BytesOf(folder / "a.txt"), "the user's own");
            EXPECT_EQ(CallsOf("Attachment.SaveAsFile"), 0);
        }
    }
    fs::create_directories(folder);
}

// ---- a run again writes nothing twice

TEST_F(SaveAllTest, ARunAgainWritesNothingAndListsEachAsAlreadyThere) {
    const std::vector<std::u16string> attached = {u"a.txt", u"a.txt", u"b.txt"};
    Choose();
    platform.answers.push_back(MessageBoxResult::Ok);
    Run(Message(attached));
    const std::vector<std::string> first = Names();
    ASSERT_EQ(first, (std::vector<std::string>{"a -- 1.txt", "a.txt", "b.txt"}));

    platform.listings.clear();
    platform.placedAsNew.clear();
    platform.marked.clear();
    platform.temporaryPaths.clear();
    Choose();
    platform.answers.push_back(MessageBoxResult::Ok);
    Run(Message(attached));
    EXPECT_EQ(Names(), first) << "nothing written a second time, no temporary file left";
    EXPECT_TRUE(platform.placedAsNew.empty());
    EXPECT_TRUE(platform.marked.empty()) << "the user's files are left as they are";
    EXPECT_EQ(platform.listings, std::vector<std::u16string>{folder.u16string()}) << "one directory query per run";
    const std::u16string summary = Summary();
    EXPECT_TRUE(Has(summary, u"3 of 3 attachments saved in ")) << Narrow(summary);
    EXPECT_TRUE(Has(summary, u"\r\n\r\na.txt: already in the folder as a.txt\r\na.txt: already in the folder as a -- 1.txt"
                             u"\r\nb.txt: already in the folder as b.txt"))
        << Narrow(summary);
    EXPECT_FALSE(Has(summary, u"Saved under another name")) << Narrow(summary);
}

TEST_F(SaveAllTest, ARunAgainOverAFolderWhoseEveryNameIsTakenFindsEachFileReadingItOnce) {
    // One more attachment of the name than the suggestions have names: the first run saves all but
    // the last, the run again finds every one of those, byte for byte, and writes nothing.
    std::vector<std::u16string> attached(102, u"a.txt");
    Choose();
    platform.answers.push_back(MessageBoxResult::Ok);
    Run(Message(attached));
    const std::vector<std::string> first = Names();
    ASSERT_EQ(first.size(), 101u);
    EXPECT_TRUE(Has(Summary(), u"a.txt: every name for it is taken in the folder")) << Narrow(Summary());

    platform.placedAsNew.clear();
    platform.digested.clear();
    platform.compared.clear();
    platform.listings.clear();
    Choose();
    platform.answers.push_back(MessageBoxResult::Ok);
    Run(Message(attached));
    EXPECT_EQ(Names(), first) << "nothing written twice, no temporary file left";
    EXPECT_TRUE(platform.placedAsNew.empty());
    EXPECT_EQ(platform.listings.size(), 1u);
    const std::u16string summary = Summary();
    EXPECT_TRUE(Has(summary, u"101 of 102 attachments saved in ")) << Narrow(summary);
    EXPECT_TRUE(Has(summary, u"\r\na.txt: already in the folder as a.txt\r\na.txt: already in the folder as a -- 1.txt\r\n"))
        << Narrow(summary);
    EXPECT_TRUE(Has(summary, u"\r\na.txt: already in the folder as a -- 100.txt")) << Narrow(summary);
    EXPECT_TRUE(Has(summary, u"Not saved:\r\na.txt: every name for it is taken in the folder")) << Narrow(summary);
    // Each of the folder's files digested once, whatever number of attachments it was weighed
    // against; each attachment's own file once; one byte comparison per file found.
    std::map<fs::path, int> digests;
    for (const auto& path : platform.digested) ++digests[fs::path(path)];
    size_t ofTheFolder = 0;
    for (const auto& [path, times] : digests) {
        if (std::find(first.begin(), first.end(), path.filename().string()) == first.end()) continue;
        ++ofTheFolder;
        EXPECT_EQ(times, 1) << path;
    }
    EXPECT_EQ(ofTheFolder, 101u);
    // The last attachment meets only files already found for others: its own file is not read.
    EXPECT_EQ(platform.digested.size(), 101u + 101u);
    EXPECT_EQ(platform.compared.size(), 101u);
}

struct AlreadyCase {
    const char* what;
    std::vector<std::pair<std::string, std::string>> existing;  // name, content
    std::string written;                                        // the name written; empty: none
    std::u16string already;                                     // the file found the same; empty: none
    std::vector<std::string> digested;                          // the folder's files digested, in order
    std::vector<std::string> compared;                          // the files compared byte for byte
};

TEST_F(SaveAllTest, OnlyAFileOfTheSameSizeAndBytesUnderTheStartNameOrASuggestionIsTakenForTheAttachment) {
    // The attachment is "a.txt" with "content 1" (9 bytes).
    const AlreadyCase cases[] = {
        {"the same under the start name", {{"a.txt", "content 1"}}, "", u"a.txt", {"a.txt"}, {"a.txt"}},
        {"the same under a suggestion's name", {{"a.txt", "the user's own"}, {"a -- 1.txt", "content 1"}}, "",
         u"a -- 1.txt", {"a -- 1.txt"}, {"a -- 1.txt"}},
        {"the same size, other bytes: the next free name", {{"a.txt", "content 2"}}, "a -- 1.txt", u"", {"a.txt"}, {}},
        {"other sizes are not compared",
         {{"a.txt", "the user's own"}, {"a -- 1.txt", "content 2"}, {"a -- 2.txt", "content 1"}, {"a -- 3.txt", "content"}},
         "",
         u"a -- 2.txt",
         {"a -- 1.txt", "a -- 2.txt"},
         {"a -- 2.txt"}},
        {"the same under a name no suggestion gives", {{"a.txt", "x"}, {"copy.txt", "content 1"}}, "a -- 1.txt", u"", {}, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove_all(folder);
        fs::create_directories(folder);
        platform.compared.clear();
        platform.digested.clear();
        platform.listings.clear();
        std::vector<std::string> expected;
        for (const auto& [name, content] : c.existing) {
            std::ofstream(folder / name, std::ios::binary) << content;
            expected.push_back(name);
        }
        if (!c.written.empty()) expected.push_back(c.written);
        std::sort(expected.begin(), expected.end());
        Choose();
        platform.answers.push_back(MessageBoxResult::Ok);
        Run(Message({u"a.txt"}));
        EXPECT_EQ(Names(), expected);
        for (const auto& [name, content] : c.existing) EXPECT_EQ(BytesOf(folder / name), content) << name;
        std::vector<std::string> compared;
        for (const auto& [written, existing] : platform.compared) compared.push_back(fs::path(existing).filename().string());
        EXPECT_EQ(compared, c.compared);
        // The written file first, then the folder's files of its size.
        std::vector<std::string> digested;
        for (const auto& path : platform.digested) digested.push_back(fs::path(path).filename().string());
        if (!c.digested.empty()) {
            ASSERT_FALSE(digested.empty());
            EXPECT_EQ(fs::path(platform.digested.front()).parent_path(), folder) << "written beside the folder's files";
            digested.erase(digested.begin());
        }
        EXPECT_EQ(digested, c.digested);
        const std::u16string summary = Summary();
        // The line comes last in a run without failures or shortcuts.
        const std::u16string line = u"\r\n\r\na.txt: already in the folder as " + c.already;
        if (c.already.empty())
            EXPECT_FALSE(Has(summary, u"already in the folder")) << Narrow(summary);
        else
            EXPECT_TRUE(summary.size() >= line.size() && summary.compare(summary.size() - line.size(), line.size(), line) == 0)
            << Narrow(summary);
        EXPECT_EQ(platform.listings.size(), 1u);
    }
}

TEST_F(SaveAllLinksTest, TheShortcutOfAnAttachmentAlreadyThereLeadsToThatFile) {
    std::ofstream(folder / "a.txt", std::ios::binary) << "the user's own";
    std::ofstream(folder / "a -- 1.txt", std::ios::binary) << "content 1";
    Choose(true);
    platform.answers.push_back(MessageBoxResult::Ok);
    const auto item = Message({u"a.txt"});
    Run(item);
    EXPECT_EQ(Names(), (std::vector<std::string>{"a -- 1.txt", "a.txt"}));
    ASSERT_EQ(item->attachments.size(), 1u);
    EXPECT_EQ(item->attachments[0]->type, host::AttachmentType::ByReference);
    EXPECT_EQ(item->attachments[0]->source, (folder / "a -- 1.txt").u16string());
    EXPECT_TRUE(Has(Summary(), u"1 replaced with shortcuts."));
}

TEST_F(SelectedTest, TheMainWindowsRunAgainWritesNothingAndItsShortcutsLeadToTheFilesThere) {
    Choose(true);
    platform.answers.push_back(MessageBoxResult::Ok);
    RunSelected(Items({u"Quarter", u"Holiday"}));
    const std::vector<std::string> first = Names();
    ASSERT_EQ(first, (std::vector<std::string>{"Holiday.txt", "Quarter.txt"}));

    platform.listings.clear();
    platform.placedAsNew.clear();
    Choose(true);
    platform.answers.push_back(MessageBoxResult::Ok);
    const auto again = Items({u"Quarter", u"Holiday"});
    RunSelected(again);
    EXPECT_EQ(Names(), first);
    EXPECT_TRUE(platform.placedAsNew.empty());
    EXPECT_EQ(platform.listings.size(), 1u);
    const std::u16string summary = Summary();
    EXPECT_TRUE(Has(summary, u"Quarter.txt (Quarter): already in the folder as Quarter.txt\r\n"
                             u"Holiday.txt (Holiday): already in the folder as Holiday.txt"))
        << Narrow(summary);
    for (size_t i = 0; i < again.size(); ++i) {
        ASSERT_EQ(again[i]->attachments.size(), 1u);
        EXPECT_EQ(again[i]->attachments[0]->source, (folder / first[1 - i]).u16string());
    }
}
