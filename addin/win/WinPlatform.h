#pragma once
// The core's platform services on Windows: settings in the registry, message boxes, the shell,
// processes, files, dates, and pictures from the add-in's own bitmap resources.
#include <windows.h>

#include "addin/core/Platform.h"

namespace addin::win {

/// Where the automation runtime keeps per-user settings: under HKEY_CURRENT_USER.
inline constexpr wchar_t SettingsRoot[] = L"Software\\VB and VBA Program Settings";

/// Platform over Win32. Stateless: one instance serves every object of the module.
class WinPlatform final : public Platform {
public:
    /// Pictures and the Save As dialog's template come from `resources` (the add-in's DLL).
    explicit WinPlatform(HMODULE resources) noexcept : resources_(resources) {}

    /// A modal MessageBoxW owned by the thread's active window; `flags` are the system's own.
    int32_t ShowMessageBox(const std::u16string& text, const std::u16string& title, int32_t flags) override;
    /// ShellExecuteW "Open", owned by the desktop window, SW_SHOWNORMAL.
    int32_t OpenWithShell(const std::u16string& path) override;
    /// CreateProcessW with a normal, focused window; the handles are closed at once.
    void StartProcess(const std::u16string& commandLine) override;
    int32_t FileExists(const std::u16string& path) override;
    /// addin::win::ListFolder with the options of the running Windows.
    std::optional<std::vector<std::u16string>> ListFolder(const std::u16string& folder, const std::u16string& prefix,
                                                          bool withAliases) override;
    /// addin::win::ListFolderEntries, addin::win::FileSize, addin::win::FilesEqual.
    std::optional<std::vector<FolderEntry>> ListFolderEntries(const std::u16string& folder) override;
    std::optional<uint64_t> FileSize(const std::u16string& path) override;
    bool FilesEqual(const std::u16string& a, const std::u16string& b) override;
    base::Sha256Digest FileSha256(const std::u16string& path) override;
    bool IsOnNetwork(const std::u16string& folder) override;
    std::u16string FileSystemUpperCase(const std::u16string& name) override;
    /// The "Zone.Identifier" stream with ZoneId=3 where the volume keeps named streams
    /// (addin::win::MarkAsFromInternet, addin::win::KeepsNamedStreams).
    bool MarkAsFromInternet(const std::u16string& path) noexcept override;
    /// addin::win::TemporaryPathFor, addin::win::PutInPlace, addin::win::PlaceAsNewFile, addin::win::RemoveFile.
    std::optional<std::u16string> TemporaryPathFor(const std::u16string& target) override;
    void PutInPlace(const std::u16string& file, const std::u16string& target) override;
    bool PlaceAsNewFile(const std::u16string& file, const std::u16string& target) override;
    bool RemoveFile(const std::u16string& path) noexcept override;

    /// REG_SZ value `key` of HKCU\<SettingsRoot>\<appName>\<section>. A value of another type, or
    /// one that cannot be read as text, is HostStatus::TypeMismatch.
    std::u16string GetSetting(const std::u16string& appName, const std::u16string& section, const std::u16string& key,
                              const std::u16string& defaultValue) override;
    void SaveSetting(const std::u16string& appName, const std::u16string& section, const std::u16string& key,
                     const std::u16string& value) override;

    std::u16string FormatDate(const host::DateTime& value, const std::u16string& pattern) override;
    /// LoadImageW of bitmap `resourceId` as a DIB section, owned by an OLE picture (IPictureDisp).
    std::shared_ptr<host::Picture> LoadPicture(int16_t resourceId) override;
    /// A FileDialogManager with dialog 105 of `resources`; HostError when the module has none.
    std::shared_ptr<SaveAsPrompt> CreateSaveAsPrompt() override;
    /// A FolderDialog: the common item dialog, or the Windows 2000 folder browser.
    std::shared_ptr<FolderPrompt> CreateFolderPrompt() override;
    /// The shell's progress window (ShowProgressWindow).
    std::shared_ptr<ProgressWindow> ShowProgress(const std::u16string& title) override;
    /// The performance counter in milliseconds.
    int64_t Milliseconds() noexcept override;
    /// RegOpenKeyExW and RegQueryValueExW in the process's own registry view.
    PolicyValue ReadPolicyValue(PolicyHive hive, const std::u16string& key, const std::u16string& name) override;

private:
    HMODULE resources_;
    // Whether the folder last marked in keeps named streams, and when that was asked: a command
    // that writes many files into one folder asks the volume once, not for each file.
    std::u16string streamsFolder_;
    bool streamsKept_ = false;
    int64_t streamsAsked_ = 0;
};

}  // namespace addin::win
