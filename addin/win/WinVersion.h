#pragma once
// The version test the Save As dialog runs before it fills its structure.
#include <windows.h>

namespace WinVersion {

/// True exactly when GetVersionExA, asked with an OSVERSIONINFOA of size 148, returns 1 and reports
/// platform 2 (NT) with major version 5 (Windows 2000, XP, Server 2003).
bool IsWindowsNT5() noexcept;

/// The same decision on a given answer of GetVersionExA: its result and the structure it filled.
bool IsWindowsNT5(BOOL callResult, const OSVERSIONINFOA& info) noexcept;

}  // namespace WinVersion
