#pragma once
// Helpers shared by the Windows tests: the apartment, a counting object, registry look-ups.
#include <windows.h>
#include <objbase.h>

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace testing_support {

/// Forgets the folder each program's Save As dialog last confirmed, which the system (and Wine)
/// opens next when a dialog is given no folder, so a test's first dialog opens in the current folder
/// whatever ran in the prefix before.
inline void forgetLastSaveAsFolders() {
    (void)RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\ComDlg32\\LastVisitedMRU");
}

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
