#pragma once
// Registration as data: the registry keys a module writes, written all or nothing and removed exactly.
#include <windows.h>

#include <string>
#include <variant>
#include <vector>

namespace com {

/// One value of a key; an empty name is the key's default value.
struct RegValue {
    std::wstring name;
    std::variant<std::wstring, DWORD> data;
};

/// One key the module owns: created with its values on registration, deleted with everything under
/// it on removal. Parents come before their subkeys in a table.
struct RegKeyEntry {
    HKEY root;
    std::wstring path;
    std::vector<RegValue> values;
};

/// A creatable class of the module.
struct ClassInfo {
    CLSID clsid;
    std::wstring progId;
    std::wstring description;
};

/// The module's type library (its TYPELIB 1 resource).
struct TypeLibInfo {
    GUID libid;
    WORD major;
    WORD minor;
};

/// Everything a module registers. `extraKeys` come after the classes' keys: an add-in's entry in the
/// host's list, a control's `Control` and `MiscStatus` keys under its CLSID, ...
struct ServerInfo {
    TypeLibInfo typeLib;
    std::vector<ClassInfo> classes;
    std::vector<RegKeyEntry> extraKeys;
};

/// "{xxxxxxxx-xxxx-...}" in upper case, as the registry spells it.
std::wstring guidString(const GUID& guid);

/// The keys of one class under HKEY_CLASSES_ROOT: CLSID\{clsid} (description) with InprocServer32
/// (module path, ThreadingModel Apartment), ProgID, TypeLib and Version; and <ProgID> with its CLSID.
std::vector<RegKeyEntry> classKeys(const ClassInfo& cls, const TypeLibInfo& typeLib, const std::wstring& modulePath);

/// The whole table of `server`: every class's keys, then the extra keys.
std::vector<RegKeyEntry> serverKeys(const ServerInfo& server, const std::wstring& modulePath);

/// Writes every key of `table` in order. When one fails, removes the keys already written and
/// returns the failure.
[[nodiscard]] HRESULT writeKeys(const std::vector<RegKeyEntry>& table) noexcept;

/// Deletes every key of `table` (last first) with everything under it. A missing key counts as
/// removed; the first other failure is returned after trying all keys.
[[nodiscard]] HRESULT removeKeys(const std::vector<RegKeyEntry>& table) noexcept;

/// DllRegisterServer's work: the keys, then the type library from `modulePath`. On any failure
/// nothing stays behind.
[[nodiscard]] HRESULT registerServer(const ServerInfo& server, const std::wstring& modulePath) noexcept;

/// DllUnregisterServer's work: the type library's registration and every key. Whatever is already
/// missing counts as removed.
[[nodiscard]] HRESULT unregisterServer(const ServerInfo& server, const std::wstring& modulePath) noexcept;

}  // namespace com
