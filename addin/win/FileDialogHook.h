#pragma once
// The hook of the Save As dialog and the state it shares with FileDialogManager while a dialog is
// open: the option check boxes and the file-name drop-down filled with suggested names.
#include <windows.h>

#include <atomic>

class FileNameMangler;

namespace FileDialogHook {

/// Id of the "Replace with shortcut" check box in the child dialog (template 105).
inline constexpr int ReplaceWithLinkId = 1000;
/// Id of the "Open after saving" check box in the child dialog.
inline constexpr int OpenAfterSavingId = 1001;
/// Id of the Save As dialog's file-name box (a ComboBoxEx32).
inline constexpr int FileNameBoxId = 1148;

// The state of the one Save As dialog of the process. Plain data only: the module may be unloaded
// while the host's threads live on, so nothing here may need a destructor.

/// The suggestion source lent by GetSaveAsPath for the duration of the dialog; null otherwise.
inline FileNameMangler* activeMangler = nullptr;
/// Current state of "Replace with shortcut": set before the dialog opens, updated at every click.
inline bool replaceWithLinkChecked = false;
/// Current state of "Open after saving", likewise.
inline bool openAfterSavingChecked = false;
/// True while a dialog owns the state above; a second dialog is refused while it is set.
inline std::atomic<bool> dialogOpen{false};

/// The hook procedure of the Save As dialog; `childDialog` is the child made from template 105.
/// WM_INITDIALOG checks "Replace with shortcut" from the state; a click on either box (WM_COMMAND
/// with wParam exactly 1000 or 1001) reads the box into the state; CDN_INITDONE fits the starting
/// name to the folder shown (FitStartingName); CDN_SELCHANGE refreshes the suggestions of the parent
/// dialog. Returns 0 for every message, and no failure leaves it: a
/// failing refresh leaves the drop-down list as it was.
UINT_PTR CALLBACK SaveDialogHookProc(HWND childDialog, UINT message, WPARAM wParam, LPARAM lParam) noexcept;

/// Shortens the name in `saveDialog`'s file-name box (PathNames::FitFileName) so that its full path
/// in the folder the dialog shows stays within the system's path limit; a name that fits, or that
/// cannot be made to, stays as it is.
void FitStartingName(HWND saveDialog);

/// Refills the drop-down list of `saveDialog`'s file-name box with activeMangler's suggestions for
/// the text in the box and the folder the dialog shows. An empty or missing box, or no mangler,
/// leaves the list unchanged. Throws what the mangler throws (HostError), before touching the list.
void RefreshNameSuggestions(HWND saveDialog);

}  // namespace FileDialogHook
