#pragma once
// The Save As dialog for one attachment at a time, extended by the attachment options.
#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "addin/core/Platform.h"
#include "addin/win/resource.h"

namespace addin::win {

/// Resource id (type RT_DIALOG) of the child dialog with the attachment options.
inline constexpr int FileDialogTemplateId = IDD_ATTACHMENT_OPTIONS;

/// Status of the HostError GetSaveAsPath throws while another Save As dialog of the process is open.
inline constexpr int32_t FileDialogBusyStatus = static_cast<int32_t>(0x800700AAu);  // ERROR_BUSY

/// The system's Save As dialog (GetSaveFileNameW, Explorer style) with the child dialog of template
/// 105 and FileDialogHook as its hook. Remembers the folder of the last confirmed path for the next
/// dialog. One dialog per process at a time (FileDialogHook::dialogOpen); each dialog's state reaches
/// its hook through lCustData and is kept on its window.
class FileDialogManager final : public SaveAsPrompt {
public:
    /// Copies dialog template 105 out of `resources` (the add-in's module). Throws HostError when
    /// the module has no such template.
    explicit FileDialogManager(HMODULE resources);

    /// Shows the modal dialog owned by the foreground window, starting with the safe form of
    /// `fileName` (PathNames::SafeFileName), shortened to fit the folder the dialog opens in, in the
    /// folder last confirmed. Returns the confirmed path, or empty on cancel or a
    /// failing dialog, and the final states of the two boxes (written back also on cancel). Throws
    /// HostError with FileDialogBusyStatus while another Save As dialog of the process is open.
    std::u16string GetSaveAsPath(const std::u16string& fileName, FileNameMangler& mangler, int16_t ordinal,
                                 int16_t saveableCount, bool& replaceWithLink, bool& openAfterSaving) override;
    void SetReplaceOffered(bool offered) override { replaceOffered_ = offered; }

    /// The folder of the last confirmed path, with its trailing backslash, or the one remembered
    /// since; empty before either.
    std::u16string LastFolder() const override { return lastFolder_; }
    void RememberFolder(const std::u16string& folder) override { lastFolder_ = folder; }
    /// The raw bytes of the template in use.
    const std::vector<std::byte>& DialogTemplate() const noexcept { return dialogTemplate_; }

    /// "Save attachment", or "Save attachment (n/m)" when there is not exactly one attachment.
    static std::u16string Title(int16_t ordinal, int16_t saveableCount);
    /// Characters of the file buffer: the longest path the system accepts, and its NUL.
    static constexpr std::size_t FileBufferLength = 32767 + 1;

private:
    std::vector<std::byte> dialogTemplate_;
    std::u16string lastFolder_;
    bool replaceOffered_ = true;
};

}  // namespace addin::win
