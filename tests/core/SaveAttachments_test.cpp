// The Save Attachments command through the in-memory host, a scripted Save As dialog and files
// written to a folder of the test's own.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <map>
#include <new>
#include <optional>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "addin/core/ActionManager.h"
#include "addin/core/host/Inspector.h"
#include "base/ScopeExit.h"
#include "tests/core/Session.h"

using namespace addin;

namespace fs = std::filesystem;
using standin::ItemKind;

namespace {

constexpr char16_t kUnsavedQuestion[] =
    u"An attachment may be currently open in another program. We recommend that you exit this program\r\n"
    u"before you continue. Otherwise the changes you have done may be lost. Do you want to continue?";

constexpr char16_t kNotWritten[] = u"the attachment's file was not written";

// The error box, with the reason the write failed.
std::u16string ErrorText(const std::u16string& path, const std::u16string& reason) {
    return u"Cannot save to file " + path + u".\r\n\r\nThe file might be in use by another program.\r\n\r\n(" +
           reason + u")";
}

std::u16string U16(const std::string& s) { return {s.begin(), s.end()}; }

// Content with bytes a text-mode write would change.
std::string Content(int n) { return std::string("bytes\0of\r\nfile ", 15) + char('0' + n) + '\xff'; }

std::string BytesOf(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// ---- a host that misbehaves where the in-memory host does not

// What the misbehaving host does differently.
struct Faults {
    std::set<std::u16string> silentSaves;  // file names whose SaveAsFile succeeds without writing
    std::set<std::u16string> memoryFails;  // file names whose SaveAsFile writes, then runs out of memory
    int failAddAt = 0;                     // the n-th Add fails
    int adds = 0;
};

template <class I>
class Wrapper : public I {
public:
    Wrapper(std::shared_ptr<I> inner, std::shared_ptr<Faults> faults)
        : inner_(std::move(inner)), faults_(std::move(faults)) {}
    bool SameObject(const host::Object& other) const override {
        const auto* wrapped = dynamic_cast<const Wrapper*>(&other);
        return inner_->SameObject(wrapped ? *wrapped->inner_ : other);
    }

protected:
    std::shared_ptr<I> inner_;
    std::shared_ptr<Faults> faults_;
};

class FaultyAttachment final : public Wrapper<host::Attachment> {
public:
    using Wrapper::Wrapper;
    int32_t Type() override { return inner_->Type(); }
    std::u16string FileName() override { return inner_->FileName(); }
    std::u16string DisplayName() override { return inner_->DisplayName(); }
    void SetDisplayName(const std::u16string& value) override { inner_->SetDisplayName(value); }
    void SaveAsFile(const std::u16string& path) override {
        if (!faults_->silentSaves.contains(inner_->FileName())) inner_->SaveAsFile(path);
        if (faults_->memoryFails.contains(inner_->FileName())) throw std::bad_alloc();
    }
    void Delete() override { inner_->Delete(); }
    std::u16string PathName() override { return inner_->PathName(); }
    std::shared_ptr<host::Item> Parent() override { return inner_->Parent(); }
    int32_t Index() override { return inner_->Index(); }
    std::shared_ptr<host::PropertyAccessor> PropertyAccessor() override { return inner_->PropertyAccessor(); }
};

class FaultyAttachments final : public Wrapper<host::Attachments> {
public:
    using Wrapper::Wrapper;
    int32_t Count() override { return inner_->Count(); }
    std::shared_ptr<host::Attachment> Item(int32_t index) override {
        return std::make_shared<FaultyAttachment>(inner_->Item(index), faults_);
    }
    std::shared_ptr<host::Attachment> Add(const std::u16string& source, std::optional<int32_t> type,
                                          std::optional<int32_t> position,
                                          std::optional<std::u16string> displayName) override {
        if (++faults_->adds == faults_->failAddAt) throw HostError(HostStatus::Fail, u"Add failed");
        return std::make_shared<FaultyAttachment>(inner_->Add(source, type, position, displayName), faults_);
    }
};

class FaultyItem final : public Wrapper<host::Item> {
public:
    using Wrapper::Wrapper;
    std::u16string TypeName() override { return inner_->TypeName(); }
    std::shared_ptr<host::Attachments> Attachments() override {
        return std::make_shared<FaultyAttachments>(inner_->Attachments(), faults_);
    }
    bool Saved() override { return inner_->Saved(); }
    void Save() override { inner_->Save(); }
    bool Sent() override { return inner_->Sent(); }
    std::u16string SenderName() override { return inner_->SenderName(); }
    host::DateTime SentOn() override { return inner_->SentOn(); }
    std::u16string HTMLBody() override { return inner_->HTMLBody(); }
    void SetHTMLBody(const std::u16string& html) override { inner_->SetHTMLBody(html); }
    int32_t BodyFormat() override { return inner_->BodyFormat(); }
    std::u16string Body() override { return inner_->Body(); }
    void SetBody(const std::u16string& text) override { inner_->SetBody(text); }
    std::string RTFBody() override { return inner_->RTFBody(); }
    void SetRTFBody(const std::string& bytes) override { inner_->SetRTFBody(bytes); }
    std::u16string MessageClass() override { return inner_->MessageClass(); }
    std::shared_ptr<host::PropertyAccessor> PropertyAccessor() override { return inner_->PropertyAccessor(); }
    std::u16string Subject() override { return inner_->Subject(); }
};

class FaultyInspector final : public Wrapper<host::Inspector> {
public:
    using Wrapper::Wrapper;
    std::shared_ptr<host::Item> CurrentItem() override {
        return std::make_shared<FaultyItem>(inner_->CurrentItem(), faults_);
    }
    std::shared_ptr<host::CommandBars> CommandBars() override { return inner_->CommandBars(); }
    bool IsWordMail() override { return inner_->IsWordMail(); }
};

// ---- the fixture

struct SaveAttachmentsTest : testing::Test {
    SaveAttachmentsTest() {
        Preferences::SetReplaceWithLinks(false);
        Preferences::SetShortcutsRefused(false);
        platform.prompt = prompt;
        platform.filesOnDisk = true;
        // Under the test's working directory, so parallel builds never share a folder.
        folder = fs::current_path() / "save-attachments" /
                 testing::UnitTest::GetInstance()->current_test_info()->name();
        fs::remove_all(folder);
        fs::create_directories(folder);
    }
    ~SaveAttachmentsTest() override {
        if (!HasFailure()) fs::remove_all(folder);
    }

    // A received message with attachments of `types`: fileN.bin, shown as "Attachment N".
    static std::shared_ptr<standin::ItemNode> Message(std::initializer_list<int32_t> types) {
        auto item = std::make_shared<standin::ItemNode>(ItemKind::Mail);
        item->sent = true;
        int n = 0;
        for (int32_t type : types) {
            ++n;
            const std::u16string name = u"file" + U16(std::to_string(n)) + u".bin";
            auto node = item->Attach(type, type == 4 ? u"C:\\Linked\\" + name : name, Content(n));
            node->displayName = u"Attachment " + U16(std::to_string(n));
        }
        return item;
    }
    std::u16string PathFor(const std::string& name) const { return (folder / name).u16string(); }
    void Confirm(const std::string& name, std::optional<bool> replace = {}, bool open = false) {
        prompt->script.push_back({PathFor(name), replace, open});
    }
    void Cancel(int times = 1) {
        for (int i = 0; i < times; ++i) prompt->script.push_back({});
    }
    void Run(const std::shared_ptr<standin::ItemNode>& item) {
        actions.Action(host.InspectorObject(host.OpenInspector(item)));
    }
    void RunFaulty(const std::shared_ptr<standin::ItemNode>& item, const std::shared_ptr<Faults>& faults) {
        actions.Action(std::make_shared<FaultyInspector>(host.InspectorObject(host.OpenInspector(item)), faults));
    }
    int CallsOf(const std::string& member) {
        const auto& calls = host.ledger().Calls();
        return static_cast<int>(std::count(calls.begin(), calls.end(), member));
    }
    std::vector<fs::path> FilesWritten() const {
        std::vector<fs::path> files;
        for (const auto& entry : fs::recursive_directory_iterator(folder))
            if (entry.is_regular_file()) files.push_back(entry.path());
        return files;
    }
    static void ExpectShortcut(const standin::AttachmentNode& node, const std::u16string& source,
                               const std::u16string& displayName) {
        SCOPED_TRACE(std::string(displayName.begin(), displayName.end()));
        EXPECT_EQ(node.type, host::AttachmentType::ByReference);
        EXPECT_EQ(node.source, source);
        EXPECT_EQ(node.displayName, displayName);
    }
    static void ExpectOriginal(const standin::AttachmentNode& node, int n) {
        SCOPED_TRACE(n);
        EXPECT_EQ(node.type, host::AttachmentType::ByValue);
        EXPECT_EQ(node.displayName, u"Attachment " + U16(std::to_string(n)));
        EXPECT_EQ(node.content, Content(n));
    }
    // The names in `where` (files and folders), sorted.
    static std::vector<std::string> Names(const fs::path& where) {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(where)) names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
    void ExpectWritten(const std::string& name, int n) {
        SCOPED_TRACE(name);
        EXPECT_EQ(BytesOf(folder / name), Content(n));
    }

    fs::path folder;
    FakePlatform platform;
    std::shared_ptr<ScriptedSaveAsPrompt> prompt = std::make_shared<ScriptedSaveAsPrompt>();
    standin::Host host;
    ActionManager actions{platform};
};

using Dialog = std::tuple<std::u16string, int16_t, int16_t>;

std::vector<Dialog> DialogsShown(const ScriptedSaveAsPrompt& prompt) {
    std::vector<Dialog> shown;
    for (const auto& call : prompt.calls) shown.emplace_back(call.fileName, call.ordinal, call.saveableCount);
    return shown;
}

}  // namespace

// ---- what the dialog is asked

TEST_F(SaveAttachmentsTest, OneSaveableAttachmentIsOneOfOneWithTheItemLentToTheMangler) {
    const auto item = Message({1});
    Cancel();
    Run(item);
    ASSERT_EQ(prompt->calls.size(), 1u);
    EXPECT_EQ(DialogsShown(*prompt), (std::vector<Dialog>{{u"file1.bin", 1, 1}}));
    ASSERT_TRUE(prompt->calls[0].manglerItem);
    EXPECT_TRUE(prompt->calls[0].manglerItem->SameObject(*host.ItemObject(item)));
}

TEST_F(SaveAttachmentsTest, ThreeSaveableAmongFiveAreNumberedInCollectionOrder) {
    Cancel(3);
    Run(Message({1, 4, 1, 5, 1}));
    EXPECT_EQ(DialogsShown(*prompt),
              (std::vector<Dialog>{{u"file1.bin", 1, 3}, {u"file3.bin", 2, 3}, {u"file5.bin", 3, 3}}));
}

TEST_F(SaveAttachmentsTest, NoSaveableAttachmentShowsNothingAndChangesNothing) {
    const auto item = Message({4, 5, 6});
    Run(item);
    EXPECT_EQ(platform.promptsCreated, 0);
    EXPECT_TRUE(platform.shown.empty());
    EXPECT_EQ(item->attachments.size(), 3u);
    EXPECT_TRUE(item->saved);
    EXPECT_EQ(CallsOf("Item.Save"), 0);
}

TEST_F(SaveAttachmentsTest, TheDialogIsCreatedOnceAndKeptAcrossRuns) {
    Cancel(4);
    Run(Message({1, 1}));
    Run(Message({1, 1}));
    EXPECT_EQ(platform.promptsCreated, 1);
    EXPECT_EQ(prompt->calls.size(), 4u);
}

TEST_F(SaveAttachmentsTest, OptionsStartFromThePreferenceForEveryAttachment) {
    platform.shellAnswers = {42};
    Confirm("file1.bin", true, true);
    Cancel();
    Run(Message({1, 1}));

    Preferences::SetReplaceWithLinks(true);
    Confirm("other1.bin", false);
    Cancel();
    Run(Message({1, 1}));

    ASSERT_EQ(prompt->calls.size(), 4u);
    const std::vector<std::pair<bool, bool>> entered = {{false, false}, {false, false}, {true, false}, {true, false}};
    for (size_t i = 0; i < entered.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(prompt->calls[i].replaceIn, entered[i].first);
        EXPECT_EQ(prompt->calls[i].openIn, entered[i].second);
    }
}

TEST_F(SaveAttachmentsTest, PoliciesSetTheStartStateOrWithdrawTheBoxInEveryDialog) {
    using Hive = Platform::PolicyHive;
    using Value = Platform::PolicyValue;
    const Value on{Value::Kind::Dword, 1}, off{Value::Kind::Dword, 0}, text{Value::Kind::OtherType, 0};
    struct Row {
        const char* name;
        std::map<std::pair<Hive, std::u16string>, Value> policies;
        bool preference;
        bool replaceIn;
        bool offered;
    };
    const Row rows[] = {
        {"no policy: the preference", {}, true, true, true},
        {"machine ReplaceWithLinks 0 over the preference", {{{Hive::Machine, u"ReplaceWithLinks"}, off}}, true, false,
         true},
        {"user ReplaceWithLinks 1 over the preference", {{{Hive::User, u"ReplaceWithLinks"}, on}}, false, true, true},
        {"machine wins over user",
         {{{Hive::Machine, u"ReplaceWithLinks"}, on}, {{Hive::User, u"ReplaceWithLinks"}, off}},
         false,
         true,
         true},
        {"AllowReplace 0 withdraws the box", {{{Hive::User, u"AllowReplace"}, off}}, true, false, false},
        {"AllowReplace 0 over ReplaceWithLinks 1",
         {{{Hive::Machine, u"AllowReplace"}, off}, {{Hive::Machine, u"ReplaceWithLinks"}, on}},
         true,
         false,
         false},
        {"a text value is ignored: the preference", {{{Hive::Machine, u"ReplaceWithLinks"}, text}}, false, false, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        platform.policies = row.policies;
        Preferences::SetReplaceWithLinks(row.preference);
        prompt->calls.clear();
        Cancel(2);
        Run(Message({1, 1}));
        ASSERT_EQ(prompt->calls.size(), 2u);
        for (const auto& call : prompt->calls) {
            EXPECT_EQ(call.replaceIn, row.replaceIn);
            EXPECT_EQ(call.replaceOffered, row.offered);
        }
        EXPECT_EQ(Preferences::ReplaceWithLinks(), row.preference) << "a policy is not the user's preference";
    }
}

// ---- writing and replacing

TEST_F(SaveAttachmentsTest, ReplaceClearedWritesTheFilesAndLeavesTheItemAlone) {
    const auto item = Message({1, 1});
    Confirm("file1.bin");
    Confirm("file2.bin");
    Run(item);
    ExpectWritten("file1.bin", 1);
    ExpectWritten("file2.bin", 2);
    EXPECT_EQ(platform.existenceTests, platform.temporaryPaths) << "each file the host wrote is checked";
    ASSERT_EQ(item->attachments.size(), 2u);
    ExpectOriginal(*item->attachments[0], 1);
    ExpectOriginal(*item->attachments[1], 2);
    EXPECT_TRUE(item->saved);
    EXPECT_EQ(CallsOf("Item.Save"), 0);
}

TEST_F(SaveAttachmentsTest, ByValueByReferenceByValueEndsWithTheShortcutsInOrder) {
    Preferences::SetReplaceWithLinks(true);
    const auto item = Message({1, 4, 1});
    Confirm("first.bin");
    Confirm("third.bin");
    Run(item);
    ExpectWritten("first.bin", 1);
    ExpectWritten("third.bin", 3);
    ASSERT_EQ(item->attachments.size(), 3u);
    ExpectShortcut(*item->attachments[0], u"C:\\Linked\\file2.bin", u"Attachment 2");
    ExpectShortcut(*item->attachments[1], PathFor("first.bin"), u"Attachment 1");
    ExpectShortcut(*item->attachments[2], PathFor("third.bin"), u"Attachment 3");
    EXPECT_TRUE(item->saved);
    EXPECT_EQ(item->saveCount, 1);
}

TEST_F(SaveAttachmentsTest, EveryDialogCancelledWritesNothingAndSavesNothing) {
    Preferences::SetReplaceWithLinks(true);
    const auto item = Message({1, 1, 1});
    Cancel(3);
    Run(item);
    EXPECT_TRUE(FilesWritten().empty());
    EXPECT_TRUE(platform.existenceTests.empty());
    EXPECT_EQ(item->attachments.size(), 3u);
    EXPECT_EQ(CallsOf("Attachment.SaveAsFile") + CallsOf("Attachments.Add") + CallsOf("Attachment.Delete"), 0);
    EXPECT_TRUE(item->saved);
    EXPECT_EQ(CallsOf("Item.Save"), 0);
}

TEST_F(SaveAttachmentsTest, SecondOfThreeFailingIsReportedAndTheOthersAreHandled) {
    Preferences::SetReplaceWithLinks(true);
    const auto item = Message({1, 1, 1});
    const std::u16string unwritable = PathFor("no such folder/file2.bin");
    Confirm("file1.bin");
    prompt->script.push_back({unwritable, {}, false});
    Confirm("file3.bin");
    platform.answers = {MessageBoxResult::Ok};
    Run(item);

    ASSERT_EQ(platform.shown.size(), 1u);
    EXPECT_EQ(platform.shown[0].text, ErrorText(unwritable, u"no such folder"));
    EXPECT_EQ(platform.shown[0].title, u"Error saving attachment");
    EXPECT_EQ(platform.shown[0].flags, 0);
    EXPECT_EQ(FilesWritten().size(), 2u);
    ExpectWritten("file1.bin", 1);
    ExpectWritten("file3.bin", 3);
    ASSERT_EQ(item->attachments.size(), 3u);
    ExpectOriginal(*item->attachments[0], 2);
    ExpectShortcut(*item->attachments[1], PathFor("file1.bin"), u"Attachment 1");
    ExpectShortcut(*item->attachments[2], PathFor("file3.bin"), u"Attachment 3");
    EXPECT_EQ(item->saveCount, 1);
}

// ---- written beside, then put in place: what the user had is never lost

TEST_F(SaveAttachmentsTest, ReplacingAFileWritesBesideItAndPutsTheWholeFileInItsPlace) {
    Preferences::SetReplaceWithLinks(true);
    std::ofstream(folder / "file1.bin", std::ios::binary) << "the user's older file";
    platform.shellAnswers = {42};
    Confirm("file1.bin", {}, true);
    const auto item = Message({1});
    Run(item);
    ASSERT_EQ(platform.temporaryPaths.size(), 1u);
    const fs::path temporary(platform.temporaryPaths[0]);
    EXPECT_EQ(temporary.parent_path(), folder) << "beside the target, on its volume";
    EXPECT_NE(temporary.filename(), "file1.bin");
    EXPECT_EQ(platform.putInPlace, (std::vector<std::pair<std::u16string, std::u16string>>{
                                       {platform.temporaryPaths[0], PathFor("file1.bin")}}));
    ExpectWritten("file1.bin", 1);
    EXPECT_EQ(Names(folder), std::vector<std::string>{"file1.bin"});
    // Everything after the write names the final path.
    EXPECT_EQ(platform.marked, std::vector{PathFor("file1.bin")});
    EXPECT_EQ(platform.openedWithShell, std::vector{PathFor("file1.bin")});
    ExpectShortcut(*item->attachments[0], PathFor("file1.bin"), u"Attachment 1");
    EXPECT_TRUE(platform.shown.empty());
}

// A folder that takes no new file never has its file written in place, where a write that breaks
// off would leave the user's file broken; one that takes new files but lets none be renamed (a
// drop box) has a new name written where it lets it: in the file made for it.
TEST_F(SaveAttachmentsTest, NoExistingFileIsWrittenInPlaceAndADropBoxTakesNewNames) {
    Tolerated::Statuses().clear();
    base::SetToleratedReport(&Tolerated::Record);
    const base::ScopeExit disconnect([]() noexcept { base::SetToleratedReport(nullptr); });
    Preferences::SetReplaceWithLinks(true);
    std::ofstream(folder / "file1.bin", std::ios::binary) << "older";
    platform.refusingNewFiles = {folder.u16string()};
    Confirm("file1.bin");
    platform.answers = {MessageBoxResult::Ok};
    const auto refused = Message({1});
    Run(refused);
    EXPECT_EQ(BytesOf(folder / "file1.bin"), "older");
    EXPECT_EQ(CallsOf("Attachment.SaveAsFile"), 0) << "no write where no file can be made";
    ASSERT_EQ(platform.shown.size(), 1u);
    EXPECT_EQ(platform.shown[0].text, ErrorText(PathFor("file1.bin"), u"the folder takes no new file"));
    EXPECT_EQ(Tolerated::Statuses(), std::vector<int32_t>{HostStatus::Fail}) << "and told where failures are";
    ExpectOriginal(*refused->attachments[0], 1);

    platform.refusingNewFiles.clear();
    platform.dropBoxes = {folder.u16string()};
    platform.shown.clear();
    Confirm("file1.bin");  // taken: refused as above
    Confirm("file2.bin");  // free: written in the file made for it
    platform.answers = {MessageBoxResult::Ok};
    const auto item = Message({1, 1});
    Run(item);
    EXPECT_EQ(BytesOf(folder / "file1.bin"), "older");
    ExpectWritten("file2.bin", 2);
    EXPECT_TRUE(platform.temporaryPaths.empty());
    EXPECT_TRUE(platform.putInPlace.empty());
    EXPECT_EQ(platform.marked, std::vector{PathFor("file2.bin")});
    ASSERT_EQ(platform.shown.size(), 1u);
    EXPECT_EQ(platform.shown[0].text, ErrorText(PathFor("file1.bin"), u"the folder lets no file be replaced"));
    EXPECT_EQ(Names(folder), (std::vector<std::string>{"file1.bin", "file2.bin"}));
    ExpectOriginal(*item->attachments[0], 1);
    ExpectShortcut(*item->attachments[1], PathFor("file2.bin"), u"Attachment 2");
}

// Out of memory is no reason of one attachment's: it ends the command, as everywhere else, with
// the file written so far gone and the user's file as it was.
TEST_F(SaveAttachmentsTest, OutOfMemoryWhileWritingEndsTheCommandAndLeavesNothingOfOurs) {
    Preferences::SetReplaceWithLinks(true);
    std::ofstream(folder / "file1.bin", std::ios::binary) << "older";
    const auto faults = std::make_shared<Faults>();
    faults->memoryFails = {u"file1.bin"};
    Confirm("file1.bin");
    Confirm("file2.bin");
    const auto item = Message({1, 1});
    EXPECT_THROW(RunFaulty(item, faults), std::bad_alloc);
    EXPECT_TRUE(platform.shown.empty()) << "no error box for one attachment";
    EXPECT_EQ(BytesOf(folder / "file1.bin"), "older");
    EXPECT_EQ(Names(folder), std::vector<std::string>{"file1.bin"});
    ExpectOriginal(*item->attachments[0], 1);
}

// How the write of the second of three attachments goes wrong.
enum class WriteFault { BreaksOff, ClaimedWithoutWriting, MoveRefused, FolderGone, TargetIsAFolder };

struct WriteFaultCase {
    const char* name;
    WriteFault fault;
    bool existing;  // the user chose a file that is there, and confirmed replacing it
    const char16_t* reason;  // what the error box says of it; null: the host's own text of the broken write
};

void PrintTo(const WriteFaultCase& c, std::ostream* out) { *out << c.name; }

struct WriteFaultTest : SaveAttachmentsTest, testing::WithParamInterface<WriteFaultCase> {};

// For each fault: the file that was there byte for byte as before, no file of ours left, the error
// box for that path alone, the command going on with the next attachment, and only attachments
// whose file is whole replaced by shortcuts.
TEST_P(WriteFaultTest, WhatWasThereStaysNothingOfOursIsLeftAndTheRestIsSaved) {
    const WriteFaultCase& c = GetParam();
    const std::string older = std::string("the user's own\0file\r\n", 21);
    Preferences::SetReplaceWithLinks(true);
    const fs::path where = c.fault == WriteFault::FolderGone ? folder / "gone" : folder;
    fs::create_directories(where);
    const fs::path target = where / "file2.bin";
    if (c.existing) std::ofstream(target, std::ios::binary) << older;
    if (c.fault == WriteFault::TargetIsAFolder) {
        fs::create_directories(target);
        std::ofstream(target / "inside.txt") << "kept";
    }
    const auto faults = std::make_shared<Faults>();
    switch (c.fault) {
        case WriteFault::BreaksOff:
            host.ledger().FailWriteAfter("Attachment.SaveAsFile", 5, static_cast<int32_t>(0x80070070u), 2);
            break;
        case WriteFault::ClaimedWithoutWriting:
            faults->silentSaves = {u"file2.bin"};
            break;
        case WriteFault::MoveRefused:
            platform.failPutInPlaceAt = 2;
            break;
        case WriteFault::FolderGone:
            // The user removes the folder while the dialog is still up, after it was chosen.
            prompt->whileUp = [&](const PromptCall& call) {
                if (call.ordinal == 2) fs::remove_all(where);
            };
            break;
        case WriteFault::TargetIsAFolder:
            break;
    }
    Confirm("file1.bin");
    prompt->script.push_back({target.u16string(), {}, false});
    Confirm("file3.bin");
    platform.answers = {MessageBoxResult::Ok};
    const auto item = Message({1, 1, 1});
    RunFaulty(item, faults);

    ASSERT_EQ(platform.shown.size(), 1u);
    ASSERT_GE(platform.temporaryPaths.size(), 2u);
    const std::u16string reason = c.reason ? std::u16string(c.reason)
                                           : u"Cannot save the attachment to " + platform.temporaryPaths[1] +
                                                 u": the write broke off";
    EXPECT_EQ(platform.shown[0].text, ErrorText(target.u16string(), reason));
    EXPECT_EQ(platform.shown[0].title, u"Error saving attachment");
    ExpectWritten("file1.bin", 1);
    ExpectWritten("file3.bin", 3);
    std::vector<std::string> expected{"file1.bin", "file3.bin"};
    if (c.fault == WriteFault::FolderGone) {
        EXPECT_FALSE(fs::exists(where)) << "nothing of ours brought the folder back";
    } else if (c.fault == WriteFault::TargetIsAFolder) {
        expected.push_back("file2.bin");
        EXPECT_TRUE(fs::is_directory(target));
        EXPECT_EQ(Names(target), std::vector<std::string>{"inside.txt"});
    } else if (c.existing) {
        expected.push_back("file2.bin");
        EXPECT_EQ(BytesOf(target), older) << "the user's file byte for byte";
    }
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(Names(folder), expected) << "no file of ours is left";
    EXPECT_EQ(platform.marked, (std::vector{PathFor("file1.bin"), PathFor("file3.bin")}));
    ASSERT_EQ(item->attachments.size(), 3u);
    ExpectOriginal(*item->attachments[0], 2);
    ExpectShortcut(*item->attachments[1], PathFor("file1.bin"), u"Attachment 1");
    ExpectShortcut(*item->attachments[2], PathFor("file3.bin"), u"Attachment 3");
    EXPECT_EQ(item->saveCount, 1);
}

INSTANTIATE_TEST_SUITE_P(
    Faults, WriteFaultTest,
    testing::Values(WriteFaultCase{"BreaksOffOverAFile", WriteFault::BreaksOff, true, nullptr},
                    WriteFaultCase{"BreaksOffAsANewFile", WriteFault::BreaksOff, false, nullptr},
                    WriteFaultCase{"ClaimedWithoutWritingOverAFile", WriteFault::ClaimedWithoutWriting, true, kNotWritten},
                    WriteFaultCase{"ClaimedWithoutWritingAsANewFile", WriteFault::ClaimedWithoutWriting, false, kNotWritten},
                    WriteFaultCase{"MoveRefusedOverAFile", WriteFault::MoveRefused, true, u"the move is refused"},
                    WriteFaultCase{"MoveRefusedAsANewFile", WriteFault::MoveRefused, false, u"the move is refused"},
                    WriteFaultCase{"FolderGoneWithTheFile", WriteFault::FolderGone, true, u"no such folder"},
                    WriteFaultCase{"FolderGone", WriteFault::FolderGone, false, u"no such folder"},
                    WriteFaultCase{"TargetIsAFolder", WriteFault::TargetIsAFolder, false, u"the target is a folder"}),
    [](const testing::TestParamInfo<WriteFaultCase>& p) { return std::string(p.param.name); });

// ---- an item with unsaved changes

TEST_F(SaveAttachmentsTest, UnsavedItemAnsweredNoChangesNothing) {
    const auto item = Message({1});
    item->Edit();
    platform.answers = {MessageBoxResult::No};
    Run(item);
    ASSERT_EQ(platform.shown.size(), 1u);
    EXPECT_EQ(platform.shown[0].text, kUnsavedQuestion);
    EXPECT_EQ(platform.shown[0].title, u"Save Attachments");
    EXPECT_EQ(platform.shown[0].flags, 4);
    EXPECT_EQ(platform.promptsCreated, 0);
    EXPECT_EQ(item->attachments.size(), 1u);
    EXPECT_FALSE(item->saved);
    EXPECT_EQ(CallsOf("Item.Save"), 0);
}

TEST_F(SaveAttachmentsTest, UnsavedItemAnsweredYesIsReplacedButLeftUnsaved) {
    Preferences::SetReplaceWithLinks(true);
    const auto item = Message({1});
    item->Edit();
    platform.answers = {MessageBoxResult::Yes};
    Confirm("file1.bin");
    Run(item);
    EXPECT_EQ(platform.shown.size(), 1u);
    ExpectWritten("file1.bin", 1);
    ASSERT_EQ(item->attachments.size(), 1u);
    ExpectShortcut(*item->attachments[0], PathFor("file1.bin"), u"Attachment 1");
    EXPECT_FALSE(item->saved);
    EXPECT_EQ(CallsOf("Item.Save"), 0);
}

// ---- attachments as hosts of each version keep them

// What a host makes of Add(path, by reference): links up to version 11; from 12 any of the answers
// the stand-in plays.
struct Outcome {
    const char* name;
    const char16_t* version;
    standin::ByReference byReference;
    bool links;
};

class ShortcutOutcomeTest : public SaveAttachmentsTest, public testing::WithParamInterface<Outcome> {
protected:
    ShortcutOutcomeTest() {
        host.options().version = GetParam().version;
        host.options().byReference = GetParam().byReference;
        actions.SetHostMajorVersion(static_cast<int16_t>(host.options().Major()));
    }
    bool Warns(const std::shared_ptr<standin::ItemNode>& item) {
        const size_t before = platform.shown.size();
        platform.answers.push_back(MessageBoxResult::Ok);
        bool cancel = true;
        actions.CheckItemSend(host.ItemObject(item), cancel);
        EXPECT_FALSE(cancel);
        if (platform.shown.size() == before) platform.answers.pop_back();
        return platform.shown.size() > before;
    }
};

constexpr char16_t kKeptText[] =
    u"This version of Outlook does not keep shortcuts to files in its items. These attachments were saved, and "
    u"are still in the item:\r\n\r\nAttachment 1\r\nAttachment 3";

TEST_P(ShortcutOutcomeTest, AnOriginalGoesOnlyForALinkToTheSavedFileAndTheUserIsToldOnceOtherwise) {
    Preferences::SetReplaceWithLinks(true);
    // Unsaved, and left so: the host reports the new attachments' Type as OLE throughout.
    const auto item = Message({1, 1, 1});
    item->Edit();
    platform.answers = {MessageBoxResult::Yes};
    Confirm("file1.bin");
    Confirm("file2.bin", false);
    Confirm("file3.bin");
    if (!GetParam().links) platform.answers.push_back(MessageBoxResult::Ok);
    Run(item);
    ExpectWritten("file1.bin", 1);
    ExpectWritten("file3.bin", 3);
    EXPECT_FALSE(item->saved);
    if (GetParam().links) {
        EXPECT_EQ(platform.shown.size(), 1u);
        ASSERT_EQ(item->attachments.size(), 3u);
        ExpectOriginal(*item->attachments[0], 2);
        ExpectShortcut(*item->attachments[1], PathFor("file1.bin"), u"Attachment 1");
        ExpectShortcut(*item->attachments[2], PathFor("file3.bin"), u"Attachment 3");
        EXPECT_EQ(host.ItemObject(item)->Attachments()->Item(2)->Type(), host::AttachmentType::Ole);
        EXPECT_FALSE(Preferences::ShortcutsRefused());
        EXPECT_TRUE(Warns(item)) << "shortcuts the host still reports as OLE";
    } else {
        ASSERT_EQ(platform.shown.size(), 2u);
        EXPECT_EQ(platform.shown[1].text, kKeptText);
        EXPECT_EQ(platform.shown[1].title, u"Save Attachments");
        ASSERT_EQ(item->attachments.size(), 3u) << "what the host added is gone again, the originals stay";
        for (int n = 1; n <= 3; ++n) ExpectOriginal(*item->attachments[static_cast<size_t>(n - 1)], n);
        EXPECT_TRUE(Preferences::ShortcutsRefused());
        EXPECT_FALSE(Warns(item));
        // One try per command: the third attachment was not offered to the host again.
        EXPECT_EQ(CallsOf("Attachments.Add"), 1);
    }

    // The next command knows: the box is not offered, the preference is not taken for it.
    Cancel();
    Run(Message({1}));
    ASSERT_EQ(prompt->calls.size(), 4u);
    EXPECT_EQ(prompt->calls[3].replaceOffered, GetParam().links);
    EXPECT_EQ(prompt->calls[3].replaceIn, GetParam().links);
    // Another action manager (one made through COM) does not make the add-in forget.
    ActionManager other(platform);
    EXPECT_EQ(Preferences::ShortcutsRefused(), !GetParam().links);
}

INSTANTIATE_TEST_SUITE_P(Hosts, ShortcutOutcomeTest,
                         testing::Values(Outcome{"v11", u"11.0.0.8312", standin::ByReference::Copy, true},
                                         Outcome{"v14Refuse", u"14.0.4760.1000", standin::ByReference::Refuse, false},
                                         Outcome{"v14Copy", u"14.0.4760.1000", standin::ByReference::Copy, false},
                                         Outcome{"v14Link", u"14.0.4760.1000", standin::ByReference::Link, true}),
                         [](const auto& param) { return std::string(param.param.name); });

// Inline pictures of an HTML body: attachments in the object model, not in the host's own list.
struct InlineCase {
    const char* name;
    int major;
    std::vector<int> shown;  // the attachments (1-based) offered, in order; empty: button disabled
};

class InlineTest : public SaveAttachmentsTest, public testing::WithParamInterface<InlineCase> {};

TEST_P(InlineTest, OnlyWhatTheHostsListShowsIsOfferedCountedAndEnabled) {
    const InlineCase& c = GetParam();
    host.options().version = c.major >= 12 ? u"14.0.4760.1000" : u"11.0.0.8312";
    actions.SetHostMajorVersion(static_cast<int16_t>(c.major));
    // 1 a signature logo (hidden, referenced), 2 a file, 3 a picture only the body references,
    // 4 a file whose sender gave it a content id the body never uses.
    auto item = Message({});
    item->AttachInline(u"image001.png", u"image001.png@01D9", true, "logo");
    item->Attach(1, u"report.pdf", "report");
    item->AttachInline(u"chart.png", u"chart@x", false, "chart");
    item->Attach(1, u"notes.txt", "notes")->contentId = u"unused@x";
    const std::vector<std::u16string> names = {u"image001.png", u"report.pdf", u"chart.png", u"notes.txt"};
    EXPECT_TRUE(actions.IsEnabled(host.ItemObject(item)));
    Cancel(static_cast<int>(c.shown.size()));
    Run(item);
    std::vector<Dialog> expected;
    for (size_t n = 0; n < c.shown.size(); ++n)
        expected.emplace_back(names[static_cast<size_t>(c.shown[n] - 1)], static_cast<int16_t>(n + 1),
                              static_cast<int16_t>(c.shown.size()));
    EXPECT_EQ(DialogsShown(*prompt), expected);

    // Only pictures: nothing to save.
    auto logoOnly = Message({});
    logoOnly->AttachInline(u"image001.png", u"image001.png@01D9", true, "logo");
    EXPECT_EQ(actions.IsEnabled(host.ItemObject(logoOnly)), c.major < 12);
}

INSTANTIATE_TEST_SUITE_P(Hosts, InlineTest,
                         testing::Values(InlineCase{"v11", 11, {1, 2, 3, 4}}, InlineCase{"v14", 14, {2, 4}}),
                         [](const auto& param) { return std::string(param.param.name); });

TEST_F(SaveAttachmentsTest, InlineTestsThatFailOfferTheAttachment) {
    host.options().version = u"14.0.4760.1000";
    actions.SetHostMajorVersion(14);
    auto item = Message({});
    item->AttachInline(u"image001.png", u"image001.png@01D9", true, "logo");
    item->AttachInline(u"chart.png", u"chart@x", false, "chart");
    host.ledger().FailMember("Attachment.PropertyAccessor", HostStatus::Fail, 1);
    host.ledger().FailMember("Item.HTMLBody", HostStatus::Fail);
    Cancel(2);
    Run(item);
    EXPECT_EQ(DialogsShown(*prompt), (std::vector<Dialog>{{u"image001.png", 1, 2}, {u"chart.png", 2, 2}}));
}

// ---- opening the saved file

TEST_F(SaveAttachmentsTest, OpenAfterSavingOpensOnlyThatFile) {
    platform.shellAnswers = {42};
    Confirm("file1.bin", {}, true);
    Confirm("file2.bin");
    Run(Message({1, 1}));
    EXPECT_EQ(platform.openedWithShell, std::vector{PathFor("file1.bin")});
    EXPECT_TRUE(platform.startedProcesses.empty());
    EXPECT_EQ(platform.marked, (std::vector{PathFor("file1.bin"), PathFor("file2.bin")}));
}

TEST_F(SaveAttachmentsTest, NoAssociatedProgramStartsTheChooserOnTheUnquotedPath) {
    platform.shellAnswers = {31};
    platform.processesAllowed = true;
    Confirm("new report.xyz", {}, true);
    Run(Message({1}));
    EXPECT_EQ(platform.startedProcesses,
              std::vector<std::u16string>{u"rundll32.exe shell32.dll,OpenAs_RunDLL " + PathFor("new report.xyz")});
}

TEST_F(SaveAttachmentsTest, ShellFailuresAndOtherAnswersAreIgnored) {
    Preferences::SetReplaceWithLinks(true);
    const auto item = Message({1, 1});
    platform.shellAnswers = {2, 31};
    platform.processesAllowed = true;
    platform.failStartProcess = true;
    Confirm("file1.bin", {}, true);
    Confirm("file2.bin", {}, true);
    Run(item);
    EXPECT_EQ(platform.startedProcesses.size(), 1u);

    const auto other = Message({1});
    platform.failShell = true;
    Confirm("other.bin", {}, true);
    Run(other);

    EXPECT_EQ(platform.openedWithShell.size(), 3u);
    EXPECT_EQ(item->attachments.size(), 2u);
    EXPECT_EQ(item->attachments[1]->type, host::AttachmentType::ByReference);
    EXPECT_EQ(other->attachments[0]->type, host::AttachmentType::ByReference);
    EXPECT_EQ(item->saveCount + other->saveCount, 2);
}

// ---- never lose an attachment

TEST_F(SaveAttachmentsTest, HostClaimingSuccessWithoutWritingKeepsTheAttachment) {
    Preferences::SetReplaceWithLinks(true);
    const auto item = Message({1, 1});
    const auto faults = std::make_shared<Faults>();
    faults->silentSaves = {u"file1.bin"};
    Confirm("file1.bin");
    Confirm("file2.bin");
    platform.answers = {MessageBoxResult::Ok};
    RunFaulty(item, faults);
    ASSERT_EQ(platform.shown.size(), 1u);
    EXPECT_EQ(platform.shown[0].text, ErrorText(PathFor("file1.bin"), kNotWritten));
    EXPECT_FALSE(fs::exists(folder / "file1.bin"));
    EXPECT_EQ(platform.marked, std::vector{PathFor("file2.bin")}) << "only a file written is marked";
    ASSERT_EQ(item->attachments.size(), 2u);
    ExpectOriginal(*item->attachments[0], 1);
    ExpectShortcut(*item->attachments[1], PathFor("file2.bin"), u"Attachment 2");
}

TEST_F(SaveAttachmentsTest, AddFailingOnTheSecondShortcutLosesNoAttachment) {
    Preferences::SetReplaceWithLinks(true);
    const auto item = Message({1, 1});
    const auto faults = std::make_shared<Faults>();
    faults->failAddAt = 2;
    Confirm("file1.bin");
    Confirm("file2.bin");
    EXPECT_THROW(RunFaulty(item, faults), HostError);
    ExpectWritten("file1.bin", 1);
    ExpectWritten("file2.bin", 2);
    ASSERT_EQ(item->attachments.size(), 3u);
    ExpectOriginal(*item->attachments[0], 1);
    ExpectOriginal(*item->attachments[1], 2);
    ExpectShortcut(*item->attachments[2], PathFor("file1.bin"), u"Attachment 1");
    EXPECT_EQ(CallsOf("Attachment.Delete"), 0);
    EXPECT_EQ(CallsOf("Item.Save"), 0);
}

TEST_F(SaveAttachmentsTest, DeleteFailingLeavesDuplicatesUnsaved) {
    Preferences::SetReplaceWithLinks(true);
    const auto item = Message({1});
    Confirm("file1.bin");
    host.ledger().FailMember("Attachment.Delete", HostStatus::Fail);
    EXPECT_THROW(Run(item), HostError);
    ASSERT_EQ(item->attachments.size(), 2u);
    ExpectOriginal(*item->attachments[0], 1);
    ExpectShortcut(*item->attachments[1], PathFor("file1.bin"), u"Attachment 1");
    EXPECT_FALSE(item->saved);
}

// ---- other failures end the run

TEST_F(SaveAttachmentsTest, FailingDialogEndsTheRunAndTheFileWrittenStays) {
    Preferences::SetReplaceWithLinks(true);
    const auto item = Message({1, 1});
    Confirm("file1.bin");
    prompt->failAt = 2;
    try {
        Run(item);
        FAIL() << "the dialog's failure was swallowed";
    } catch (const HostError& e) {
        EXPECT_EQ(e.status, HostStatus::Fail);
    }
    ExpectWritten("file1.bin", 1);
    EXPECT_EQ(item->attachments.size(), 2u);
    EXPECT_EQ(CallsOf("Item.Save"), 0);
}

TEST_F(SaveAttachmentsTest, ItemWithoutAttachmentsMemberIsThrown) {
    try {
        Run(std::make_shared<standin::ItemNode>(ItemKind::Note));
        FAIL() << "a note has no attachments";
    } catch (const HostError& e) {
        EXPECT_EQ(e.status, HostStatus::MemberNotFound);
    }
    EXPECT_TRUE(platform.shown.empty());
}

TEST_F(SaveAttachmentsTest, NoHostReferenceOutlivesTheRun) {
    Preferences::SetReplaceWithLinks(true);
    Confirm("file1.bin", {}, true);
    platform.shellAnswers = {42};
    Run(Message({1, 4}));
    prompt->calls.clear();
    EXPECT_EQ(host.ledger().Live(), (std::map<std::string, int>{}));
}
