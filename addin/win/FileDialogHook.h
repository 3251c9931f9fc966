#pragma once
// The hook of the Save As dialog and the state it shares with FileDialogManager while a dialog is
// open: the option check boxes and the file-name drop-down filled with suggested names. The state
// belongs to the dialog: handed in through lCustData, kept on the hook's window as a property.
#include <windows.h>

#include <atomic>

#include "addin/win/resource.h"

namespace addin {
class FileNameMangler;
}

namespace addin::win {

namespace FileDialogHook {

/// Id of the "Replace with shortcut" check box in the child dialog (template 105).
inline constexpr int ReplaceWithLinkId = IDC_REPLACE_WITH_LINK;
/// Id of the "Open after saving" check box in the child dialog.
inline constexpr int OpenAfterSavingId = IDC_OPEN_AFTER_SAVING;
/// Id of the Save As dialog's file-name box (a ComboBoxEx32).
inline constexpr int FileNameBoxId = 1148;

/// What one Save As dialog shares with its hook; GetSaveAsPath owns it for the dialog's lifetime.
struct DialogState {
    /// The suggestion source lent for the duration of the dialog.
    FileNameMangler* mangler = nullptr;
    /// Current state of "Replace with shortcut": set before the dialog opens, updated at every click.
    bool replaceWithLinkChecked = false;
    /// Current state of "Open after saving", likewise.
    bool openAfterSavingChecked = false;
    /// False when the host keeps no shortcuts: "Replace with shortcut" is shown unticked and disabled.
    bool replaceOffered = true;
};

/// The window property on the hook's child dialog that holds its DialogState.
inline constexpr wchar_t StateProperty[] = L"Tallowby.SaveAsState";

/// The state attached to `childDialog` at WM_INITDIALOG; null before, after WM_DESTROY, or for
/// any other window.
DialogState* StateOf(HWND childDialog) noexcept;

/// True while a Save As dialog of ours is up. One at a time: a second is refused while it is set,
/// as the host's item window is modal to the first. Plain data: the module may be unloaded while
/// the host's threads live on, so nothing process-wide may need a destructor.
inline std::atomic<bool> dialogOpen{false};

/// The hook procedure of the Save As dialog; `childDialog` is the child made from template 105.
/// WM_INITDIALOG attaches the DialogState its OPENFILENAMEW carries in lCustData (removed again at
/// WM_DESTROY) and checks "Replace with shortcut" from it; a click on either box (WM_COMMAND
/// with wParam exactly 1000 or 1001) reads the box into the state; CDN_INITDONE fits the starting
/// name to the folder shown (FitStartingName); CDN_SELCHANGE refreshes the suggestions of the parent
/// dialog. Returns 0 for every message, and no failure leaves it: a
/// failing refresh leaves the drop-down list as it was.
UINT_PTR CALLBACK SaveDialogHookProc(HWND childDialog, UINT message, WPARAM wParam, LPARAM lParam) noexcept;

/// Shortens the name in `saveDialog`'s file-name box (PathNames::FitFileName) so that its full path
/// in the folder the dialog shows stays within the system's path limit; a name that fits, or that
/// cannot be made to, stays as it is.
void FitStartingName(HWND saveDialog);

/// Refills the drop-down list of `saveDialog`'s file-name box with `mangler`'s suggestions for the
/// text in the box and the folder the dialog shows. An empty or missing box, or no mangler, leaves
/// the list unchanged. Throws what the mangler throws (HostError), before touching the list.
void RefreshNameSuggestions(HWND saveDialog, FileNameMangler* mangler);

}  // namespace FileDialogHook

}  // namespace addin::win
