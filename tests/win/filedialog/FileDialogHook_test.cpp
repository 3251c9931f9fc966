// The hook procedure on windows built like the Save As dialog's (a parent answering
// CDM_GETFOLDERPATH with a ComboBoxEx32 1148, a child with check boxes 1000 and 1001), without
// the system dialog: the options' state, the refresh of the drop-down, and failures contained.
#include "addin/win/FileDialogHook.h"

#include <windows.h>
#include <commctrl.h>
#include <commdlg.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "addin/core/FileNameMangler.h"
#include "addin/core/HostVersion.h"
#include "standin/model/Host.h"
#include "tests/win/filedialog/FileDialogTestSupport.h"

using namespace addin;
using namespace addin::win;

using namespace filedialog_tests;
using Names = std::vector<std::u16string>;

namespace {

// The folder the fake dialog reports, answered as Wine's dialog answers: copied as far as the
// buffer allows, the result counting the whole path and its NUL.
std::wstring gFolderShown;

LRESULT CALLBACK FakeSaveDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == CDM_GETFOLDERPATH) {
        if (gFolderShown.empty()) return -1;
        if (wParam > 0) lstrcpynW(reinterpret_cast<wchar_t*>(lParam), gFolderShown.c_str(), static_cast<int>(wParam));
        return static_cast<LRESULT>(gFolderShown.size() + 1);
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

class HookOnFakeDialog : public ::testing::Test {
protected:
    void SetUp() override {
        INITCOMMONCONTROLSEX controls{sizeof controls, ICC_USEREX_CLASSES};
        ASSERT_TRUE(InitCommonControlsEx(&controls));
        WNDCLASSW cls{};
        cls.lpfnWndProc = FakeSaveDialogProc;
        cls.hInstance = GetModuleHandleW(nullptr);
        cls.lpszClassName = L"TallowbyFakeSaveDialog";
        RegisterClassW(&cls);  // fails harmlessly when a previous test registered it
        saveDialog = CreateWindowExW(0, cls.lpszClassName, L"Save", WS_OVERLAPPEDWINDOW, 0, 0, 600, 400, nullptr,
                                     nullptr, cls.hInstance, nullptr);
        ASSERT_TRUE(saveDialog);
        box = CreateWindowExW(0, WC_COMBOBOXEXW, L"", WS_CHILD | CBS_DROPDOWN, 0, 0, 300, 200, saveDialog,
                              reinterpret_cast<HMENU>(static_cast<INT_PTR>(FileDialogHook::FileNameBoxId)), nullptr,
                              nullptr);
        ASSERT_TRUE(box);
        child = CreateWindowExW(0, L"STATIC", L"", WS_CHILD, 0, 300, 600, 100, saveDialog, nullptr, nullptr, nullptr);
        ASSERT_TRUE(child);
        for (int id : {FileDialogHook::ReplaceWithLinkId, FileDialogHook::OpenAfterSavingId}) {
            ASSERT_TRUE(CreateWindowExW(0, L"BUTTON", L"", WS_CHILD | BS_AUTOCHECKBOX, 0, 0, 100, 20, child,
                                        reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), nullptr, nullptr));
        }
        gFolderShown = Wide(folder.Path());
        Init();
        ASSERT_EQ(FileDialogHook::StateOf(child), &state);
    }
    void TearDown() override {
        // The dialog's end takes its state off the window; a click after it changes nothing.
        Hook(WM_DESTROY, 0);
        EXPECT_EQ(FileDialogHook::StateOf(child), nullptr);
        const bool before = state.openAfterSavingChecked;
        SetCheck(FileDialogHook::OpenAfterSavingId, before ? BST_UNCHECKED : BST_CHECKED);
        EXPECT_EQ(Hook(WM_COMMAND, FileDialogHook::OpenAfterSavingId), 0u);
        EXPECT_EQ(state.openAfterSavingChecked, before);
        if (saveDialog) DestroyWindow(saveDialog);
        EXPECT_EQ(platform.unexpectedCalls, 0);
    }

    // WM_INITDIALOG as the system sends it: the dialog's structure, carrying the state.
    UINT_PTR Init() {
        OPENFILENAMEW dialog{};
        dialog.lStructSize = sizeof dialog;
        dialog.lCustData = reinterpret_cast<LPARAM>(&state);
        return Hook(WM_INITDIALOG, 0, reinterpret_cast<LPARAM>(&dialog));
    }

    UINT_PTR Hook(UINT message, WPARAM wParam, LPARAM lParam = 0) {
        return FileDialogHook::SaveDialogHookProc(child, message, wParam, lParam);
    }
    UINT_PTR Notify(int code) {
        NMHDR header{saveDialog, 0, static_cast<UINT>(code)};
        return Hook(WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&header));
    }
    void SetCheck(int id, WPARAM check) { SendDlgItemMessageW(child, id, BM_SETCHECK, check, 0); }
    bool Checked(int id) { return SendDlgItemMessageW(child, id, BM_GETCHECK, 0, 0) == BST_CHECKED; }
    void TypeName(const std::u16string& text) { SetWindowTextW(box, Wide(text).c_str()); }
    void FillList(const Names& names) {
        SendMessageW(box, CB_RESETCONTENT, 0, 0);
        for (const auto& name : names) {
            std::wstring text = Wide(name);
            COMBOBOXEXITEMW item{};
            item.mask = CBEIF_TEXT;
            item.iItem = -1;
            item.pszText = text.data();
            SendMessageW(box, CBEM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
        }
    }
    Names ListItems() {
        Names names;
        const LRESULT count = SendMessageW(box, CB_GETCOUNT, 0, 0);
        for (LRESULT i = 0; i < count; ++i) {
            wchar_t text[512] = {};
            COMBOBOXEXITEMW item{};
            item.mask = CBEIF_TEXT;
            item.iItem = i;
            item.pszText = text;
            item.cchTextMax = 512;
            SendMessageW(box, CBEM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item));
            names.push_back(U16(text));
        }
        return names;
    }

    TempFolder folder;
    FilePlatform platform;
    standin::Host host;
    FileNameMangler mangler{platform, 11};
    FileDialogHook::DialogState state;
    HWND saveDialog = nullptr;
    HWND box = nullptr;
    HWND child = nullptr;
};

}  // namespace

