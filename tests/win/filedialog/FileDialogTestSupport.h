#pragma once
// Shared by the Save As dialog tests: a temporary folder with files, and the platform the name
// mangler sees (the real existence test and dates, a switch to make the existence test fail).
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>

#include "base/HostError.h"
#include "core/Platform.h"
#include "tests/support/StrictPlatform.h"
#include "win/WinServices.h"

namespace filedialog_tests {

inline std::wstring Wide(const std::u16string& s) { return std::wstring(s.begin(), s.end()); }
inline std::u16string U16(const std::wstring& s) { return std::u16string(s.begin(), s.end()); }

/// A fresh folder under the temporary folder, removed with its files and subfolders at the end.
class TempFolder {
public:
    TempFolder() {
        wchar_t temp[MAX_PATH];
        const DWORD n = GetTempPathW(MAX_PATH, temp);
        wchar_t longTemp[MAX_PATH];
        const DWORD m = GetLongPathNameW(std::wstring(temp, n).c_str(), longTemp, MAX_PATH);
        parent_ = m > 0 && m < MAX_PATH ? std::wstring(longTemp, m) : std::wstring(temp, n);
        // Process ids come back soon under Wine: take the first free name.
        for (int i = 1; i < 1000; ++i) {
            path_ = parent_ + L"tallowby-fd-" + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(i);
            if (CreateDirectoryW(path_.c_str(), nullptr)) return;
            if (GetLastError() != ERROR_ALREADY_EXISTS) break;
        }
        ADD_FAILURE() << "cannot create the temporary folder, error " << GetLastError();
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    ~TempFolder() {
        // A confirmed Save As dialog makes its folder the current one, which cannot be removed.
        SetCurrentDirectoryW(parent_.c_str());
        Remove(path_);
    }

    /// The folder as the Save As dialog reports it: no trailing backslash.
    std::u16string Path() const { return U16(path_); }
    std::u16string Child(const std::u16string& name) const { return Path() + u"\\" + name; }
    void AddFile(const std::u16string& name) const {
        const HANDLE file = CreateFileW(Wide(Child(name)).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                        FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE) << "cannot create a file, error " << GetLastError();
        CloseHandle(file);
    }
    void AddFolder(const std::u16string& name) const {
        ASSERT_TRUE(CreateDirectoryW(Wide(Child(name)).c_str(), nullptr)) << "error " << GetLastError();
    }

private:
    static void Remove(const std::wstring& folder) {
        WIN32_FIND_DATAW found;
        const HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &found);
        if (find != INVALID_HANDLE_VALUE) {
            do {
                const std::wstring name = found.cFileName;
                if (name == L"." || name == L"..") continue;
                if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                    Remove(folder + L"\\" + name);
                } else {
                    DeleteFileW((folder + L"\\" + name).c_str());
                }
            } while (FindNextFileW(find, &found));
            FindClose(find);
        }
        RemoveDirectoryW(folder.c_str());
    }

    std::wstring parent_;
    std::wstring path_;
};

/// The services the name mangler uses, real; `failing` makes the folder's calls throw. Any other
/// service is counted in `unexpectedCalls` (the mangler runs on the dialog's thread, where a test
/// assertion is not safe), for the test to check on its own thread.
class FilePlatform : public StrictPlatform {
public:
    std::atomic<bool> failing{false};
    std::atomic<int> unexpectedCalls{0};

    int32_t FileExists(const std::u16string& path) override {
        if (failing) throw HostError(HostStatus::Fail, u"injected failure of the existence test");
        return winsvc::FileExists(path);
    }
    std::optional<std::vector<std::u16string>> ListFolder(const std::u16string& folder, const std::u16string& prefix,
                                                          bool withAliases) override {
        if (failing) throw HostError(HostStatus::Fail, u"injected failure of the folder's listing");
        return winsvc::ListFolder(folder, prefix, withAliases, winsvc::RunningFindOptions());
    }
    bool IsOnNetwork(const std::u16string& folder) override { return winsvc::IsOnNetwork(folder); }
    std::u16string FileSystemUpperCase(const std::u16string& name) override { return winsvc::FileSystemUpperCase(name); }
    std::u16string FormatDate(const host::DateTime& value, const std::u16string& pattern) override {
        return winsvc::FormatDate(value, pattern);
    }

protected:
    void Unexpected(const char*) noexcept override { ++unexpectedCalls; }
};

}  // namespace filedialog_tests
