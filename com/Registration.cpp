#include "com/Registration.h"

#include <oleauto.h>
#include <shlwapi.h>

#include "com/ComPtr.h"
#include "com/Guard.h"
#include "com/Handles.h"
#include "com/Strings.h"

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

constexpr wchar_t kUserClasses[] = L"Software\\Classes";

// While it lives, HKEY_CLASSES_ROOT is the current user's classes for this whole process, so the
// type library's own registration (which writes under HKEY_CLASSES_ROOT) lands there. The system's
// per-user type library calls do this themselves where they exist; Windows 2000 has only this.
class UserClassesRoot {
public:
    UserClassesRoot() noexcept {
        RegKey classes;
        if (RegCreateKeyExW(HKEY_CURRENT_USER, kUserClasses, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                            nullptr, classes.put(), nullptr) == ERROR_SUCCESS)
            status_ = fromWin32(RegOverridePredefKey(HKEY_CLASSES_ROOT, classes.get()));
    }
    ~UserClassesRoot() {
        if (SUCCEEDED(status_)) RegOverridePredefKey(HKEY_CLASSES_ROOT, nullptr);
    }
    UserClassesRoot(const UserClassesRoot&) = delete;
    UserClassesRoot& operator=(const UserClassesRoot&) = delete;
    HRESULT status() const noexcept { return status_; }

private:
    HRESULT status_ = E_FAIL;
};

// The per-user type library calls of newer systems, looked up at run time: Windows 2000 lacks them.
template <class Function>
Function* perUserCall(const char* name) noexcept {
    HMODULE oleaut = GetModuleHandleW(L"oleaut32.dll");
    return oleaut ? reinterpret_cast<Function*>(reinterpret_cast<void*>(GetProcAddress(oleaut, name))) : nullptr;
}

bool typeLibRegistered(const TypeLibInfo& lib) {
    wchar_t version[32];
    wsprintfW(version, L"%x.%x", lib.major, lib.minor);
    const std::wstring path = L"TypeLib\\" + guidString(lib.libid) + L"\\" + version;
    RegKey key;
    return RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, key.put()) == ERROR_SUCCESS;
}

HRESULT registerTypeLib(const std::wstring& modulePath, Scope scope) noexcept {
    ComPtr<ITypeLib> lib;
    const HRESULT hr = LoadTypeLibEx(modulePath.c_str(), REGKIND_NONE, lib.put());
    if (FAILED(hr)) return hr;
    std::wstring path = modulePath;  // the calls take a non-const string
    if (scope != Scope::User) return RegisterTypeLib(lib.get(), path.data(), nullptr);
    const UserClassesRoot root;
    if (FAILED(root.status())) return root.status();
    using Register = HRESULT WINAPI(ITypeLib*, OLECHAR*, OLECHAR*);
    Register* call = perUserCall<Register>("RegisterTypeLibForUser");
    return (call ? call : &RegisterTypeLib)(lib.get(), path.data(), nullptr);
}

HRESULT unregisterTypeLib(const TypeLibInfo& lib, Scope scope) {
    if (scope != Scope::User) {
        if (!typeLibRegistered(lib)) return S_OK;
        return UnRegisterTypeLib(lib.libid, lib.major, lib.minor, 0, systemKind());
    }
    const UserClassesRoot root;
    if (FAILED(root.status())) return root.status();
    if (!typeLibRegistered(lib)) return S_OK;
    using Unregister = HRESULT WINAPI(REFGUID, WORD, WORD, LCID, SYSKIND);
    Unregister* call = perUserCall<Unregister>("UnRegisterTypeLibForUser");
    return (call ? call : &UnRegisterTypeLib)(lib.libid, lib.major, lib.minor, 0, systemKind());
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

std::vector<RegKeyEntry> serverKeys(const ServerInfo& server, const std::wstring& modulePath, Scope scope) {
    std::vector<RegKeyEntry> table;
    for (const ClassInfo& cls : server.classes) {
        auto keys = classKeys(cls, server.typeLib, modulePath);
        table.insert(table.end(), keys.begin(), keys.end());
    }
    table.insert(table.end(), server.extraKeys.begin(), server.extraKeys.end());
    for (RegKeyEntry& entry : table) {
        if (scope == Scope::User && entry.root == HKEY_CLASSES_ROOT) {
            entry.root = HKEY_CURRENT_USER;
            entry.path = std::wstring(kUserClasses) + L"\\" + entry.path;
        } else if (scope == Scope::AllUsers && entry.root == HKEY_CURRENT_USER) {
            entry.root = HKEY_LOCAL_MACHINE;
        }
    }
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

HRESULT registerServer(const ServerInfo& server, const std::wstring& modulePath, Scope scope) noexcept {
    return guard([&] {
        const auto table = serverKeys(server, modulePath, scope);
        HRESULT hr = writeKeys(table);
        if (FAILED(hr)) return hr;
        hr = registerTypeLib(modulePath, scope);
        if (FAILED(hr)) {
            (void)unregisterTypeLib(server.typeLib, scope);
            (void)removeKeys(table);
        }
        return hr;
    });
}

HRESULT unregisterServer(const ServerInfo& server, const std::wstring& modulePath, Scope scope) noexcept {
    return guard([&] {
        const HRESULT libResult = unregisterTypeLib(server.typeLib, scope);
        const HRESULT keysResult = removeKeys(serverKeys(server, modulePath, scope));
        return FAILED(libResult) ? libResult : keysResult;
    });
}

std::optional<Scope> scopeNamed(const wchar_t* commandLine) noexcept {
    if (!commandLine || !*commandLine) return Scope::Machine;
    if (sameIdentifier(commandLine, L"machine")) return Scope::AllUsers;
    if (sameIdentifier(commandLine, L"user")) return Scope::User;
    return std::nullopt;
}

HRESULT installServer(const ServerInfo& server, const std::wstring& modulePath, bool install,
                      const wchar_t* commandLine) noexcept {
    const auto scope = scopeNamed(commandLine);
    if (!scope) return E_INVALIDARG;
    return install ? registerServer(server, modulePath, *scope) : unregisterServer(server, modulePath, *scope);
}

}  // namespace com
