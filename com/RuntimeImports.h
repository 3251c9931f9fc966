#pragma once
// Kernel functions the static runtime needs, for the oldest systems the DLLs load on.
//
// C++ exceptions and thread-safe statics run on the static thread library (winpthreads), which
// imports GetTickCount64 (Windows Vista) and AddVectoredExceptionHandler with its counterpart
// (Windows XP). A DLL that imported them would not load on Windows 2000 or XP. Each COM DLL links
// com/ImportSlots.cpp, which hands the library these functions instead, so the DLL's import
// table no longer names them.
#include <windows.h>

namespace com::runtime {

/// Milliseconds since an arbitrary start, 64 bits wide, never going back: what the thread library
/// uses GetTickCount64 for (the deadline of a bounded wait). From the performance counter, as the
/// library itself does when built for systems before Vista; GetTickCount where there is none.
ULONGLONG WINAPI tickCount64() noexcept;

/// Installs no handler and returns null. The library installs a vectored handler at load only so
/// that a debugger can see names given to threads; the DLLs name none, and Windows 2000 has no
/// vectored handlers. So the host's exception handling stays as the host set it up.
PVOID WINAPI addNoVectoredHandler(ULONG first, PVECTORED_EXCEPTION_HANDLER handler) noexcept;

/// Removes nothing (nothing was installed) and returns 0.
ULONG WINAPI removeNoVectoredHandler(PVOID handle) noexcept;

}  // namespace com::runtime