// ---- the option boxes

TEST_F(HookOnFakeDialog, InitDialogChecksReplaceWithShortcutFromTheState) {
    state.replaceWithLinkChecked = true;
    SetCheck(FileDialogHook::OpenAfterSavingId, BST_CHECKED);
    EXPECT_EQ(Init(), 0u);
    EXPECT_TRUE(Checked(FileDialogHook::ReplaceWithLinkId));
    EXPECT_TRUE(Checked(FileDialogHook::OpenAfterSavingId)) << "the other box is not touched";

    state.replaceWithLinkChecked = false;
    SetCheck(FileDialogHook::OpenAfterSavingId, BST_UNCHECKED);
    state.openAfterSavingChecked = true;
    EXPECT_EQ(Init(), 0u);
    EXPECT_FALSE(Checked(FileDialogHook::ReplaceWithLinkId));
    EXPECT_FALSE(Checked(FileDialogHook::OpenAfterSavingId)) << "its box starts as the template has it";
}

TEST_F(HookOnFakeDialog, EachClickReadsItsBoxIntoTheState) {
    SetCheck(FileDialogHook::ReplaceWithLinkId, BST_CHECKED);
    EXPECT_EQ(Hook(WM_COMMAND, FileDialogHook::ReplaceWithLinkId), 0u);
    EXPECT_TRUE(state.replaceWithLinkChecked);
    EXPECT_FALSE(state.openAfterSavingChecked);

    SetCheck(FileDialogHook::OpenAfterSavingId, BST_CHECKED);
    EXPECT_EQ(Hook(WM_COMMAND, FileDialogHook::OpenAfterSavingId), 0u);
    EXPECT_TRUE(state.openAfterSavingChecked);

    SetCheck(FileDialogHook::ReplaceWithLinkId, BST_UNCHECKED);
    Hook(WM_COMMAND, FileDialogHook::ReplaceWithLinkId);
    EXPECT_FALSE(state.replaceWithLinkChecked);
    EXPECT_TRUE(state.openAfterSavingChecked);
}

