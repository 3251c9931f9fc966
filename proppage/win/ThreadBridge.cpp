#include "proppage/win/ThreadBridge.h"

#include <utility>

namespace proppage::win::ThreadBridge {
namespace {
thread_local _PropPageBridge* bridge = nullptr;
}  // namespace

_PropPageBridge* Current() noexcept { return bridge; }

void Set(_PropPageBridge* next) noexcept {
    // Reference the new object before releasing the old one: they may be the same.
    if (next) next->AddRef();
    if (_PropPageBridge* old = std::exchange(bridge, next)) old->Release();
}

void Release() noexcept { Set(nullptr); }

}  // namespace proppage::win::ThreadBridge
