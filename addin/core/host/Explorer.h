#pragma once
// The host's main windows.
#include <cstdint>

#include "core/host/Events.h"
#include "core/host/Object.h"

namespace host {

/// The collection of open main windows.
class Explorers : public Object {
public:
    /// The number of open main windows.
    virtual int32_t Count() = 0;
};

/// One main window.
class Explorer : public Object {
public:
    /// Subscribes `sink` to Close and SelectionChange.
    virtual Subscription Subscribe(ExplorerEvents& sink) = 0;
};

}  // namespace host
