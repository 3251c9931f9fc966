#include "standin/win/AddIns.h"

#include <objbase.h>

#include "com/Handles.h"
#include "com/Strings.h"
#include "standin/win/Transcript.h"

namespace standin::win {

namespace {

std::optional<std::wstring> StringValue(HKEY key, const wchar_t* name) {
    DWORD type = 0;
    DWORD size = 0;
    if (RegQueryValueExW(key, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) return std::nullopt;
    if (type != REG_SZ && type != REG_EXPAND_SZ) return std::nullopt;
    std::wstring text(size / sizeof(wchar_t) + 1, L'\0');
    size = static_cast<DWORD>(text.size() * sizeof(wchar_t));
    if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(text.data()), &size) != ERROR_SUCCESS)
        return std::nullopt;
    text.resize(wcsnlen(text.c_str(), size / sizeof(wchar_t)));
    return text;
}

std::optional<DWORD> DwordValue(HKEY key, const wchar_t* name) {
    DWORD type = 0;
    DWORD value = 0;
    DWORD size = sizeof value;
    if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) != ERROR_SUCCESS ||
        type != REG_DWORD)
        return std::nullopt;
    return value;
}

std::optional<std::u16string> U16(const std::optional<std::wstring>& s) {
    if (!s) return std::nullopt;
    return com::fromWide(*s);
}

// Appends the entries of one list, leaving out ProgIDs already read.
void ReadList(HKEY root, bool machine, std::vector<AddInEntry>& entries) {
    com::RegKey list;
    if (RegOpenKeyExW(root, kAddInListKey, 0, KEY_READ, list.put()) != ERROR_SUCCESS) return;
    const size_t earlier = entries.size();
    for (DWORD i = 0;; ++i) {
        wchar_t name[256];
        DWORD length = 256;
        if (RegEnumKeyExW(list.get(), i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        AddInEntry entry;
        entry.progId = com::fromWide(std::wstring_view(name, length));
        entry.machine = machine;
        bool listed = false;
        for (size_t j = 0; j < earlier; ++j)
            listed = listed || CompareStringOrdinal(name, -1, com::toWide(entries[j].progId).c_str(), -1, TRUE) == CSTR_EQUAL;
        if (listed) continue;
        com::RegKey key;
        if (RegOpenKeyExW(list.get(), name, 0, KEY_READ, key.put()) == ERROR_SUCCESS) {
            entry.friendlyName = U16(StringValue(key.get(), L"FriendlyName"));
            entry.description = U16(StringValue(key.get(), L"Description"));
            entry.loadBehavior = DwordValue(key.get(), L"LoadBehavior");
            entry.requireShutdownNotification = DwordValue(key.get(), L"RequireShutdownNotification") == 1u;
        }
        entries.push_back(std::move(entry));
    }
}

}  // namespace

std::vector<AddInEntry> ReadAddInList() {
    // The user's list first: the host also reads the machine-wide list, and for the same ProgID the
    // user's key wins (documented with per-user COM configuration and UAC).
    std::vector<AddInEntry> entries;
    ReadList(HKEY_CURRENT_USER, false, entries);
    ReadList(HKEY_LOCAL_MACHINE, true, entries);
    return entries;
}

void MarkNotLoaded(const std::u16string& progId) {
    const std::wstring path = std::wstring(kAddInListKey) + L"\\" + com::toWide(progId);
    com::RegKey key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_SET_VALUE, key.put()) != ERROR_SUCCESS) return;
    const DWORD notLoaded = 2;
    RegSetValueExW(key.get(), L"LoadBehavior", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&notLoaded), sizeof notLoaded);
}

void RestoreLoadBehaviors(const std::vector<AddInEntry>& entries) {
    for (const AddInEntry& entry : entries) {
        if (entry.machine || !entry.loadBehavior) continue;
        const std::wstring path = std::wstring(kAddInListKey) + L"\\" + com::toWide(entry.progId);
        com::RegKey key;
        if (RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_SET_VALUE, key.put()) != ERROR_SUCCESS) continue;
        const DWORD value = *entry.loadBehavior;
        RegSetValueExW(key.get(), L"LoadBehavior", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
    }
}

namespace {

constexpr wchar_t kUserClasses[] = L"Software\\Classes\\";

std::optional<std::wstring> DefaultValue(HKEY root, const std::wstring& path) {
    com::RegKey key;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, key.put()) != ERROR_SUCCESS) return std::nullopt;
    return StringValue(key.get(), nullptr);
}

// The DLLs the host loaded itself for per-user classes, each once, until TryUnload frees it.
std::vector<std::pair<std::wstring, HMODULE>>& PerUserModules() {
    static std::vector<std::pair<std::wstring, HMODULE>> modules;
    return modules;
}

