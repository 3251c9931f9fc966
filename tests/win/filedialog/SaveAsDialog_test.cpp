// The real Save As dialog (the system's, under Xvfb) driven by the UI robot as a person would: the
// title, the option boxes, the folder carried over, the drop-down of suggestions, the system's own
// questions and refusals, names in other scripts and hostile names, one dialog at a time, and a
// screenshot. GetSaveAsPath runs on a thread of its own, as on the host's user-interface thread; the
// robot and every assertion stay on the test's thread.
#include "addin/win/FileDialogManager.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "addin/core/FileNameMangler.h"
#include "addin/core/HostVersion.h"
#include "addin/win/FileDialogHook.h"
#include "base/HostError.h"
#include "standin/model/Host.h"
#include "standin/win/SaveAsRobot.h"
#include "tests/win/TestSupport.h"
#include "tests/win/filedialog/FileDialogTestSupport.h"

using namespace addin;
using namespace addin::win;

using namespace filedialog_tests;
using standin::win::SaveAsRobot;
using Names = std::vector<std::u16string>;

namespace {

constexpr int ReplaceBox = FileDialogHook::ReplaceWithLinkId;
constexpr int OpenBox = FileDialogHook::OpenAfterSavingId;

std::string Utf8(const std::u16string& s) {
    const std::wstring w = Wide(s);
    std::string out(w.size() * 3 + 1, '\0');
    out.resize(static_cast<std::size_t>(WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()),
                                                            out.data(), static_cast<int>(out.size()), nullptr,
                                                            nullptr)));
    return out;
}

struct Outcome {
    std::u16string path;
    bool replaceWithLink = false;
    bool openAfterSaving = false;
};

// One GetSaveAsPath call on its own thread, with the robot attached once the dialog is up.
class DialogRun {
public:
    DialogRun(FileDialogManager& manager, FileNameMangler& mangler, std::u16string fileName, int16_t ordinal,
              int16_t count, bool replaceWithLink, bool openAfterSaving = false)
        : thread_([this, &manager, &mangler, fileName, ordinal, count, replaceWithLink, openAfterSaving] {
              outcome_.replaceWithLink = replaceWithLink;
              outcome_.openAfterSaving = openAfterSaving;
              outcome_.path = manager.GetSaveAsPath(fileName, mangler, ordinal, count, outcome_.replaceWithLink,
                                                    outcome_.openAfterSaving);
          }),
          robot(SaveAsRobot::ForThread(thread_.Id())) {
        robot.WaitForDialog();
    }

    /// Waits for GetSaveAsPath to return.
    Outcome Finish() {
        thread_.Join();
        return outcome_;
    }

private:
    Outcome outcome_;
    standin::win::UiThread thread_;

public:
    SaveAsRobot robot;
};

class SaveAsDialog : public ::testing::Test {
protected:
    void TearDown() override {
        EXPECT_EQ(platform.unexpectedCalls, 0);
    }

    std::unique_ptr<DialogRun> Open(const std::u16string& fileName, bool replaceWithLink = false, int16_t ordinal = 1,
                                    int16_t count = 1) {
        return std::make_unique<DialogRun>(manager, mangler, fileName, ordinal, count, replaceWithLink);
    }

    // A first attachment saved in the test's folder by typing its full path, so that the next
    // dialog opens there, as for the user's next attachment.
    void SaveFirstAttachmentInFolder() {
        auto run = Open(u"first.txt");
        run->robot.TypeFileName(folder.Child(u"first.txt"));
        run->robot.Save();
        ASSERT_EQ(run->Finish().path, folder.Child(u"first.txt"));
    }

    void HoldMailFrom(std::u16string sender) {
        auto node = std::make_shared<standin::ItemNode>(standin::ItemKind::Mail);
        node->sent = true;
        node->senderName = std::move(sender);
        node->sentOn = {2004, 3, 5, 9, 15, 0};
        mangler.mItem(host.ItemObject(node));
    }

