#pragma once
// The host's add-in list in the registry, and the add-in's DLL as COM loaded it.
#include <windows.h>

#include <optional>

#include "com/ComPtr.h"
#include <string>
#include <vector>

namespace standin::win {

/// The key of the host's add-in list: under HKEY_CURRENT_USER the user's, under HKEY_LOCAL_MACHINE
/// (in the host's own registry view) the machine's, for every user.
inline constexpr wchar_t kAddInListKey[] = L"Software\\Microsoft\\Office\\Outlook\\Addins";

/// One entry of the list: the key's name is the add-in's ProgID.
struct AddInEntry {
    std::u16string progId;
    std::optional<std::u16string> friendlyName;
    std::optional<std::u16string> description;
    std::optional<DWORD> loadBehavior;
    /// RequireShutdownNotification = 1: the add-in hears OnBeginShutdown and OnDisconnection at the
    /// host's exit also from version 14, whose fast shutdown otherwise says nothing.
    bool requireShutdownNotification = false;
    bool machine = false;  ///< from the machine's list
};

/// The host marks an add-in of the user's list whose start-up connection failed as not loaded:
/// LoadBehavior 2.
void MarkNotLoaded(const std::u16string& progId);
/// Writes back the LoadBehavior of each entry of the user's list as `entries` (ReadAddInList) had
/// it, so that the next run starts from the same list.
void RestoreLoadBehaviors(const std::vector<AddInEntry>& entries);

/// The user's entries in the order the registry enumerates them, then the machine's whose ProgID the
/// user's list lacks (the host reads both and the user's key wins); empty when neither key exists.
std::vector<AddInEntry> ReadAddInList();

/// A class found by its ProgID as Windows finds it: in the current user's classes
/// (HKCU\Software\Classes) first, which Windows reads before the machine's and Wine's COM does not
/// read at all, then through COM. A per-user class is created by the host itself: the DLL its
/// InprocServer32 names, loaded and kept until TryUnload, and that DLL's DllGetClassObject.
struct ClassLookup {
    HRESULT status = S_OK;  ///< the failure when the class is not registered or cannot be created
    CLSID clsid{};
    bool perUser = false;
    std::wstring server;  ///< the DLL registered for the class; empty when unknown
    com::ComPtr<IUnknown> object;
};

/// Finds `progId`'s class and server without creating anything.
ClassLookup FindClass(const std::u16string& progId);

/// Finds and creates `progId`'s class (IUnknown).
ClassLookup CreateClass(const std::u16string& progId);

/// The transcript's note on a class the host created from the current user's registration.
std::u16string PerUserNote(const std::u16string& progId, const ClassLookup& found);

/// The transcript's note on the class of an add-in from the machine's list: the server COM created.
std::u16string MachineNote(const std::u16string& progId, const ClassLookup& found);

/// The result of DllCanUnloadNow of the loaded DLL at `path`, then whether it was unloaded: by COM
/// (CoFreeUnusedLibrariesEx), or by the host when it loaded the DLL for a per-user class and the
/// answer was S_OK. `answer` is empty when the DLL was not loaded.
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
