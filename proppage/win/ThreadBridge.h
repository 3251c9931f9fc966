#pragma once
// The page library's one piece of shared state: the bridge to the add-in's preference that the pages
// of a thread use.
#include <windows.h>

#include "Tallowby.h"

namespace proppage::win::ThreadBridge {

/// The bridge every page of the calling thread uses, or null. Per thread and a plain pointer: a
/// thread-local object with a destructor would crash the host when it unloads this library.
_PropPageBridge* Current() noexcept;

/// Holds `bridge` (adding a reference) for the calling thread and releases what it held before.
void Set(_PropPageBridge* bridge) noexcept;

/// Lets go of the calling thread's bridge, releasing the object.
void Release() noexcept;

}  // namespace proppage::win::ThreadBridge