    TempFolder folder;
    FilePlatform platform;
    standin::Host host;
    FileNameMangler mangler{platform, 11};
    FileDialogManager manager{GetModuleHandleW(nullptr)};
};

}  // namespace

// ---- what the dialog shows

TEST_F(SaveAsDialog, TitleNumbersOnlyWhenThereIsMoreThanOneAttachment) {
    {
        auto run = Open(u"report.doc", false, 3, 1);
        EXPECT_EQ(Utf8(run->robot.Title()), "Save attachment");
        run->robot.Cancel();
        run->Finish();
    }
    auto run = Open(u"report.doc", false, 2, 3);
    EXPECT_EQ(Utf8(run->robot.Title()), "Save attachment (2/3)");
    EXPECT_EQ(Utf8(run->robot.FileName()), "report.doc");
    run->robot.Cancel();
    run->Finish();
}

TEST_F(SaveAsDialog, ReplaceWithShortcutStartsFromTheInValueOpenAfterSavingUnchecked) {
    {
        auto run = std::make_unique<DialogRun>(manager, mangler, u"report.doc", 1, 1, true, true);
        EXPECT_TRUE(run->robot.IsChecked(ReplaceBox));
        EXPECT_FALSE(run->robot.IsChecked(OpenBox));
        run->robot.Cancel();
        run->Finish();
    }
    auto run = Open(u"report.doc", false);
    EXPECT_FALSE(run->robot.IsChecked(ReplaceBox));
    EXPECT_FALSE(run->robot.IsChecked(OpenBox));
    run->robot.Cancel();
    EXPECT_FALSE(run->Finish().replaceWithLink);
}

TEST_F(SaveAsDialog, ReplaceNotOfferedIsUncheckedDisabledAndComesBackFalseUntilOfferedAgain) {
    manager.SetReplaceOffered(false);
    {
        auto run = Open(u"report.doc", true);
        EXPECT_FALSE(run->robot.IsChecked(ReplaceBox));
        EXPECT_FALSE(run->robot.IsEnabled(ReplaceBox));
        EXPECT_TRUE(run->robot.IsEnabled(OpenBox));
        run->robot.Cancel();
        EXPECT_FALSE(run->Finish().replaceWithLink);
    }
    manager.SetReplaceOffered(true);
    auto run = Open(u"report.doc", true);
    EXPECT_TRUE(run->robot.IsChecked(ReplaceBox));
    EXPECT_TRUE(run->robot.IsEnabled(ReplaceBox));
    run->robot.Cancel();
    EXPECT_TRUE(run->Finish().replaceWithLink);
}

TEST_F(SaveAsDialog, ClicksComeBackInTheOutValuesAlsoAfterCancel) {
    auto run = Open(u"report.doc", true);
    run->robot.Click(ReplaceBox);
    run->robot.Click(OpenBox);
    EXPECT_FALSE(run->robot.IsChecked(ReplaceBox));
    EXPECT_TRUE(run->robot.IsChecked(OpenBox));
    run->robot.Cancel();
    const Outcome outcome = run->Finish();
    EXPECT_EQ(outcome.path, u"");
    EXPECT_FALSE(outcome.replaceWithLink);
    EXPECT_TRUE(outcome.openAfterSaving);
    EXPECT_EQ(manager.LastFolder(), u"") << "a cancel stores no folder";
}

TEST_F(SaveAsDialog, ChosenPathComesBackAndTheNextDialogsOpenInItsFolder) {
    auto run = Open(u"report.doc", false, 1, 2);
    run->robot.TypeFileName(folder.Child(u"report.doc"));
    run->robot.Click(OpenBox);
    run->robot.Click(ReplaceBox);
    run->robot.Save();
    Outcome outcome = run->Finish();
    EXPECT_EQ(outcome.path, folder.Child(u"report.doc"));
    EXPECT_TRUE(outcome.replaceWithLink);
    EXPECT_TRUE(outcome.openAfterSaving);
    EXPECT_EQ(manager.LastFolder(), folder.Path() + u"\\");

    run = Open(u"notes.txt", false, 2, 2);
    EXPECT_EQ(run->robot.Folder(), folder.Path());
    run->robot.Cancel();
    EXPECT_EQ(run->Finish().path, u"");
    EXPECT_EQ(manager.LastFolder(), folder.Path() + u"\\");

    run = Open(u"notes.txt");
    EXPECT_EQ(run->robot.Folder(), folder.Path()) << "still the folder last confirmed after a cancel";
    run->robot.Save();
    outcome = run->Finish();
    EXPECT_EQ(outcome.path, folder.Child(u"notes.txt"));
    EXPECT_FALSE(outcome.replaceWithLink);
    EXPECT_FALSE(outcome.openAfterSaving);
}

