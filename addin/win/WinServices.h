#pragma once
// Win32 services behind the core's platform interface: the file-existence test, the mark of a
// file's origin and date formatting.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/host/DateTime.h"

namespace winsvc {

/// The shell's answer (PathFileExistsW) to whether `path` exists: 1 when it does. The wide form
/// keeps every character of the name; the narrow one would test a different name.
int32_t FileExists(const std::u16string& path);

/// How a directory query asks: as every Windows does, or with the basic-information level (where no
/// alias is asked for) and the large-fetch flag, which only Windows 7 and later accept.
enum class FindOptions { Classic, Windows7 };

/// The options the running Windows accepts: Windows7 from version 6.1 on.
FindOptions RunningFindOptions() noexcept;

/// One directory query for `folder` + "\\" + `prefix` + "*" (Platform::ListFolder): the entries'
/// names, and with `withAliases` their short aliases. Windows7 options that the system refuses are
/// dropped and the query made again the classic way. Empty when nothing matches or the folder does
/// not exist; nothing when the folder cannot be listed or the listing breaks off.
std::optional<std::vector<std::u16string>> ListFolder(const std::u16string& folder, const std::u16string& prefix,
                                                      bool withAliases, FindOptions options);

/// True when `folder` is on a network share: a UNC path, or a drive the system reports as remote.
bool IsOnNetwork(const std::u16string& folder);

/// `name` in upper case by the system's file-system casing (LCMapStringW without linguistic casing).
std::u16string FileSystemUpperCase(const std::u16string& name);

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
