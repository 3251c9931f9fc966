#include "addin/win/FolderDialog.h"

#include <shlobj.h>
#include <shobjidl.h>

#include "base/HostError.h"
#include "com/ComPtr.h"
#include "com/Handles.h"
#include "com/Strings.h"

namespace addin::win {

namespace {

// The classes by their identifiers, so that nothing but ole32 is imported for them.
constexpr CLSID kFileOpenDialog = {0xdc1c5a9c, 0xe88a, 0x4dde, {0xa5, 0xa1, 0x60, 0xf8, 0x2a, 0x20, 0xae, 0xf7}};
constexpr CLSID kProgressDialog = {0xf8383852, 0xfcd3, 0x11d1, {0xa6, 0xb9, 0x00, 0x60, 0x97, 0xdf, 0x5b, 0xd4}};
// The headers declare IProgressDialog without its identifier for __uuidof.
constexpr IID kIProgressDialog = {0xebbc7c04, 0x315e, 0x11d2, {0xb6, 0x2f, 0x00, 0x60, 0x97, 0xdf, 0x5b, 0xd4}};

void Check(HRESULT hr, const char16_t* what) {
    if (FAILED(hr)) throw HostError(hr, what);
}

// The folder browser's functions, looked up in shell32 when first needed.
using BrowseFunction = LPITEMIDLIST(WINAPI*)(LPBROWSEINFOW);
using PathFunction = BOOL(WINAPI*)(LPCITEMIDLIST, LPWSTR);
// Vista's, as the common item dialog is: found where the dialog is found.
using ParseFunction = HRESULT(WINAPI*)(PCWSTR, IBindCtx*, REFIID, void**);

template <class Function>
Function ShellFunction(const char* name) {
    const HMODULE shell = GetModuleHandleW(L"shell32.dll");
    return shell ? reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(shell, name))) : nullptr;
}

int CALLBACK BrowseCallback(HWND window, UINT message, LPARAM, LPARAM data) {
    // Opens in the folder the Save As dialog would start in.
    if (message == BFFM_INITIALIZED && data) SendMessageW(window, BFFM_SETSELECTIONW, TRUE, data);
    return 0;
}

class ShellProgress final : public ProgressWindow {
public:
    explicit ShellProgress(com::ComPtr<IProgressDialog> dialog) : dialog_(std::move(dialog)) {}
    ~ShellProgress() override { (void)dialog_->StopProgressDialog(); }
    void Update(uint32_t done, uint32_t total, const std::u16string& line) override {
        (void)dialog_->SetLine(1, com::wide(line), TRUE, nullptr);
        (void)dialog_->SetProgress(done, total);
    }
    bool Cancelled() override { return dialog_->HasUserCancelled() != FALSE; }

private:
    com::ComPtr<IProgressDialog> dialog_;
};

}  // namespace

std::optional<FolderChoice> FolderDialog::PickFolder(const std::u16string& title, const std::u16string& startFolder,
                                                     bool replaceWithLinks, bool replaceOffered) {
    bool shown = false;
    auto choice = PickWithItemDialog(title, startFolder, replaceWithLinks, replaceOffered, shown);
    if (shown) return choice;
    return PickWithBrowser(title, startFolder, replaceWithLinks, replaceOffered);
}