TEST_F(SaveAsDialog, ListShowsEveryFileOfTheFolderWithTheEmptyPattern) {
    folder.AddFile(u"report.doc");
    folder.AddFile(u"notes.txt");
    folder.AddFile(u"README");
    folder.AddFolder(u"sub");
    SaveFirstAttachmentInFolder();
    auto run = Open(u"x.bin");
    Names listed = run->robot.ListedNames();
    std::sort(listed.begin(), listed.end());
    EXPECT_EQ(listed, (Names{u"README", u"notes.txt", u"report.doc", u"sub"}));
    run->robot.Cancel();
    run->Finish();
}

// ---- the drop-down of suggestions

TEST_F(SaveAsDialog, SelectingAFileFillsTheDropDownWithExactlyTheManglersNames) {
    folder.AddFile(u"report.doc");
    folder.AddFile(u"report -- 1.doc");
    folder.AddFile(u"notes.txt");
    HoldMailFrom(u"Ann Lee@example.com");
    SaveFirstAttachmentInFolder();
    auto run = Open(u"attachment.bin");

    run->robot.Select(u"report.doc");
    EXPECT_EQ(Utf8(run->robot.FileName()), "report.doc");
    const std::u16string date = addin::win::FormatDate({2004, 3, 5}, u"d-mmm-yyyy");
    const Names forReport{u"report -- 2.doc", u"report -- Ann Lee.doc", u"report -- Ann Lee -- " + date + u".doc",
                          u"report -- " + date + u".doc"};
    EXPECT_EQ(run->robot.Suggestions(), forReport);

    run->robot.Select(u"notes.txt");
    const Names forNotes = run->robot.Suggestions();
    run->robot.Cancel();
    run->Finish();
    EXPECT_EQ(forNotes, mangler.GetFileNameMangling(u"notes.txt", folder.Path()));
    EXPECT_EQ(forNotes.front(), u"notes -- 1.txt");
}

TEST_F(SaveAsDialog, EmptyNameBoxLeavesTheDropDownAlone) {
    folder.AddFile(u"report.doc");
    folder.AddFolder(u"sub");
    SaveFirstAttachmentInFolder();
    auto run = Open(u"attachment.bin");
    run->robot.Select(u"report.doc");
    const Names before = run->robot.Suggestions();
    ASSERT_EQ(before.size(), 1u);

    run->robot.TypeFileName(u"");
    run->robot.Select(u"sub");  // a folder leaves the name box as it is
    EXPECT_EQ(run->robot.FileName(), u"");
    EXPECT_EQ(run->robot.Suggestions(), before);
    run->robot.Cancel();
    run->Finish();
}

TEST_F(SaveAsDialog, FailingManglerLeavesTheDropDownAndTheDialogWorking) {
    folder.AddFile(u"report.doc");
    folder.AddFile(u"notes.txt");
    SaveFirstAttachmentInFolder();
    auto run = Open(u"attachment.bin", true);
    run->robot.Select(u"report.doc");
    const Names before = run->robot.Suggestions();
    platform.failing = true;
    run->robot.Select(u"notes.txt");
    EXPECT_EQ(run->robot.Suggestions(), before);
    platform.failing = false;
    run->robot.Click(ReplaceBox);
    run->robot.TypeFileName(u"notes -- 1.txt");
    run->robot.Save();
    const Outcome outcome = run->Finish();
    EXPECT_EQ(outcome.path, folder.Child(u"notes -- 1.txt"));
    EXPECT_FALSE(outcome.replaceWithLink);
}

