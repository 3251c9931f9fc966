#include "com/RuntimeImports.h"

namespace com::runtime {

ULONGLONG WINAPI tickCount64() noexcept {
    LARGE_INTEGER frequency;
    LARGE_INTEGER now;
    if (QueryPerformanceFrequency(&frequency) && frequency.QuadPart >= 1000 && QueryPerformanceCounter(&now))
        return static_cast<ULONGLONG>(now.QuadPart) / (static_cast<ULONGLONG>(frequency.QuadPart) / 1000);
    return GetTickCount();
}

PVOID WINAPI addNoVectoredHandler(ULONG, PVECTORED_EXCEPTION_HANDLER) noexcept { return nullptr; }

ULONG WINAPI removeNoVectoredHandler(PVOID) noexcept { return 0; }

}  // namespace com::runtime