TEST_F(HookOnFakeDialog, OnlyAPlainClickOfABoxCounts) {
    SetCheck(FileDialogHook::ReplaceWithLinkId, BST_CHECKED);
    SetCheck(FileDialogHook::OpenAfterSavingId, BST_CHECKED);
    Hook(WM_COMMAND, MAKEWPARAM(FileDialogHook::ReplaceWithLinkId, BN_SETFOCUS));
    Hook(WM_COMMAND, IDOK);
    Hook(WM_COMMAND, 1002);
    EXPECT_FALSE(state.replaceWithLinkChecked);
    EXPECT_FALSE(state.openAfterSavingChecked);
    // Only a box that reports exactly "checked" counts as checked.
    SendDlgItemMessageW(child, FileDialogHook::OpenAfterSavingId, BM_SETSTYLE, BS_AUTO3STATE, FALSE);
    SetCheck(FileDialogHook::OpenAfterSavingId, BST_INDETERMINATE);
    state.openAfterSavingChecked = true;
    Hook(WM_COMMAND, FileDialogHook::OpenAfterSavingId);
    EXPECT_FALSE(state.openAfterSavingChecked);
}

// ---- the drop-down list

TEST_F(HookOnFakeDialog, SelectionChangeRefillsTheListWithTheManglersNames) {
    folder.AddFile(u"report -- 1.doc");
    auto node = std::make_shared<standin::ItemNode>(standin::ItemKind::Mail);
    node->sent = true;
    node->senderName = u"Ann Lee@example.com";
    node->sentOn = {2004, 3, 5, 9, 15, 0};
    mangler.mItem(host.ItemObject(node));
    state.mangler = &mangler;
    FillList({u"old one", u"old two"});
    TypeName(u"report.doc");

    EXPECT_EQ(Notify(CDN_SELCHANGE), 0u);

    const std::u16string date = addin::win::FormatDate({2004, 3, 5}, u"d-mmm-yyyy");
    const Names expected{u"report -- 2.doc", u"report -- Ann Lee.doc", u"report -- Ann Lee -- " + date + u".doc",
                         u"report -- " + date + u".doc"};
    EXPECT_EQ(ListItems(), expected);
    EXPECT_EQ(ListItems(), mangler.GetFileNameMangling(u"report.doc", folder.Path()));
}

TEST_F(HookOnFakeDialog, FolderWithoutAPathStillGetsSuggestions) {
    gFolderShown.clear();  // CDM_GETFOLDERPATH answers -1
    state.mangler = &mangler;
    TypeName(u"notes.txt");
    Notify(CDN_SELCHANGE);
    EXPECT_EQ(ListItems(), (Names{u"notes -- 1.txt"}));
}

TEST_F(HookOnFakeDialog, OtherNotificationsLeaveTheListAlone) {
    state.mangler = &mangler;
    FillList({u"kept"});
    TypeName(u"report.doc");
    for (int code : {CDN_FILEOK, CDN_FOLDERCHANGE, CDN_INITDONE, CDN_TYPECHANGE}) EXPECT_EQ(Notify(code), 0u);
    EXPECT_EQ(ListItems(), (Names{u"kept"}));
}

TEST_F(HookOnFakeDialog, EmptyNameBoxLeavesTheListAlone) {
    state.mangler = &mangler;
    FillList({u"kept"});
    TypeName(u"");
    Notify(CDN_SELCHANGE);
    EXPECT_EQ(ListItems(), (Names{u"kept"}));
}

TEST_F(HookOnFakeDialog, FailingManglerLeavesTheListAloneAndNothingEscapes) {
    state.mangler = &mangler;
    FillList({u"kept"});
    TypeName(u"report.doc");
    platform.failing = true;
    EXPECT_EQ(Notify(CDN_SELCHANGE), 0u);
    EXPECT_EQ(ListItems(), (Names{u"kept"}));
    EXPECT_THROW(FileDialogHook::RefreshNameSuggestions(saveDialog, &mangler), HostError);
}

TEST_F(HookOnFakeDialog, NoFileNameBoxOrNoParentIsNoFailure) {
    state.mangler = &mangler;
    TypeName(u"report.doc");
    DestroyWindow(box);
    EXPECT_NO_THROW(FileDialogHook::RefreshNameSuggestions(saveDialog, &mangler));
    const HWND orphan = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    NMHDR header{orphan, 0, static_cast<UINT>(CDN_SELCHANGE)};
    EXPECT_EQ(FileDialogHook::SaveDialogHookProc(orphan, WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&header)), 0u);
    DestroyWindow(orphan);
}
