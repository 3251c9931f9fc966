#include "com/Registration.h"

#include <oleauto.h>
#include <shlwapi.h>

#include "com/ComPtr.h"
#include "com/Guard.h"
#include "com/Handles.h"

namespace com {
namespace {

HRESULT fromWin32(LSTATUS status) noexcept { return HRESULT_FROM_WIN32(static_cast<unsigned long>(status)); }

HRESULT setValue(HKEY key, const RegValue& value) noexcept {
    const wchar_t* name = value.name.empty() ? nullptr : value.name.c_str();
    if (const auto* text = std::get_if<std::wstring>(&value.data)) {
        const auto bytes = static_cast<DWORD>((text->size() + 1) * sizeof(wchar_t));
        return fromWin32(RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text->c_str()), bytes));
    }
    const DWORD number = std::get<DWORD>(value.data);
    return fromWin32(RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), sizeof number));
}

HRESULT writeKey(const RegKeyEntry& entry) noexcept {
    RegKey key;
    const LSTATUS status = RegCreateKeyExW(entry.root, entry.path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                           KEY_WRITE, nullptr, key.put(), nullptr);
    if (status != ERROR_SUCCESS) return fromWin32(status);
    for (const RegValue& value : entry.values) {
        const HRESULT hr = setValue(key.get(), value);
        if (FAILED(hr)) return hr;
    }
    return S_OK;
}

HRESULT removeKey(const RegKeyEntry& entry) noexcept {
    // The key with everything under it, also what others added there.
    const LSTATUS status = static_cast<LSTATUS>(SHDeleteKeyW(entry.root, entry.path.c_str()));
    if (status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND || status == ERROR_PATH_NOT_FOUND) return S_OK;
    return fromWin32(status);
}

SYSKIND systemKind() noexcept { return sizeof(void*) == 8 ? SYS_WIN64 : SYS_WIN32; }

bool typeLibRegistered(const TypeLibInfo& lib) {
    wchar_t version[32];
    wsprintfW(version, L"%x.%x", lib.major, lib.minor);
    const std::wstring path = L"TypeLib\\" + guidString(lib.libid) + L"\\" + version;
    RegKey key;
    return RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, key.put()) == ERROR_SUCCESS;
}

HRESULT registerTypeLib(const std::wstring& modulePath) noexcept {
    ComPtr<ITypeLib> lib;
    const HRESULT hr = LoadTypeLibEx(modulePath.c_str(), REGKIND_NONE, lib.put());
    if (FAILED(hr)) return hr;
    std::wstring path = modulePath;  // RegisterTypeLib takes a non-const string
    return RegisterTypeLib(lib.get(), path.data(), nullptr);
}

HRESULT unregisterTypeLib(const TypeLibInfo& lib) {
    if (!typeLibRegistered(lib)) return S_OK;
    return UnRegisterTypeLib(lib.libid, lib.major, lib.minor, 0, systemKind());
}

}  // namespace

std::wstring guidString(const GUID& guid) {
    wchar_t text[40] = {};
    StringFromGUID2(guid, text, 40);
    return text;
}

std::vector<RegKeyEntry> classKeys(const ClassInfo& cls, const TypeLibInfo& typeLib, const std::wstring& modulePath) {
    const std::wstring clsid = guidString(cls.clsid);
    const std::wstring key = L"CLSID\\" + clsid;
    wchar_t version[32];
    wsprintfW(version, L"%u.%u", typeLib.major, typeLib.minor);
    const HKEY hkcr = HKEY_CLASSES_ROOT;
    return {
        {hkcr, key, {{L"", cls.description}}},
        {hkcr, key + L"\\InprocServer32", {{L"", modulePath}, {L"ThreadingModel", std::wstring(L"Apartment")}}},
        {hkcr, key + L"\\ProgID", {{L"", cls.progId}}},
        {hkcr, key + L"\\TypeLib", {{L"", guidString(typeLib.libid)}}},
        {hkcr, key + L"\\Version", {{L"", std::wstring(version)}}},
        {hkcr, cls.progId, {{L"", cls.description}}},
        {hkcr, cls.progId + L"\\CLSID", {{L"", clsid}}},
    };
}

std::vector<RegKeyEntry> serverKeys(const ServerInfo& server, const std::wstring& modulePath) {
    std::vector<RegKeyEntry> table;
    for (const ClassInfo& cls : server.classes) {
        auto keys = classKeys(cls, server.typeLib, modulePath);
        table.insert(table.end(), keys.begin(), keys.end());
    }
    table.insert(table.end(), server.extraKeys.begin(), server.extraKeys.end());
    return table;
}

HRESULT writeKeys(const std::vector<RegKeyEntry>& table) noexcept {
    for (size_t i = 0; i < table.size(); ++i) {
        const HRESULT hr = writeKey(table[i]);
        if (FAILED(hr)) {
            for (size_t j = i + 1; j-- > 0;) (void)removeKey(table[j]);
            return hr;
        }
    }
    return S_OK;
}

HRESULT removeKeys(const std::vector<RegKeyEntry>& table) noexcept {
    HRESULT first = S_OK;
    for (size_t i = table.size(); i-- > 0;) {
        const HRESULT hr = removeKey(table[i]);
        if (FAILED(hr) && SUCCEEDED(first)) first = hr;
    }
    return first;
}

HRESULT registerServer(const ServerInfo& server, const std::wstring& modulePath) noexcept {
    return guard([&] {
        const auto table = serverKeys(server, modulePath);
        HRESULT hr = writeKeys(table);
        if (FAILED(hr)) return hr;
        hr = registerTypeLib(modulePath);
        if (FAILED(hr)) {
            (void)unregisterTypeLib(server.typeLib);
            (void)removeKeys(table);
        }
        return hr;
    });
}

HRESULT unregisterServer(const ServerInfo& server, const std::wstring& modulePath) noexcept {
    return guard([&] {
        const HRESULT libResult = unregisterTypeLib(server.typeLib);
        const HRESULT keysResult = removeKeys(serverKeys(server, modulePath));
        return FAILED(libResult) ? libResult : keysResult;
    });
}

}  // namespace com
