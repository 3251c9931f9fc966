#pragma once
// The host's add-in list in the registry, and the add-in's DLL as COM loaded it.
#include <windows.h>

#include <optional>
#include <string>
#include <vector>

namespace standin::win {

/// The key of the host's per-user add-in list, under HKEY_CURRENT_USER.
inline constexpr wchar_t kAddInListKey[] = L"Software\\Microsoft\\Office\\Outlook\\Addins";

/// One entry of the list: the key's name is the add-in's ProgID.
struct AddInEntry {
    std::u16string progId;
    std::optional<std::u16string> friendlyName;
    std::optional<std::u16string> description;
    std::optional<DWORD> loadBehavior;
};

/// The entries in the order the registry enumerates them; empty when the key is missing.
std::vector<AddInEntry> ReadAddInList();

/// The in-process server path registered for `progId` (HKCR CLSID\{...}\InprocServer32); empty
/// when the ProgID or its server is not registered.
std::wstring ServerPath(const std::u16string& progId);

/// The result of DllCanUnloadNow of the loaded DLL at `path`, then whether COM unloaded it
/// (CoFreeUnusedLibrariesEx). `answer` is empty when the DLL was not loaded.
struct UnloadResult {
    std::optional<HRESULT> answer;
    bool unloaded = false;
};
UnloadResult TryUnload(const std::wstring& path);

/// A registry value as transcript text: "text" for REG_SZ, a number for REG_DWORD, <type n> for
/// other kinds; empty when missing.
std::optional<std::u16string> RegistryValueText(HKEY root, const std::wstring& key, const std::wstring& name);

/// Splits "HKCU\Software\..." (or HKEY_CURRENT_USER, HKLM, HKEY_LOCAL_MACHINE, HKCR,
/// HKEY_CLASSES_ROOT) into the root and the path; false for another root.
bool SplitRegistryPath(const std::u16string& full, HKEY& root, std::wstring& path);

}  // namespace standin::win
