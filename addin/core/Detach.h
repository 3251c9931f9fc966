#pragma once
// Saved attachments taken out of an item on hosts that keep no shortcuts (version 12 on): each
// file's link goes into the body, in the body's own format, and its line into the item's record;
// only then do the attachments go, and the item is saved. A failure at any step puts the item back
// as it was, so that each attachment is either still in the item or on disk with its record and
// its link, never neither.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "addin/core/DetachBlock.h"
#include "addin/core/DetachRecord.h"
#include "addin/core/DetachRefusal.h"

namespace host {
class Attachments;
class Item;
}  // namespace host

namespace addin {

namespace Detach {

/// The item's record, a named string property in the add-in's own namespace (its class id).
inline constexpr char16_t kRecordProperty[] =
    u"http://schemas.microsoft.com/mapi/string/{D21AABCE-29E4-413C-BC07-1105AE67C05C}/SavedAttachments";
/// PR_ACCESS: what the user may do with the item.
inline constexpr char16_t kAccessProperty[] = u"http://schemas.microsoft.com/mapi/proptag/0x0FF40003";

/// An attachment already saved to a file, to be replaced by its link.
struct Saved {
    int32_t index = 0;  ///< in the item's Attachments, counted from 1
    std::u16string displayName;
    std::u16string path;  ///< the saved file (the UNC path where it is on a network drive)
    uint64_t size = 0;
    std::string sha256;  ///< of the bytes written, 64 lower-case hex digits
};

struct Outcome {
    std::vector<size_t> detached;                         ///< indexes into the list given
    std::vector<std::pair<size_t, std::u16string>> kept;  ///< the others, each with its reason
    bool saved = false;                                   ///< the item was saved
};

/// Why the item must keep its attachments, read from the item before anything changes: its
/// message class, its attachments' names and (from version 12) PR_ACCESS; nothing when it may be
/// changed. Host failures pass as HostError.
std::optional<DetachRefusal> RefusalOf(host::Item& item, host::Attachments& attachments, int16_t hostMajor);

/// Replaces each of `saved` (indexes of `attachments`, the item's) by its link and record line,
/// then saves the item when `save`. Host failures are reasons in the outcome, never thrown; out of
/// memory is let through after the item is put back.
Outcome IntoBody(host::Item& item, host::Attachments& attachments, const std::vector<Saved>& saved, int16_t hostMajor,
                 const DetachRecord::UtcTime& now, bool save);

/// What Restore knows of a file on disk.
struct FileFacts {
    uint64_t size = 0;
    std::string sha256;  ///< 64 lower-case hex digits
};
/// The size and SHA-256 of the file at a path; nothing when there is no file there.
using CheckFile = std::function<std::optional<FileFacts>(const std::u16string& path)>;
/// Where the user says a file that is not at its recorded path went; empty when they do not say.
using LocateFile = std::function<std::u16string(const DetachRecord::Entry& entry)>;

struct Restored {
    std::vector<std::u16string> restored;                              ///< display names
    std::vector<std::pair<std::u16string, std::u16string>> notRestored;  ///< display name, reason
    bool saved = false;
};

/// Whether the item has a record of detached files (version 12 on). Failures read as no.
bool HasRecord(host::Item& item, int16_t hostMajor) noexcept;

/// Attaches again, by value under its display name, each file of the item's record whose size and
/// SHA-256 still match (at its path, or where `locate` points, accepted only with the recorded
/// hash); takes its line out of the body (a line the user edited stays) and out of the record (the
/// record goes with its last line), then saves the item when `save`. A failure puts the item back.
Restored Restore(host::Item& item, host::Attachments& attachments, int16_t hostMajor, const CheckFile& check,
                 const LocateFile& locate, bool save);

/// The block of links the item's body carries (its own, or one a reply or forward copied); no block
/// where the body cannot be read.
DetachBlock::Listing LinkedFiles(host::Item& item, int16_t hostMajor) noexcept;

struct Attached {
    std::vector<std::u16string> attached;                              ///< display names
    std::vector<std::pair<std::u16string, std::u16string>> notAttached;  ///< display name, reason
};

/// Before the item is sent: attaches each file its block links that is on disk, as it is now (a
/// reply has no record to hold it to), by value under the name its line shows, and takes its line
/// out of the body and its entry out of the item's record, where it has one. A file no longer there
/// keeps its line. Not saved: sending stores the item. A failure puts the item back.
Attached AttachLinkedFiles(host::Item& item, host::Attachments& attachments, int16_t hostMajor, const CheckFile& check);

}  // namespace Detach

}  // namespace addin
