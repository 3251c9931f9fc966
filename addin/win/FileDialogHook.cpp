#include "addin/win/FileDialogHook.h"

#include <commctrl.h>
#include <commdlg.h>

#include <string>
#include <vector>

#include "addin/core/FileNameMangler.h"
#include "addin/core/PathNames.h"
#include "com/Guard.h"
#include "com/Strings.h"

namespace addin::win {

namespace FileDialogHook {
namespace {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "Windows wide characters are UTF-16 code units");

void ReadCheckBox(HWND childDialog, int id, bool& state) {
    state = SendDlgItemMessageW(childDialog, id, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

// The folder the dialog shows, without a trailing backslash (except a drive root); empty when it
// has no file-system path.
std::u16string FolderShown(HWND saveDialog) {
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        const LRESULT result = SendMessageW(saveDialog, CDM_GETFOLDERPATH, buffer.size(),
                                            reinterpret_cast<LPARAM>(buffer.data()));
        if (result <= 0) return {};
        // The result counts the terminating NUL; a deeper folder than the buffer asks for more.
        const auto length = static_cast<std::size_t>(result) - 1;
        if (length < buffer.size()) return std::u16string(buffer.data(), buffer.data() + length);
        buffer.resize(length + 1);
    }
}

std::u16string WindowText(HWND window) {
    const LRESULT length = SendMessageW(window, WM_GETTEXTLENGTH, 0, 0);
    if (length <= 0) return {};
    std::vector<wchar_t> buffer(static_cast<std::size_t>(length) + 1);
    const LRESULT copied = SendMessageW(window, WM_GETTEXT, buffer.size(), reinterpret_cast<LPARAM>(buffer.data()));
    if (copied <= 0) return {};
    return std::u16string(buffer.data(), buffer.data() + copied);
}

}  // namespace

void FitStartingName(HWND saveDialog) {
    const HWND box = GetDlgItem(saveDialog, FileNameBoxId);
    if (!box) return;
    const std::u16string text = WindowText(box);
    const std::u16string fitted = PathNames::FitFileName(text, FolderShown(saveDialog));
    if (fitted != text)
        SendMessageW(saveDialog, CDM_SETCONTROLTEXT, FileNameBoxId, reinterpret_cast<LPARAM>(fitted.c_str()));
}

DialogState* StateOf(HWND childDialog) noexcept {
    return childDialog ? static_cast<DialogState*>(GetPropW(childDialog, StateProperty)) : nullptr;
}

void RefreshNameSuggestions(HWND saveDialog, FileNameMangler* mangler) {
    const std::u16string folder = FolderShown(saveDialog);
    const HWND box = GetDlgItem(saveDialog, FileNameBoxId);
    if (!box) return;
    const std::u16string text = WindowText(box);
    if (text.empty() || !mangler) return;

    // Asked before the list is emptied, so a failing mangler leaves the list as it was.
    const std::vector<std::u16string> names = mangler->GetFileNameMangling(text, folder);

    // Wine answers 1 here where Windows documents 0: the result tells nothing.
    SendMessageW(box, CB_RESETCONTENT, 0, 0);
    for (const std::u16string& name : names) {
        COMBOBOXEXITEMW item{};
        item.mask = CBEIF_TEXT;
        item.iItem = -1;  // append
        item.pszText = const_cast<wchar_t*>(com::wide(name));
        SendMessageW(box, CBEM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
    }
}

UINT_PTR CALLBACK SaveDialogHookProc(HWND childDialog, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    // On i686 an exception crossing the dialog's frames ends the host: contain everything here.
    return com::guardOr<UINT_PTR>(0, [&]() -> UINT_PTR {
        if (message == WM_INITDIALOG) {
            const auto* dialog = reinterpret_cast<const OPENFILENAMEW*>(lParam);
            auto* state = dialog ? reinterpret_cast<DialogState*>(dialog->lCustData) : nullptr;
            if (state) SetPropW(childDialog, StateProperty, state);
        }
        DialogState* const state = StateOf(childDialog);
        switch (message) {
        case WM_INITDIALOG:
            if (state) {
                if (!state->replaceOffered) {
                    state->replaceWithLinkChecked = false;
                    EnableWindow(GetDlgItem(childDialog, ReplaceWithLinkId), FALSE);
                }
                SendDlgItemMessageW(childDialog, ReplaceWithLinkId, BM_SETCHECK,
                                    state->replaceWithLinkChecked ? BST_CHECKED : BST_UNCHECKED, 0);
            }
            break;
        case WM_DESTROY:
            RemovePropW(childDialog, StateProperty);
            break;
        case WM_COMMAND:
            if (!state) break;
            // Exactly the id with notification code 0: a click, which changed the box.
            if (wParam == ReplaceWithLinkId) ReadCheckBox(childDialog, ReplaceWithLinkId, state->replaceWithLinkChecked);
            if (wParam == OpenAfterSavingId) ReadCheckBox(childDialog, OpenAfterSavingId, state->openAfterSavingChecked);
            break;
        case WM_NOTIFY: {
            const auto* header = reinterpret_cast<const NMHDR*>(lParam);
            const HWND saveDialog = header ? GetParent(childDialog) : nullptr;
            if (!saveDialog) break;
            if (header->code == static_cast<UINT>(CDN_INITDONE)) FitStartingName(saveDialog);
            if (header->code == static_cast<UINT>(CDN_SELCHANGE))
                RefreshNameSuggestions(saveDialog, state ? state->mangler : nullptr);
            break;
        }
        default:
            break;
        }
        return 0;
    });
}

}  // namespace FileDialogHook

}  // namespace addin::win
