#include "win/WinVersion.h"

namespace WinVersion {

static_assert(sizeof(OSVERSIONINFOA) == 148, "the version structure is the 148-byte form");

bool IsWindowsNT5(BOOL callResult, const OSVERSIONINFOA& info) noexcept {
    return callResult == 1 && info.dwPlatformId == VER_PLATFORM_WIN32_NT && info.dwMajorVersion == 5;
}

bool IsWindowsNT5() noexcept {
    OSVERSIONINFOA info{};
    info.dwOSVersionInfoSize = sizeof info;
    const BOOL result = GetVersionExA(&info);
    return IsWindowsNT5(result, info);
}

}  // namespace WinVersion
