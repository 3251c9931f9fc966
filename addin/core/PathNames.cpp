#include "addin/core/PathNames.h"

#include <algorithm>
#include "base/Ascii.h"

namespace addin {

namespace PathNames {
namespace {

std::u16string TrimSpaces(const std::u16string& s) {
    const auto first = s.find_first_not_of(u' ');
    if (first == std::u16string::npos) return {};
    return s.substr(first, s.find_last_not_of(u' ') - first + 1);
}

// The longest accepted extension, in code units (the piece after the dot still carries the
// closing sentinel, so the rejected pieces are 99 units or longer).
constexpr std::size_t kMaxExtension = 97;

bool IsHighSurrogate(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLowSurrogate(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

// The system drops trailing dots and spaces when it creates a file: a name ending in one is not
// the name written.
bool IsSoundEnd(char16_t last) { return last != u'.' && last != u' '; }

}  // namespace

std::u16string GetPathFolder(const std::u16string& path) {
    const std::u16string trimmed = TrimSpaces(path);
    const auto slash = trimmed.rfind(u'\\');
    if (slash == std::u16string::npos) return {};
    return trimmed.substr(0, slash + 1);
}

std::u16string SplitFileName(const std::u16string& fileName, std::u16string& baseName) {
    if (fileName.find(u'.') == std::u16string::npos) {
        baseName = fileName;
        return {};
    }
    // The "+" sentinels keep both pieces non-empty; they are removed by position, so a "+" that is
    // part of the name is an ordinary character.
    const std::u16string work = u"+" + TrimSpaces(fileName) + u"+";
    const auto dot = work.rfind(u'.');
    const std::u16string after = work.substr(dot + 1);
    const std::u16string before = work.substr(0, dot);
    if (after.size() > kMaxExtension + 1 || after == u"+" || before == u"+") {
        baseName.clear();
        return {};
    }
    baseName = before.substr(1);
    return after.substr(0, after.size() - 1);
}

bool IsFormattingControl(char16_t c) noexcept {
    return c == 0x061C || c == 0x200E || c == 0x200F || (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069);
}

bool IsForbiddenInFileName(char16_t c) noexcept {
    return c < 0x20 || std::u16string_view(u"\\/:*?\"<>|").find(c) != std::u16string_view::npos;
}

bool IsReservedDeviceName(std::u16string_view name) noexcept {
    // The system reads the part before the first dot, trailing spaces ignored, in any letter case.
    name = name.substr(0, std::min(name.find(u'.'), name.size()));
    while (!name.empty() && name.back() == u' ') name.remove_suffix(1);
    if (name.size() < 3 || name.size() > 7) return false;
    char16_t upper[7] = {};
    std::transform(name.begin(), name.end(), upper, base::AsciiUpper<char16_t>);
    const std::u16string_view u(upper, name.size());
    if (u == u"CON" || u == u"PRN" || u == u"AUX" || u == u"NUL" || u == u"CONIN$" || u == u"CONOUT$") return true;
    if (u.size() != 4 || (!u.starts_with(u"COM") && !u.starts_with(u"LPT"))) return false;
    const char16_t digit = u[3];
    return (digit >= u'1' && digit <= u'9') || digit == u'\u00B9' || digit == u'\u00B2' || digit == u'\u00B3';
}

std::u16string ReplaceUnsafeCharacters(std::u16string text) {
    for (char16_t& c : text)
        if (IsForbiddenInFileName(c) || IsFormattingControl(c)) c = u'_';
    return text;
}

std::u16string SafeFileName(const std::u16string& fileName) {
    const auto separator = fileName.find_last_of(u"\\/");
    const std::u16string name =
        ReplaceUnsafeCharacters(separator == std::u16string::npos ? fileName : fileName.substr(separator + 1));
    // Without a length limit, fitting only drops the trailing dots and spaces and guards devices.
    return TryFitName(name, {}, std::u16string::npos).value_or(std::u16string());
}

std::size_t RoomInFolder(const std::u16string& folder) noexcept {
    if (folder.empty()) return MaxNameLength;
    const std::size_t used = folder.size() + (folder.back() == u'\\' ? 0 : 1);
    return used >= MaxPathLength ? 0 : std::min(MaxNameLength, MaxPathLength - used);
}

std::optional<std::u16string> TryFitName(const std::u16string& head, const std::u16string& tail, std::size_t room) {
    if (tail.size() > room || (!tail.empty() && !IsSoundEnd(tail.back()))) return std::nullopt;
    // "CON.txt" and "CON" open the device; "_CON.txt" is a file.
    const std::u16string start = IsReservedDeviceName(head + tail) ? u"_" + head : head;
    const std::size_t least = start.empty() ? 0 : 1;
    // Candidates are checked cheaply first: a name of thousands of spaces must not cost a copy each.
    for (std::size_t n = std::min(start.size(), room - tail.size()) + 1; n-- > least;) {
        if (n > 0 && n < start.size() && IsHighSurrogate(start[n - 1]) && IsLowSurrogate(start[n])) continue;
        if (tail.empty() && (n == 0 || !IsSoundEnd(start[n - 1]))) continue;
        std::u16string name = start.substr(0, n) + tail;
        if (!IsReservedDeviceName(name)) return name;
    }
    return std::nullopt;
}

std::u16string FitFileName(const std::u16string& name, const std::u16string& folder) {
    const std::size_t room = RoomInFolder(folder);
    if (name.size() <= room) return name;
    const auto dot = name.rfind(u'.');
    const bool hasExtension = dot != std::u16string::npos && dot > 0 && name.size() - dot - 1 >= 1 &&
                              name.size() - dot - 1 <= kMaxExtension;
    const std::u16string head = hasExtension ? name.substr(0, dot) : name;
    const std::u16string tail = hasExtension ? name.substr(dot) : std::u16string();
    return TryFitName(head, tail, room).value_or(name);
}

bool SamePath(std::u16string_view a, std::u16string_view b) noexcept {
    return base::EqualsIgnoringAsciiCase(a, b);
}

}  // namespace PathNames

}  // namespace addin
