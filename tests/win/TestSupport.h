#pragma once
// Helpers shared by the Windows tests: the apartment, a counting object, registry look-ups, a
// temporary folder.
#include <windows.h>
#include <objbase.h>

#include <gtest/gtest.h>

#include <atomic>
#include <optional>
#include <string>

#include "com/ComPtr.h"

namespace testing_support {

/// Forgets the folder each program's Save As dialog last confirmed, which the system (and Wine)
/// opens next when a dialog is given no folder, so a test's first dialog opens in the current folder
/// whatever ran in the prefix before.
inline void forgetLastSaveAsFolders() {
    (void)RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\ComDlg32\\LastVisitedMRU");
}

/// Removes `folder` with everything in it, read-only files too (which DeleteFileW refuses, and so
/// std::filesystem::remove_all).
inline void removeTree(const std::wstring& folder) {
    WIN32_FIND_DATAW found;
    const HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = found.cFileName;
            if (name == L"." || name == L"..") continue;
            const std::wstring child = folder + L"\\" + name;
            SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                removeTree(child);
            } else {
                DeleteFileW(child.c_str());
            }
        } while (FindNextFileW(find, &found));
        FindClose(find);
    }
    RemoveDirectoryW(folder.c_str());
}

/// A fresh folder under the temporary folder (in its long form, as the Save As dialog reports it),
/// removed with its files and subfolders at the end. Named by the process id and a counter: no two
/// made by one process share a name, however fast they come, and a folder an earlier process of the
/// same id left behind is passed over (process ids come back soon under Wine).
class TempFolder {
public:
    TempFolder() {
        wchar_t temp[MAX_PATH];
        const DWORD n = GetTempPathW(MAX_PATH, temp);
        wchar_t longTemp[MAX_PATH];
        const DWORD m = GetLongPathNameW(std::wstring(temp, n).c_str(), longTemp, MAX_PATH);
        parent_ = m > 0 && m < MAX_PATH ? std::wstring(longTemp, m) : std::wstring(temp, n);
        static std::atomic<unsigned> made{0};
        for (int attempt = 0; attempt < 1000; ++attempt) {
            path_ = parent_ + L"tallowby-" + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(++made);
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
        removeTree(path_);
    }

    /// The folder with no trailing backslash, as the Save As dialog reports it.
    std::u16string Path() const { return std::u16string(path_.begin(), path_.end()); }
    std::u16string Child(const std::u16string& name) const { return Path() + u"\\" + name; }
    void AddFile(const std::u16string& name) const {
        const std::u16string child = Child(name);
        const std::wstring path(child.begin(), child.end());
        const HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE) << "cannot create a file, error " << GetLastError();
        CloseHandle(file);
    }
    void AddFolder(const std::u16string& name) const {
        const std::u16string child = Child(name);
        ASSERT_TRUE(CreateDirectoryW(std::wstring(child.begin(), child.end()).c_str(), nullptr)) << "error " << GetLastError();
    }

private:
    std::wstring parent_;
    std::wstring path_;
};

/// One single-threaded apartment for the duration of a test.
struct Apartment {
    Apartment() { hr = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED); }
    ~Apartment() {
        if (SUCCEEDED(hr)) CoUninitialize();
    }
    Apartment(const Apartment&) = delete;
    Apartment& operator=(const Apartment&) = delete;
    HRESULT hr;
};

/// The in-process object registered for `progId`, as IDispatch; empty, with the test failed, when
/// it cannot be made.
inline com::ComPtr<IDispatch> createRegistered(const wchar_t* progId) {
    CLSID clsid{};
    EXPECT_EQ(CLSIDFromProgID(progId, &clsid), S_OK);
    com::ComPtr<IDispatch> object;
    EXPECT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, object.putVoid()), S_OK);
    return object;
}

/// An IUnknown that only counts: never deleted by Release, so a test can read the count at the end.
class CountingUnknown : public IUnknown {
public:
    STDMETHODIMP QueryInterface(REFIID iid, void** out) noexcept override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (iid != IID_IUnknown) return E_NOINTERFACE;
        *out = this;
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() noexcept override { return ++refs; }
    STDMETHODIMP_(ULONG) Release() noexcept override { return --refs; }
    ULONG refs = 1;
};

inline std::wstring guidText(const GUID& guid) {
    wchar_t text[40] = {};
    StringFromGUID2(guid, text, 40);
    return text;
}

inline GUID newGuid() {
    GUID g{};
    EXPECT_EQ(CoCreateGuid(&g), S_OK);
    return g;
}

inline bool keyExists(HKEY root, const std::wstring& path) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

/// A REG_SZ value, or nothing when the key or value is missing or of another type.
inline std::optional<std::wstring> stringValue(HKEY root, const std::wstring& path, const wchar_t* name) {
    wchar_t buffer[1024];
    DWORD size = sizeof buffer;
    DWORD type = 0;
    if (RegGetValueW(root, path.c_str(), name, RRF_RT_ANY, &type, buffer, &size) != ERROR_SUCCESS) return std::nullopt;
    if (type != REG_SZ) return std::nullopt;
    return std::wstring(buffer);
}

inline std::optional<DWORD> dwordValue(HKEY root, const std::wstring& path, const wchar_t* name) {
    DWORD value = 0;
    DWORD size = sizeof value;
    DWORD type = 0;
    if (RegGetValueW(root, path.c_str(), name, RRF_RT_ANY, &type, &value, &size) != ERROR_SUCCESS) return std::nullopt;
    if (type != REG_DWORD) return std::nullopt;
    return value;
}

}  // namespace testing_support
