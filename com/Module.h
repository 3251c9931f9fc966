#pragma once
// The module (DLL or program) that links the toolkit: its handle, path and lock count.
#include <windows.h>

#include <string>

namespace com {

/// Module-wide state. Every live ComObject and every IClassFactory::LockServer(TRUE) holds one lock;
/// the module may be unloaded when none is held.
struct Module {
    static void lock() noexcept;
    static void unlock() noexcept;
    static long lockCount() noexcept;

    /// The module this code is linked into (not the process's main program when it is a DLL).
    static HMODULE handle() noexcept;

    /// Full path of the module. Throws HostError when Windows cannot tell.
    static std::wstring path();
};

/// DllCanUnloadNow's answer: S_OK when no lock is held, S_FALSE otherwise.
[[nodiscard]] HRESULT canUnloadNow() noexcept;

}  // namespace com