HRESULT CreatePerUser(ClassLookup& found) {
    HMODULE dll = nullptr;
    for (const auto& [path, module] : PerUserModules())
        if (CompareStringOrdinal(path.c_str(), -1, found.server.c_str(), -1, TRUE) == CSTR_EQUAL) dll = module;
    if (!dll) {
        dll = LoadLibraryW(found.server.c_str());
        if (!dll) return HRESULT_FROM_WIN32(GetLastError());
        PerUserModules().emplace_back(found.server, dll);
    }
    using GetClassObject = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
    const auto get = reinterpret_cast<GetClassObject>(reinterpret_cast<void*>(GetProcAddress(dll, "DllGetClassObject")));
    if (!get) return CO_E_ERRORINDLL;
    com::ComPtr<IClassFactory> factory;
    HRESULT hr = get(found.clsid, IID_IClassFactory, factory.putVoid());
    if (FAILED(hr)) return hr;
    return factory->CreateInstance(nullptr, IID_IUnknown, found.object.putVoid());
}

}  // namespace

ClassLookup FindClass(const std::u16string& progId) {
    ClassLookup found;
    const std::wstring name = com::toWide(progId);
    if (const auto clsid = DefaultValue(HKEY_CURRENT_USER, kUserClasses + name + L"\\CLSID");
        clsid && SUCCEEDED(CLSIDFromString(clsid->c_str(), &found.clsid))) {
        if (auto server = DefaultValue(HKEY_CURRENT_USER, kUserClasses + (L"CLSID\\" + *clsid) + L"\\InprocServer32")) {
            found.perUser = true;
            found.server = std::move(*server);
            return found;
        }
    }
    found.status = CLSIDFromProgID(name.c_str(), &found.clsid);
    if (FAILED(found.status)) return found;
    wchar_t guid[40] = {};
    StringFromGUID2(found.clsid, guid, 40);
    found.server = DefaultValue(HKEY_CLASSES_ROOT, std::wstring(L"CLSID\\") + guid + L"\\InprocServer32").value_or(L"");
    return found;
}

ClassLookup CreateClass(const std::u16string& progId) {
    ClassLookup found = FindClass(progId);
    if (FAILED(found.status)) return found;
    found.status = found.perUser ? CreatePerUser(found)
                                 : CoCreateInstance(found.clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                                                    found.object.putVoid());
    return found;
}

std::u16string PerUserNote(const std::u16string& progId, const ClassLookup& found) {
    return u"class " + Transcript::Quote(progId) + u" per-user server=" + Transcript::Quote(com::fromWide(found.server)) +
           u" created-by=DllGetClassObject (Wine's COM does not read HKCU\\Software\\Classes; Windows reads it first)";
}

std::u16string MachineNote(const std::u16string& progId, const ClassLookup& found) {
    return u"class " + Transcript::Quote(progId) + u" machine-wide server=" + Transcript::Quote(com::fromWide(found.server));
}

UnloadResult TryUnload(const std::wstring& path) {
    UnloadResult result;
    HMODULE dll = path.empty() ? nullptr : GetModuleHandleW(path.c_str());
    if (!dll) return result;
    using CanUnload = HRESULT(STDAPICALLTYPE*)();
    if (auto canUnloadNow = reinterpret_cast<CanUnload>(reinterpret_cast<void*>(GetProcAddress(dll, "DllCanUnloadNow"))))
        result.answer = canUnloadNow();
    CoFreeUnusedLibrariesEx(0, 0);
    auto& own = PerUserModules();
    for (auto it = own.begin(); it != own.end(); ++it) {
        if (it->second != dll) continue;
        if (result.answer == S_OK) {
            FreeLibrary(dll);
            own.erase(it);
        }
        break;
    }
    result.unloaded = GetModuleHandleW(path.c_str()) == nullptr;
    return result;
}

std::optional<std::u16string> RegistryValueText(HKEY root, const std::wstring& keyPath, const std::wstring& name) {
    com::RegKey key;
    if (RegOpenKeyExW(root, keyPath.c_str(), 0, KEY_READ, key.put()) != ERROR_SUCCESS) return std::nullopt;
    const wchar_t* valueName = name.empty() ? nullptr : name.c_str();
    DWORD type = 0;
    DWORD size = 0;
    if (RegQueryValueExW(key.get(), valueName, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) return std::nullopt;
    if (type == REG_SZ || type == REG_EXPAND_SZ) return Transcript::Quote(com::fromWide(StringValue(key.get(), valueName).value_or(L"")));
    if (type == REG_DWORD) {
        DWORD value = 0;
        size = sizeof value;
        RegQueryValueExW(key.get(), valueName, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size);
        return Num(value);
    }
    return u"<type " + Num(type) + u">";
}

bool SplitRegistryPath(const std::u16string& full, HKEY& root, std::wstring& path) {
    const size_t slash = full.find(u'\\');
    const std::u16string head = full.substr(0, slash);
    path = slash == std::u16string::npos ? L"" : com::toWide(full.substr(slash + 1));
    if (head == u"HKCU" || head == u"HKEY_CURRENT_USER") root = HKEY_CURRENT_USER;
    else if (head == u"HKLM" || head == u"HKEY_LOCAL_MACHINE") root = HKEY_LOCAL_MACHINE;
    else if (head == u"HKCR" || head == u"HKEY_CLASSES_ROOT") root = HKEY_CLASSES_ROOT;
    else return false;
    return true;
}

}  // namespace standin::win