std::optional<FolderChoice> FolderDialog::PickWithItemDialog(const std::u16string& title,
                                                             const std::u16string& startFolder, bool replaceWithLinks,
                                                             bool replaceOffered, bool& shown) {
    com::ComPtr<IFileOpenDialog> dialog;
    // Windows before Vista has no such class: the folder browser takes its place.
    if (FAILED(CoCreateInstance(kFileOpenDialog, nullptr, CLSCTX_INPROC_SERVER, __uuidof(IFileOpenDialog),
                                dialog.putVoid())))
        return std::nullopt;
    shown = true;
    FILEOPENDIALOGOPTIONS options = 0;
    Check(dialog->GetOptions(&options), u"The folder dialog cannot be set up");
    Check(dialog->SetOptions(options | FOS_PICKFOLDERS | FOS_FORCEFILESYSTEM | FOS_PATHMUSTEXIST),
          u"The folder dialog cannot be set up");
    (void)dialog->SetTitle(com::wide(title));
    if (!startFolder.empty()) {
        com::ComPtr<IShellItem> start;
        // A folder that is gone leaves the dialog where the system starts it.
        const auto parse = ShellFunction<ParseFunction>("SHCreateItemFromParsingName");
        if (parse && SUCCEEDED(parse(com::wide(startFolder), nullptr, __uuidof(IShellItem), start.putVoid())))
            (void)dialog->SetFolder(start.get());
    }
    com::ComPtr<IFileDialogCustomize> boxes;
    if (SUCCEEDED(dialog->QueryInterface(__uuidof(IFileDialogCustomize), boxes.putVoid()))) {
        (void)boxes->AddCheckButton(FolderReplaceBoxId, FolderReplaceCaption, replaceWithLinks && replaceOffered);
        if (!replaceOffered) (void)boxes->SetControlState(FolderReplaceBoxId, CDCS_VISIBLE);
        (void)boxes->AddCheckButton(FolderOpenBoxId, FolderOpenCaption, FALSE);
    }
    const HRESULT answer = dialog->Show(GetForegroundWindow());
    if (answer == HRESULT_FROM_WIN32(ERROR_CANCELLED)) return std::nullopt;
    Check(answer, u"The folder dialog failed");
    com::ComPtr<IShellItem> picked;
    Check(dialog->GetResult(picked.put()), u"The folder dialog gave no folder");
    com::CoTaskMemString path;
    Check(picked->GetDisplayName(SIGDN_FILESYSPATH, path.put()), u"The folder chosen is not in the file system");
    FolderChoice choice;
    choice.folder = com::fromWide(path.get());
    if (boxes) {
        BOOL replace = FALSE;
        BOOL open = FALSE;
        (void)boxes->GetCheckButtonState(FolderReplaceBoxId, &replace);
        (void)boxes->GetCheckButtonState(FolderOpenBoxId, &open);
        choice.replaceWithLinks = replace && replaceOffered;
        choice.openFolder = open != FALSE;
    } else {
        choice.replaceWithLinks = replaceWithLinks && replaceOffered;
    }
    return choice;
}

std::optional<FolderChoice> FolderDialog::PickWithBrowser(const std::u16string& title, const std::u16string& startFolder,
                                                          bool replaceWithLinks, bool replaceOffered) {
    const auto browse = ShellFunction<BrowseFunction>("SHBrowseForFolderW");
    const auto pathOf = ShellFunction<PathFunction>("SHGetPathFromIDListW");
    if (!browse || !pathOf) throw HostError(HostStatus::Fail, u"The system has no folder dialog");
    wchar_t display[MAX_PATH] = {};
    BROWSEINFOW info{};
    info.hwndOwner = GetForegroundWindow();
    info.pszDisplayName = display;
    info.lpszTitle = com::wide(title);
    info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE;
    info.lpfn = BrowseCallback;
    info.lParam = startFolder.empty() ? 0 : reinterpret_cast<LPARAM>(com::wide(startFolder));
    const LPITEMIDLIST picked = browse(&info);
    if (!picked) return std::nullopt;
    wchar_t path[MAX_PATH] = {};
    const BOOL isPath = pathOf(picked, path);
    CoTaskMemFree(picked);
    if (!isPath) throw HostError(HostStatus::Fail, u"The folder chosen is not in the file system");
    FolderChoice choice;
    choice.folder = com::fromWide(path);
    // No room for check boxes: the preference decides, and the folder is not opened.
    choice.replaceWithLinks = replaceWithLinks && replaceOffered;
    return choice;
}

std::shared_ptr<ProgressWindow> ShowProgressWindow(const std::u16string& title) {
    com::ComPtr<IProgressDialog> dialog;
    Check(CoCreateInstance(kProgressDialog, nullptr, CLSCTX_INPROC_SERVER, kIProgressDialog,
                           dialog.putVoid()),
          u"The progress window cannot be made");
    (void)dialog->SetTitle(com::wide(title));
    Check(dialog->StartProgressDialog(GetForegroundWindow(), nullptr, PROGDLG_NORMAL | PROGDLG_MODAL, nullptr),
          u"The progress window cannot be shown");
    return std::make_shared<ShellProgress>(std::move(dialog));
}

}  // namespace addin::win