// ---- the system's checks

TEST_F(SaveAsDialog, NameWithoutExtensionComesBackWithoutOne) {
    SaveFirstAttachmentInFolder();
    auto run = Open(u"report.doc");
    run->robot.TypeFileName(u"README");
    run->robot.Save();
    EXPECT_EQ(run->Finish().path, folder.Child(u"README"));
}

TEST_F(SaveAsDialog, ExistingFileAsksBeforeReturning) {
    folder.AddFile(u"report.doc");
    SaveFirstAttachmentInFolder();
    auto run = Open(u"report.doc");
    run->robot.Save();
    auto question = run->robot.WaitForMessageBox();
    EXPECT_NE(Utf8(question.text).find("replace"), std::string::npos) << Utf8(question.text);
    run->robot.Answer(question, IDNO);
    EXPECT_EQ(Utf8(run->robot.FileName()), "report.doc") << "still open after No";

    run->robot.Save();
    question = run->robot.WaitForMessageBox();
    run->robot.Answer(question, IDYES);
    EXPECT_EQ(run->Finish().path, folder.Child(u"report.doc"));
}

TEST_F(SaveAsDialog, MissingFolderIsRefused) {
    auto run = Open(u"report.doc");
    run->robot.TypeFileName(folder.Child(u"missing\\report.doc"));
    run->robot.Save();
    const auto refusal = run->robot.WaitForMessageBox();
    run->robot.Answer(refusal, IDOK);
    EXPECT_FALSE(run->robot.Title().empty()) << "the dialog stays open";
    run->robot.Cancel();
    EXPECT_EQ(run->Finish().path, u"");
    EXPECT_EQ(manager.LastFolder(), u"");
}

// ---- names

