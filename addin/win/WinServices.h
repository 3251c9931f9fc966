#pragma once
// Win32 services behind the core's platform interface: the file-existence test, the mark of a
// file's origin and date formatting.
#include <cstdint>
#include <string>

#include "core/host/DateTime.h"

namespace winsvc {

/// The shell's answer (PathFileExistsW) to whether `path` exists: 1 when it does. The wide form
/// keeps every character of the name; the narrow one would test a different name.
int32_t FileExists(const std::u16string& path);

/// Marks the file at `path` as come from another computer, as the system marks downloads and mail
/// attachments: the alternate data stream "Zone.Identifier" with ZoneId=3 (the Internet zone), so
/// that the shell warns before running it and Office opens it in Protected View. Best effort: false
/// when `path` names no file or the stream cannot be written (a file system without alternate
/// streams, a share), never a failure. Uses only calls Windows 2000 has.
bool MarkAsFromInternet(const std::u16string& path) noexcept;

/// `value` formatted in the user's locale by a date pattern in the core's notation: "d", "dd",
/// "ddd", "dddd" day; "m" … "mmmm" month ("mmm" the locale's abbreviated name); "yy", "yyyy"
/// year. The time of day is not used. Throws HostError when the system cannot format the date.
std::u16string FormatDate(const host::DateTime& value, const std::u16string& pattern);

}  // namespace winsvc
