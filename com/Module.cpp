#include "com/Module.h"

#include <atomic>

#include "base/HostError.h"
#include "com/Win32Error.h"

extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace com {
namespace {

std::atomic<long> locks{0};

}  // namespace

void Module::lock() noexcept { locks.fetch_add(1, std::memory_order_relaxed); }

void Module::unlock() noexcept { locks.fetch_sub(1, std::memory_order_acq_rel); }

long Module::lockCount() noexcept { return locks.load(std::memory_order_acquire); }

HMODULE Module::handle() noexcept {
    // The linker places __ImageBase at the start of the image this code is linked into; the module
    // handle is that address (and needs no lookup the oldest supported systems lack).
    return reinterpret_cast<HMODULE>(&__ImageBase);
}

std::wstring Module::path() {
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = GetModuleFileNameW(handle(), buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n == 0) throwLastError();
        if (n < buffer.size()) {
            buffer.resize(n);
            return buffer;
        }
        buffer.resize(buffer.size() * 2);  // truncated: try again with room
    }
}

HRESULT canUnloadNow() noexcept { return Module::lockCount() == 0 ? S_OK : S_FALSE; }

}  // namespace com