TEST_F(SaveAsDialog, CyrillicNameIsOfferedAndSavedUnderItsOwnName) {
    const std::u16string name = u"Вложение № 5.txt";
    SaveFirstAttachmentInFolder();
    auto run = Open(name);
    EXPECT_EQ(Utf8(run->robot.FileName()), Utf8(name));
    run->robot.Save();
    const std::u16string path = run->Finish().path;
    ASSERT_EQ(Utf8(path), Utf8(folder.Child(name)));
    const HANDLE file = CreateFileW(Wide(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    EXPECT_NE(file, INVALID_HANDLE_VALUE) << "error " << GetLastError();
    CloseHandle(file);
    EXPECT_EQ(addin::win::FileExists(folder.Child(name)), 1);
}

TEST_F(SaveAsDialog, HostileNameIsOfferedAsItsLastPart) {
    SaveFirstAttachmentInFolder();
    auto run = Open(u"..\\..\\evil.exe");
    EXPECT_EQ(Utf8(run->robot.FileName()), "evil.exe");
    run->robot.Save();
    EXPECT_EQ(run->Finish().path, folder.Child(u"evil.exe"));
}

TEST_F(SaveAsDialog, LongNameIsShortenedToFitTheFolderTheDialogOpensIn) {
    const std::u16string name = std::u16string(240, u'r') + u".docx";
    const auto expectedIn = [&](const std::u16string& shown) {
        return std::u16string(259 - shown.size() - 1 - 5, u'r') + u".docx";
    };
    // The first dialog opens where the system chooses (here the current folder), the next in the
    // folder last confirmed: both are known only once the dialog shows them.
    SetCurrentDirectoryW(Wide(folder.Path()).c_str());
    testing_support::forgetLastSaveAsFolders();
    auto first = Open(name);
    EXPECT_EQ(first->robot.Folder(), folder.Path());
    EXPECT_EQ(first->robot.FileName(), expectedIn(folder.Path()));
    first->robot.Cancel();
    first->Finish();

    SaveFirstAttachmentInFolder();
    auto run = Open(u"photo\u202Egpj " + name);
    const std::u16string offered = run->robot.FileName();
    EXPECT_EQ(offered, u"photo_gpj " + expectedIn(folder.Path()).substr(10));
    run->robot.Save();
    const std::u16string path = run->Finish().path;
    EXPECT_EQ(path, folder.Child(offered));
    EXPECT_EQ(path.size(), 259u);
    const HANDLE file = CreateFileW(Wide(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    EXPECT_NE(file, INVALID_HANDLE_VALUE) << "error " << GetLastError();
    CloseHandle(file);
}

// ---- one dialog at a time

namespace {

BOOL CALLBACK FindHookState(HWND window, LPARAM result) {
    const FileDialogHook::DialogState* state = FileDialogHook::StateOf(window);
    if (state) *reinterpret_cast<const FileDialogHook::DialogState**>(result) = state;
    return !state;
}

// The state the hook keeps on the Save As dialog's child dialog, if any.
const FileDialogHook::DialogState* StateOfDialog(HWND saveDialog) {
    const FileDialogHook::DialogState* found = nullptr;
    EnumChildWindows(saveDialog, FindHookState, reinterpret_cast<LPARAM>(&found));
    return found;
}

}  // namespace

TEST_F(SaveAsDialog, SecondDialogWhileOneIsOpenIsRefused) {
    auto run = Open(u"report.doc", true);
    FileDialogManager other(GetModuleHandleW(nullptr));
    FileNameMangler otherMangler(platform, 11);
    bool replace = false;
    bool open = true;
    try {
        (void)other.GetSaveAsPath(u"other.doc", otherMangler, 1, 1, replace, open);
        ADD_FAILURE() << "a second dialog opened";
    } catch (const HostError& e) {
        EXPECT_EQ(e.status, FileDialogBusyStatus);
        EXPECT_FALSE(e.text.empty());
    }
    EXPECT_FALSE(replace);
    EXPECT_TRUE(open);
    const FileDialogHook::DialogState* state = StateOfDialog(run->robot.WaitForDialog());
    ASSERT_NE(state, nullptr);
    EXPECT_EQ(state->mangler, &mangler) << "the open dialog keeps its state";
    EXPECT_TRUE(state->replaceWithLinkChecked);
    run->robot.Cancel();
    EXPECT_TRUE(run->Finish().replaceWithLink);
    EXPECT_FALSE(FileDialogHook::dialogOpen);

    run = Open(u"report.doc");  // free again
    run->robot.Cancel();
    run->Finish();
}

// ---- how it looks

TEST_F(SaveAsDialog, OptionsSitBelowTheStandardControlsAndTheScreenshotIsWritten) {
    folder.AddFile(u"Quarterly report.doc");
    folder.AddFile(u"Вложение № 5.txt");
    folder.AddFolder(u"Archive");
    SaveFirstAttachmentInFolder();
    auto run = Open(u"Quarterly report.doc", true, 2, 3);
    SaveAsRobot& robot = run->robot;
    const RECT nameBox = robot.ControlRect(1148);
    const RECT replace = robot.ControlRect(ReplaceBox);
    const RECT open = robot.ControlRect(OpenBox);
    const RECT group = robot.ControlRect(-1 & 0xFFFF);
    EXPECT_GT(group.top, nameBox.bottom) << "the options come below the file-name box";
    EXPECT_LT(open.right, replace.left) << "\"Open after saving\" stands left of \"Replace with shortcut\"";
    EXPECT_EQ(open.top, replace.top);
    for (const RECT& box : {replace, open}) {
        EXPECT_GT(box.left, group.left);
        EXPECT_LT(box.right, group.right);
        EXPECT_GT(box.top, group.top);
        EXPECT_LT(box.bottom, group.bottom);
    }
    const std::wstring png = standin::win::ProgramFolder() + L"save-as-dialog.png";
    robot.Screenshot(png);
    WIN32_FILE_ATTRIBUTE_DATA data{};
    ASSERT_TRUE(GetFileAttributesExW(png.c_str(), GetFileExInfoStandard, &data));
    EXPECT_GT(data.nFileSizeLow, 1000u);
    robot.Cancel();
    run->Finish();
}
