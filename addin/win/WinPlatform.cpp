#include "addin/win/WinPlatform.h"

#include <ole2.h>
#include <olectl.h>
#include <shellapi.h>

#include <string>

#include "addin/win/FileDialogManager.h"
#include "addin/win/FolderDialog.h"
#include "addin/win/HostAdapters.h"
#include "addin/win/WinServices.h"
#include "base/HostError.h"
#include "base/Tolerate.h"
#include "com/ComPtr.h"
#include "com/Handles.h"
#include "com/Strings.h"
#include "com/Win32Error.h"

namespace addin::win {
namespace {

std::wstring SettingsKey(const std::u16string& appName, const std::u16string& section) {
    return std::wstring(SettingsRoot) + L"\\" + com::toWide(appName) + L"\\" + com::toWide(section);
}

}  // namespace

int32_t WinPlatform::ShowMessageBox(const std::u16string& text, const std::u16string& title, int32_t flags) {
    const int answer = MessageBoxW(GetActiveWindow(), com::wide(text), com::wide(title), static_cast<UINT>(flags));
    if (answer == 0) com::throwLastError(u"The message box cannot be shown");
    return answer;
}

int32_t WinPlatform::OpenWithShell(const std::u16string& path) {
    const HINSTANCE result = ShellExecuteW(GetDesktopWindow(), L"Open", com::wide(path), nullptr, nullptr, SW_SHOWNORMAL);
    return static_cast<int32_t>(reinterpret_cast<INT_PTR>(result));
}

void WinPlatform::StartProcess(const std::u16string& commandLine) {
    std::wstring line = com::toWide(commandLine);  // CreateProcessW may write to it
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOWNORMAL;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        com::throwLastError(u"File not found");
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
}

int32_t WinPlatform::FileExists(const std::u16string& path) { return addin::win::FileExists(path); }

std::optional<std::vector<std::u16string>> WinPlatform::ListFolder(const std::u16string& folder,
                                                                   const std::u16string& prefix, bool withAliases) {
    return addin::win::ListFolder(folder, prefix, withAliases, addin::win::RunningFindOptions());
}

std::optional<std::vector<FolderEntry>> WinPlatform::ListFolderEntries(const std::u16string& folder) {
    return addin::win::ListFolderEntries(folder, addin::win::RunningFindOptions());
}

std::optional<uint64_t> WinPlatform::FileSize(const std::u16string& path) { return addin::win::FileSize(path); }

bool WinPlatform::FilesEqual(const std::u16string& a, const std::u16string& b) { return addin::win::FilesEqual(a, b); }
base::Sha256Digest WinPlatform::FileSha256(const std::u16string& path) { return addin::win::FileSha256(path); }

bool WinPlatform::IsOnNetwork(const std::u16string& folder) { return addin::win::IsOnNetwork(folder); }

std::u16string WinPlatform::FileSystemUpperCase(const std::u16string& name) { return addin::win::FileSystemUpperCase(name); }

bool WinPlatform::MarkAsFromInternet(const std::u16string& path) noexcept {
    // Asked again after a while: the folder may by then be on another volume (a drive letter
    // given to another disk).
    constexpr int64_t kFresh = 2000;
    bool asked = false;
    base::TolerateAll([&] {
        const std::u16string folder = path.substr(0, path.find_last_of(u"\\/") + 1);
        const int64_t now = Milliseconds();
        if (folder.empty() || folder != streamsFolder_ || now - streamsAsked_ > kFresh || now < streamsAsked_) {
            streamsKept_ = addin::win::KeepsNamedStreams(path);
            streamsFolder_ = folder;
            streamsAsked_ = now;
        }
        asked = true;
    });
    // Without memory to remember the folder, the volume is asked for this file alone.
    return addin::win::MarkAsFromInternet(path, asked ? streamsKept_ : addin::win::KeepsNamedStreams(path));
}

std::optional<std::u16string> WinPlatform::TemporaryPathFor(const std::u16string& target) {
    return addin::win::TemporaryPathFor(target);
}

void WinPlatform::PutInPlace(const std::u16string& file, const std::u16string& target) {
    addin::win::PutInPlace(file, target);
}

bool WinPlatform::PlaceAsNewFile(const std::u16string& file, const std::u16string& target) {
    return addin::win::PlaceAsNewFile(file, target);
}

bool WinPlatform::RemoveFile(const std::u16string& path) noexcept { return addin::win::RemoveFile(path); }

std::u16string WinPlatform::GetSetting(const std::u16string& appName, const std::u16string& section,
                                       const std::u16string& key, const std::u16string& defaultValue) {
    com::RegKey handle;
    LSTATUS status = RegOpenKeyExW(HKEY_CURRENT_USER, SettingsKey(appName, section).c_str(), 0, KEY_QUERY_VALUE,
                                   handle.put());
    if (status == ERROR_FILE_NOT_FOUND) return defaultValue;
    if (status != ERROR_SUCCESS) com::throwWin32(static_cast<DWORD>(status), u"The setting cannot be read");

    const std::wstring name = com::toWide(key);
    DWORD type = 0;
    DWORD size = 0;
    status = RegQueryValueExW(handle.get(), name.c_str(), nullptr, &type, nullptr, &size);
    if (status == ERROR_FILE_NOT_FOUND) return defaultValue;
    if (status != ERROR_SUCCESS) com::throwWin32(static_cast<DWORD>(status), u"The setting cannot be read");
    if (type != REG_SZ || size % sizeof(wchar_t) != 0) throw HostError(HostStatus::TypeMismatch, u"Type mismatch");

    std::wstring text(size / sizeof(wchar_t), L'\0');
    status = RegQueryValueExW(handle.get(), name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(text.data()), &size);
    if (status != ERROR_SUCCESS) com::throwWin32(static_cast<DWORD>(status), u"The setting cannot be read");
    if (type != REG_SZ) throw HostError(HostStatus::TypeMismatch, u"Type mismatch");
    // The stored text may or may not carry its terminating NUL; it ends at the first one.
    text.resize(size / sizeof(wchar_t));
    if (const auto end = text.find(L'\0'); end != std::wstring::npos) text.resize(end);
    return com::fromWide(text);
}

void WinPlatform::SaveSetting(const std::u16string& appName, const std::u16string& section, const std::u16string& key,
                              const std::u16string& value) {
    com::RegKey handle;
    LSTATUS status = RegCreateKeyExW(HKEY_CURRENT_USER, SettingsKey(appName, section).c_str(), 0, nullptr,
                                     REG_OPTION_NON_VOLATILE, KEY_SET_VALUE, nullptr, handle.put(), nullptr);
    if (status != ERROR_SUCCESS) com::throwWin32(static_cast<DWORD>(status), u"The setting cannot be written");
    const std::wstring data = com::toWide(value);
    status = RegSetValueExW(handle.get(), com::toWide(key).c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                            static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t)));
    if (status != ERROR_SUCCESS) com::throwWin32(static_cast<DWORD>(status), u"The setting cannot be written");
}

