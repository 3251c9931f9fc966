#pragma once
// The page library's one class, its factory table and what registration writes.
#include <windows.h>

#include <string>

#include "com/Registration.h"
#include "proppage/win/resource.h"

namespace proppage::win {

inline constexpr wchar_t ProgId[] = L"TallowbyPage.PropPage";
/// The toolbox picture's resource id.
inline constexpr int ToolboxBitmapId = IDB_TOOLBOX;

/// What DllRegisterServer writes for the module at `modulePath`: the class with its control keys
/// (Control, MiscStatus, ToolboxBitmap32) and the type library.
com::ServerInfo Registration(const std::wstring& modulePath);

/// DllGetClassObject's work.
[[nodiscard]] HRESULT GetClassObject(REFCLSID clsid, REFIID iid, void** out) noexcept;

}  // namespace proppage::win
