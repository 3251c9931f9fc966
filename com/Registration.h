#pragma once
// Registration as data: the registry keys a module writes, written all or nothing and removed exactly.
#include <windows.h>

#include <optional>
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

/// Where a module registers. Its classes go machine-wide (HKEY_CLASSES_ROOT, which needs
/// administrator rights) or to the current user (HKEY_CURRENT_USER\Software\Classes, which Windows
/// reads before the machine's classes); entries it declares under HKEY_CURRENT_USER (a host's list of
/// add-ins) go to the current user or, for every user, under HKEY_LOCAL_MACHINE:
/// - Machine: classes machine-wide, entries for the current user (DllRegisterServer, regsvr32 alone);
/// - User: both for the current user alone (regsvr32 /n /i:user), no administrator rights needed;
/// - AllUsers: both for every user of the machine (regsvr32 /n /i:machine).
enum class Scope { Machine, User, AllUsers };

/// "{xxxxxxxx-xxxx-...}" in upper case, as the registry spells it.
std::wstring guidString(const GUID& guid);

/// The keys of one class under HKEY_CLASSES_ROOT: CLSID\{clsid} (description) with InprocServer32
/// (module path, ThreadingModel Apartment), ProgID, TypeLib and Version; and <ProgID> with its CLSID.
std::vector<RegKeyEntry> classKeys(const ClassInfo& cls, const TypeLibInfo& typeLib, const std::wstring& modulePath);

/// The whole table of `server`: every class's keys, then the extra keys. For Scope::User every key
/// under HKEY_CLASSES_ROOT moves to HKEY_CURRENT_USER\Software\Classes; for Scope::AllUsers every
/// key under HKEY_CURRENT_USER moves to HKEY_LOCAL_MACHINE.
std::vector<RegKeyEntry> serverKeys(const ServerInfo& server, const std::wstring& modulePath,
                                    Scope scope = Scope::Machine);

/// Writes every key of `table` in order. When one fails, removes the keys already written and
/// returns the failure.
[[nodiscard]] HRESULT writeKeys(const std::vector<RegKeyEntry>& table) noexcept;

/// Deletes every key of `table` (last first) with everything under it. A missing key counts as
/// removed; the first other failure is returned after trying all keys.
[[nodiscard]] HRESULT removeKeys(const std::vector<RegKeyEntry>& table) noexcept;

/// DllRegisterServer's work: the keys, then the type library from `modulePath`. On any failure
/// nothing stays behind.
[[nodiscard]] HRESULT registerServer(const ServerInfo& server, const std::wstring& modulePath,
                                     Scope scope = Scope::Machine) noexcept;

/// DllUnregisterServer's work: the type library's registration and every key. Whatever is already
/// missing counts as removed.
[[nodiscard]] HRESULT unregisterServer(const ServerInfo& server, const std::wstring& modulePath,
                                       Scope scope = Scope::Machine) noexcept;

/// The scope DllInstall's command line names, in any letter case: "user" (regsvr32 /n /i:user)
/// Scope::User, "machine" (regsvr32 /n /i:machine) Scope::AllUsers, nothing (regsvr32 /i alone) what
/// DllRegisterServer writes, Scope::Machine; nothing for other text.
std::optional<Scope> scopeNamed(const wchar_t* commandLine) noexcept;

/// DllInstall's work: registers (`install`) or removes `server` in the scope its command line
/// names; E_INVALIDARG for a command line it does not know.
[[nodiscard]] HRESULT installServer(const ServerInfo& server, const std::wstring& modulePath, bool install,
                                    const wchar_t* commandLine) noexcept;

}  // namespace com
