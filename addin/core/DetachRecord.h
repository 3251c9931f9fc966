#pragma once
// The record an item keeps of the attachments saved out of it: one named string property, small
// enough for the host to hand over in one call. It names each file, where it went, its size and
// hash and when; nothing else of the user's.
//
//   tallowby-saved-attachments 1
//   <display name> TAB <path> TAB <size> TAB <sha-256 hex> TAB <YYYY-MM-DDTHH:MM:SSZ>
//   ...
// Lines are separated by CRLF; "%", TAB, CR and LF in a field are written %25 %09 %0D %0A.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace addin {

namespace DetachRecord {

/// The longest record written, in UTF-16 code units.
inline constexpr std::size_t MaxLength = 2000;

/// A moment in UTC, to the second.
struct UtcTime {
    int year = 1970;
    int month = 1;
    int day = 1;
    int hour = 0;
    int minute = 0;
    int second = 0;
    bool operator==(const UtcTime&) const = default;
};

struct Entry {
    std::u16string displayName;
    std::u16string path;
    std::uint64_t size = 0;
    std::string sha256;  ///< 64 lower-case hex digits
    UtcTime saved;
    bool operator==(const Entry&) const = default;
};

struct Encoded {
    std::u16string text;
    /// Indices into the added entries that were not written: they would not fit within MaxLength, or
    /// a field is out of its form (an empty path, a hash that is not 64 lower-case hex digits, a
    /// time that is no date). The caller keeps their attachments.
    std::vector<std::size_t> notWritten;
};

/// The record of `kept` (written whole, in order, whatever their length: they describe files
/// already out of the item) followed by each of `added` that still fits, in order.
Encoded Encode(const std::vector<Entry>& kept, const std::vector<Entry>& added);

struct Decoded {
    bool known = false;       ///< false: the first line is not this record's; nothing was read
    std::vector<Entry> entries;
    std::size_t malformed = 0;  ///< lines skipped: wrong number of fields, a bad escape or field
};

Decoded Decode(std::u16string_view text);

/// "YYYY-MM-DDTHH:MM:SSZ".
std::string TimeText(const UtcTime& time);

}  // namespace DetachRecord

}  // namespace addin
