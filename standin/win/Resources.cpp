#include "standin/win/Resources.h"

#include <windows.h>
#include <psapi.h>

#include "standin/win/Transcript.h"

namespace standin::win {

namespace {

size_t KernelHandles() {
    DWORD count = 0;
    if (GetProcessHandleCount(GetCurrentProcess(), &count) && count > 0) return count;
    // Handle values are multiples of 4 taken lowest first: the table ends where a long run of
    // values is unused.
    size_t n = 0;
    int unused = 0;
    for (ULONG_PTR value = 4; value < 0x100000 && unused < 1024; value += 4) {
        DWORD flags = 0;
        if (GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags)) {
            ++n;
            unused = 0;
        } else {
            ++unused;
        }
    }
    return n;
}

size_t GdiObjects() {
    if (const DWORD count = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS)) return count;
    // A handle's low word is its index in the GDI handle table; the index alone names the entry.
    size_t n = 0;
    for (ULONG_PTR index = 1; index < 0x10000; ++index)
        if (GetObjectType(reinterpret_cast<HGDIOBJ>(index))) ++n;
    return n;
}

struct WindowCount {
    DWORD process;
    size_t count = 0;
};

BOOL CALLBACK CountChild(HWND, LPARAM param) {
    ++reinterpret_cast<WindowCount*>(param)->count;
    return TRUE;
}

BOOL CALLBACK CountTopLevel(HWND window, LPARAM param) {
    auto* c = reinterpret_cast<WindowCount*>(param);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process != c->process) return TRUE;
    ++c->count;
    EnumChildWindows(window, &CountChild, param);
    return TRUE;
}

size_t UserObjects() {
    if (const DWORD count = GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS)) return count;
    WindowCount c{GetCurrentProcessId()};
    EnumWindows(&CountTopLevel, reinterpret_cast<LPARAM>(&c));
    for (HWND window = FindWindowExW(HWND_MESSAGE, nullptr, nullptr, nullptr); window;
         window = FindWindowExW(HWND_MESSAGE, window, nullptr, nullptr))
        CountTopLevel(window, reinterpret_cast<LPARAM>(&c));
    return c.count;
}

size_t PrivateBytes() {
    PROCESS_MEMORY_COUNTERS_EX counters{};
    counters.cb = sizeof counters;
    if (GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                             sizeof counters) &&
        counters.PrivateUsage > 0)
        return counters.PrivateUsage;
    size_t bytes = 0;
    MEMORY_BASIC_INFORMATION region{};
    for (const char* at = nullptr; VirtualQuery(at, &region, sizeof region) == sizeof region;) {
        if (region.State == MEM_COMMIT && region.Type == MEM_PRIVATE) bytes += region.RegionSize;
        const char* next = static_cast<const char*>(region.BaseAddress) + region.RegionSize;
        if (next <= at) break;
        at = next;
    }
    return bytes;
}

}  // namespace

std::u16string SampleResources() {
    return u"handles=" + Num(static_cast<long long>(KernelHandles())) + u" gdi=" +
           Num(static_cast<long long>(GdiObjects())) + u" user=" + Num(static_cast<long long>(UserObjects())) +
           u" private=" + Num(static_cast<long long>(PrivateBytes()));
}

}  // namespace standin::win
