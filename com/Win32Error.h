#pragma once
// A failed Win32 call as the project's one failure type: its error code as an HRESULT, with the
// caller's text.
#include <windows.h>

#include <string>
#include <string_view>

#include "base/HostError.h"

namespace com {

/// Throws `error` (a Win32 error code, as GetLastError or a registry function gives it).
[[noreturn]] inline void throwWin32(DWORD error, std::u16string_view text) {
    throw HostError(static_cast<int32_t>(HRESULT_FROM_WIN32(error)), std::u16string(text));
}

/// Throws the thread's last error. The code is read before anything else runs (the text is only
/// copied afterwards), so call it straight after the call that failed.
[[noreturn]] inline void throwLastError(std::u16string_view text = {}) {
    const DWORD error = GetLastError();
    throwWin32(error, text);
}

}  // namespace com
