#include "Variables.h"

#include <utility>

namespace Variables {

thread_local _PropPageBridge* Bridge = nullptr;

void SetBridge(_PropPageBridge* bridge) noexcept {
    // Reference the new object before releasing the old one: they may be the same.
    if (bridge) bridge->AddRef();
    if (_PropPageBridge* old = std::exchange(Bridge, bridge)) old->Release();
}

void ReleaseBridge() noexcept { SetBridge(nullptr); }

}  // namespace Variables
