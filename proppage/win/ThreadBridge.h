#pragma once
// Library-wide state of the page library: the bridge to the add-in's preference.
#include <windows.h>

#include "Tallowby.h"

namespace Variables {

/// The bridge object every page of this thread uses, or null. Per thread and a plain pointer: a
/// thread-local object with a destructor would crash the host when it unloads this library.
extern thread_local _PropPageBridge* Bridge;

/// Stores `bridge` (adding a reference) and releases what Bridge held before.
void SetBridge(_PropPageBridge* bridge) noexcept;

/// Empties Bridge, releasing the object it held.
void ReleaseBridge() noexcept;

}  // namespace Variables
