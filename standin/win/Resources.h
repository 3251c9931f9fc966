#pragma once
// What the host process holds of the system's resources, for long runs that must not grow.
#include <string>

namespace standin::win {

/// The process's resources now, as the transcript's words:
/// "handles=<n> gdi=<n> user=<n> private=<bytes>". Where the system does not count them itself
/// (Wine: GetProcessHandleCount, GetGuiResources and the private bytes of GetProcessMemoryInfo
/// answer 0) they are counted: kernel handles by probing the handle table, GDI objects by probing
/// the GDI handle table, USER objects as the process's windows (top-level, child and message-only),
/// private bytes as the committed private memory of the address space.
std::u16string SampleResources();

}  // namespace standin::win