Platform::PolicyValue WinPlatform::ReadPolicyValue(PolicyHive hive, const std::u16string& key,
                                                   const std::u16string& name) {
    com::RegKey handle;
    LSTATUS status = RegOpenKeyExW(hive == PolicyHive::Machine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER,
                                   com::toWide(key).c_str(), 0, KEY_QUERY_VALUE, handle.put());
    if (status == ERROR_FILE_NOT_FOUND) return {};
    if (status != ERROR_SUCCESS) com::throwWin32(static_cast<DWORD>(status), u"The policy key cannot be read");
    DWORD type = 0;
    DWORD data = 0;
    DWORD size = sizeof(data);
    status = RegQueryValueExW(handle.get(), com::toWide(name).c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&data),
                              &size);
    if (status == ERROR_FILE_NOT_FOUND) return {};
    // A value too large for a DWORD is of another type whatever it claims.
    if (status == ERROR_MORE_DATA) return {PolicyValue::Kind::OtherType, 0};
    if (status != ERROR_SUCCESS) com::throwWin32(static_cast<DWORD>(status), u"The policy cannot be read");
    if (type != REG_DWORD || size != sizeof(data)) return {PolicyValue::Kind::OtherType, 0};
    return {PolicyValue::Kind::Dword, data};
}

std::u16string WinPlatform::FormatDate(const host::DateTime& value, const std::u16string& pattern) {
    return addin::win::FormatDate(value, pattern);
}

std::shared_ptr<host::Picture> WinPlatform::LoadPicture(int16_t resourceId) {
    com::GdiObject<HBITMAP> bitmap(static_cast<HBITMAP>(
        LoadImageW(resources_, MAKEINTRESOURCEW(static_cast<WORD>(resourceId)), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));
    if (!bitmap) com::throwLastError(u"Resource with this identifier not found");

    PICTDESC description{};
    description.cbSizeofstruct = sizeof description;
    description.picType = PICTYPE_BITMAP;
    description.bmp.hbitmap = bitmap.get();
    com::ComPtr<IDispatch> picture;
    // The picture owns the bitmap from here on (fOwn TRUE): it deletes it when released.
    const HRESULT hr = OleCreatePictureIndirect(&description, IID_IPictureDisp, TRUE, picture.putVoid());
    if (FAILED(hr)) throw HostError(hr, u"The picture cannot be made");
    (void)bitmap.release();
    return std::make_shared<addin::win::Picture>(std::move(picture));
}

std::shared_ptr<SaveAsPrompt> WinPlatform::CreateSaveAsPrompt() {
    return std::make_shared<FileDialogManager>(resources_);
}

std::shared_ptr<FolderPrompt> WinPlatform::CreateFolderPrompt() { return std::make_shared<FolderDialog>(); }

std::shared_ptr<ProgressWindow> WinPlatform::ShowProgress(const std::u16string& title) {
    return ShowProgressWindow(title);
}

int64_t WinPlatform::Milliseconds() noexcept {
    LARGE_INTEGER frequency{};
    LARGE_INTEGER count{};
    // Every system since Windows 2000 has the counter; without one the run never shows progress.
    if (!QueryPerformanceFrequency(&frequency) || frequency.QuadPart == 0 || !QueryPerformanceCounter(&count)) return 0;
    return count.QuadPart / (frequency.QuadPart / 1000 ? frequency.QuadPart / 1000 : 1);
}

}  // namespace addin::win
