#pragma once
// The folder dialog of "Save All Attachments", and the progress window of a long run.
#include <windows.h>

#include <memory>
#include <optional>
#include <string>

#include "addin/core/Platform.h"

namespace addin::win {

/// Ids of the check boxes the common item dialog carries (IFileDialogCustomize).
inline constexpr DWORD FolderReplaceBoxId = 1001;
inline constexpr DWORD FolderOpenBoxId = 1002;
/// Their captions, as the robot of the stand-in host finds them.
inline constexpr wchar_t FolderReplaceCaption[] = L"Replace with shortcuts";
inline constexpr wchar_t FolderOpenCaption[] = L"Open the folder after saving";

/// The system's folder dialog, owned by the foreground window: the common item dialog
/// (IFileOpenDialog with FOS_PICKFOLDERS, Windows Vista and later) with the two check boxes, or,
/// where the system has no such class, the folder browser of Windows 2000 (SHBrowseForFolderW,
/// found at run time so that the DLL still loads there), where the preference decides.
class FolderDialog final : public FolderPrompt {
public:
    std::optional<FolderChoice> PickFolder(const std::u16string& title, const std::u16string& startFolder,
                                           bool replaceWithLinks, bool replaceOffered) override;

private:
    /// Nothing in `shown` when the system has no common item dialog.
    std::optional<FolderChoice> PickWithItemDialog(const std::u16string& title, const std::u16string& startFolder,
                                                   bool replaceWithLinks, bool replaceOffered, bool& shown);
    std::optional<FolderChoice> PickWithBrowser(const std::u16string& title, const std::u16string& startFolder,
                                                bool replaceWithLinks, bool replaceOffered);
};

/// The system's progress window (IProgressDialog, Windows 2000 and later), modal to the
/// foreground window, with Cancel. Throws HostError when the system cannot make one.
std::shared_ptr<ProgressWindow> ShowProgressWindow(const std::u16string& title);

}  // namespace addin::win
