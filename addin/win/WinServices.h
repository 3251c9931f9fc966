#pragma once
// Win32 services behind the core's platform interface: the file-existence test and date formatting.
#include <cstdint>
#include <string>

#include "core/host/DateTime.h"

namespace winsvc {

/// The shell's answer (PathFileExistsW) to whether `path` exists: 1 when it does. The wide form
/// keeps every character of the name; the narrow one would test a different name.
int32_t FileExists(const std::u16string& path);

/// `value` formatted in the user's locale by a date pattern in the core's notation: "d", "dd",
/// "ddd", "dddd" day; "m" … "mmmm" month ("mmm" the locale's abbreviated name); "yy", "yyyy"
/// year. The time of day is not used. Throws HostError when the system cannot format the date.
std::u16string FormatDate(const host::DateTime& value, const std::u16string& pattern);

}  // namespace winsvc
