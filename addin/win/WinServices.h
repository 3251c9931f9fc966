#pragma once
// Win32 services behind the core's platform interface: the file-existence test, the mark of a
// file's origin and date formatting.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "addin/core/Platform.h"
#include "addin/core/host/DateTime.h"
#include "base/Sha256.h"

namespace addin::win {

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

/// One directory query for every entry of `folder` (Platform::ListFolderEntries): names, aliases
/// and the sizes of files, as ListFolder answers otherwise.
std::optional<std::vector<FolderEntry>> ListFolderEntries(const std::u16string& folder, FindOptions options);

/// The size of the file at `path` (GetFileAttributesExW); nothing when there is no such file.
std::optional<uint64_t> FileSize(const std::u16string& path);

/// Whether the files at `a` and `b` hold the same bytes: both read in chunks of 64 KiB, shared for
/// reading and writing with other programs. Throws HostError when either cannot be read.
bool FilesEqual(const std::u16string& a, const std::u16string& b);
base::Sha256Digest FileSha256(const std::u16string& path);

/// True when `folder` is on a network share: a UNC path, or a drive the system reports as remote.
bool IsOnNetwork(const std::u16string& folder);

/// `name` in upper case by the system's file-system casing (LCMapStringW without linguistic casing).
std::u16string FileSystemUpperCase(const std::u16string& name);

/// True when the volume that holds `path` keeps named streams: GetVolumeInformationW of the volume
/// GetVolumePathNameW names reports FILE_NAMED_STREAMS. False when it does not (Wine 8 reports its
/// drives as "NTFS" without the flag) or cannot tell.
bool KeepsNamedStreams(const std::u16string& path) noexcept;

/// Writes the mark of a file come from the Internet zone (the text the system itself writes for a
/// download, "[ZoneTransfer]" with ZoneId=3) to `stream`, a file's "Zone.Identifier" stream, in
/// place of what it held. False when it cannot be written whole.
bool WriteZoneIdentifier(const std::u16string& stream) noexcept;

/// Marks the file at `path` as come from another computer, as the system marks downloads and mail
/// attachments: WriteZoneIdentifier to its alternate data stream "Zone.Identifier", so that the
/// shell warns before running it and Office opens it in Protected View. Written only where
/// `keepsNamedStreams` (the volume's answer, KeepsNamedStreams); where the system nevertheless makes
/// a visible file "<name>:Zone.Identifier" of it, that file is removed again. Best effort: false when
/// the file carries no mark (no such file, no streams, a share that refuses it), never a failure.
/// Uses only calls Windows 2000 has.
bool MarkAsFromInternet(const std::u16string& path, bool keepsNamedStreams) noexcept;

/// The name Platform::TemporaryPathFor gives a file written for `target`: ".~tlb<8 hexadecimal
/// digits>.tmp" in `target`'s folder (hidden where the system hides names that begin with a dot,
/// as Wine does; not by the hidden attribute, which a host that writes with CREATE_ALWAYS would be
/// refused over), or in a folder too deep for that, as much of ".~<digits>" as fits beside it
/// (down to one digit: wherever `target` fits). Made there with CREATE_NEW, DELETE access and
/// FILE_FLAG_DELETE_ON_CLOSE and so removed again at once: proof that the folder takes a new file
/// that can be renamed and removed. Never `target`'s own name. Where the folder takes new files but
/// lets none be removed (DELETE refused, or the proof still there after its close), `target` is made
/// there as a new, empty file for the host to write, without DELETE access (nothing is given); an
/// existing `target` is then refused with ERROR_ACCESS_DENIED, as where the folder takes no new file:
/// no existing file is written in place. Throws HostError otherwise.
std::optional<std::u16string> TemporaryPathFor(const std::u16string& target);

/// Platform::PutInPlace on Win32: the content of `file` flushed to the disk, then, over an existing
/// `target`, ReplaceFileW with a backup name of its own (a replace that breaks off leaves the old
/// file under one name or the other, never deleted; the backup is removed after) and the old
/// attributes kept; otherwise MoveFileExW with MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH. A
/// target that is a folder or read-only, or that another program holds open without sharing, is
/// refused before anything changes.
void PutInPlace(const std::u16string& file, const std::u16string& target);

/// Platform::PlaceAsNewFile on Win32: the content of `file` flushed to the disk, then MoveFileExW
/// with MOVEFILE_WRITE_THROUGH and without MOVEFILE_REPLACE_EXISTING, which fails with
/// ERROR_ALREADY_EXISTS when any entry has the name (false).
bool PlaceAsNewFile(const std::u16string& file, const std::u16string& target);

/// Removes the file at `path`, a read-only one too; false when a file is still there.
bool RemoveFile(const std::u16string& path) noexcept;

/// `value` formatted in the user's locale by a date pattern in the core's notation: "d", "dd",
/// "ddd", "dddd" day; "m" … "mmmm" month ("mmm" the locale's abbreviated name); "yy", "yyyy"
/// year. The time of day is not used. Throws HostError when the system cannot format the date.
std::u16string FormatDate(const host::DateTime& value, const std::u16string& pattern);

}  // namespace addin::win
