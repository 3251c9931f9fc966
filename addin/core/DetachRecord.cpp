#include "addin/core/DetachRecord.h"

#include <optional>

namespace addin {

namespace DetachRecord {
namespace {

constexpr std::u16string_view kFirstLine = u"tallowby-saved-attachments 1";
constexpr std::u16string_view kLineBreak = u"\r\n";

std::u16string Escaped(std::u16string_view field) {
    std::u16string out;
    for (char16_t c : field) {
        switch (c) {
            case u'%': out += u"%25"; break;
            case u'\t': out += u"%09"; break;
            case u'\r': out += u"%0D"; break;
            case u'\n': out += u"%0A"; break;
            default: out += c;
        }
    }
    return out;
}

std::optional<std::u16string> Unescaped(std::u16string_view field) {
    std::u16string out;
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] != u'%') {
            if (field[i] == u'\r' || field[i] == u'\n') return std::nullopt;
            out += field[i];
            continue;
        }
        if (field.size() - i < 3) return std::nullopt;
        std::u16string code(field.substr(i + 1, 2));
        if (code[1] >= u'a' && code[1] <= u'z') code[1] = static_cast<char16_t>(code[1] - u'a' + u'A');
        if (code == u"25") {
            out += u'%';
        } else if (code == u"09") {
            out += u'\t';
        } else if (code == u"0D") {
            out += u'\r';
        } else if (code == u"0A") {
            out += u'\n';
        } else {
            return std::nullopt;
        }
        i += 2;
    }
    return out;
}

bool IsLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

bool IsSound(const UtcTime& t) {
    constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (t.year < 1 || t.year > 9999 || t.month < 1 || t.month > 12 || t.day < 1) return false;
    const int days = kDays[t.month - 1] + (t.month == 2 && IsLeapYear(t.year) ? 1 : 0);
    return t.day <= days && t.hour >= 0 && t.hour < 24 && t.minute >= 0 && t.minute < 60 && t.second >= 0 &&
           t.second < 60;
}

bool IsSoundHash(std::string_view hash) {
    if (hash.size() != 64) return false;
    for (char c : hash)
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
    return true;
}

bool IsSound(const Entry& entry) { return !entry.path.empty() && IsSoundHash(entry.sha256) && IsSound(entry.saved); }

std::u16string Ascii(std::string_view text) { return std::u16string(text.begin(), text.end()); }

std::u16string Line(const Entry& entry) {
    return Escaped(entry.displayName) + u'\t' + Escaped(entry.path) + u'\t' + Ascii(std::to_string(entry.size)) +
           u'\t' + Ascii(entry.sha256) + u'\t' + Ascii(TimeText(entry.saved));
}

std::optional<std::uint64_t> SizeOf(std::u16string_view text) {
    if (text.empty() || text.size() > 20 || (text.size() > 1 && text[0] == u'0')) return std::nullopt;
    std::uint64_t value = 0;
    for (char16_t c : text) {
        if (c < u'0' || c > u'9') return std::nullopt;
        const std::uint64_t digit = c - u'0';
        if (value > (UINT64_MAX - digit) / 10) return std::nullopt;
        value = value * 10 + digit;
    }
    return value;
}

std::optional<int> Number(std::u16string_view text) {
    int value = 0;
    for (char16_t c : text) {
        if (c < u'0' || c > u'9') return std::nullopt;
        value = value * 10 + (c - u'0');
    }
    return value;
}

std::optional<UtcTime> TimeOf(std::u16string_view text) {
    // YYYY-MM-DDTHH:MM:SSZ
    if (text.size() != 20 || text[4] != u'-' || text[7] != u'-' || text[10] != u'T' || text[13] != u':' ||
        text[16] != u':' || text[19] != u'Z')
        return std::nullopt;
    const auto year = Number(text.substr(0, 4)), month = Number(text.substr(5, 2)), day = Number(text.substr(8, 2)),
               hour = Number(text.substr(11, 2)), minute = Number(text.substr(14, 2)),
               second = Number(text.substr(17, 2));
    if (!year || !month || !day || !hour || !minute || !second) return std::nullopt;
    const UtcTime time{*year, *month, *day, *hour, *minute, *second};
    if (!IsSound(time)) return std::nullopt;
    return time;
}

std::optional<Entry> EntryOf(std::u16string_view line) {
    std::vector<std::u16string_view> fields;
    for (;;) {
        const auto tab = line.find(u'\t');
        fields.push_back(line.substr(0, tab));
        if (tab == std::u16string_view::npos) break;
        line.remove_prefix(tab + 1);
    }
    if (fields.size() != 5) return std::nullopt;
    auto name = Unescaped(fields[0]);
    auto path = Unescaped(fields[1]);
    const auto size = SizeOf(fields[2]);
    const auto time = TimeOf(fields[4]);
    std::string hash;
    for (char16_t c : fields[3]) hash += c < 0x80 ? static_cast<char>(c) : '?';
    if (!name || !path || path->empty() || !size || !IsSoundHash(hash) || !time) return std::nullopt;
    return Entry{std::move(*name), std::move(*path), *size, std::move(hash), *time};
}

}  // namespace

std::string TimeText(const UtcTime& t) {
    auto digits = [](int value, int width) {
        std::string text = std::to_string(value);
        return std::string(width > static_cast<int>(text.size()) ? width - text.size() : 0, '0') + text;
    };
    return digits(t.year, 4) + "-" + digits(t.month, 2) + "-" + digits(t.day, 2) + "T" + digits(t.hour, 2) + ":" +
           digits(t.minute, 2) + ":" + digits(t.second, 2) + "Z";
}

Encoded Encode(const std::vector<Entry>& kept, const std::vector<Entry>& added) {
    Encoded encoded;
    encoded.text = kFirstLine;
    for (const Entry& entry : kept) encoded.text += std::u16string(kLineBreak) + Line(entry);
    for (std::size_t i = 0; i < added.size(); ++i) {
        const std::u16string line = std::u16string(kLineBreak) + Line(added[i]);
        if (!IsSound(added[i]) || encoded.text.size() + line.size() > MaxLength) {
            encoded.notWritten.push_back(i);
        } else {
            encoded.text += line;
        }
    }
    return encoded;
}

Decoded Decode(std::u16string_view text) {
    Decoded decoded;
    const auto firstEnd = text.find(kLineBreak);
    if (text.substr(0, firstEnd) != kFirstLine) return decoded;
    decoded.known = true;
    if (firstEnd == std::u16string_view::npos) return decoded;
    text.remove_prefix(firstEnd + kLineBreak.size());
    for (;;) {
        const auto end = text.find(kLineBreak);
        const auto line = text.substr(0, end);
        // One line break after the last line is tolerated; nothing more.
        if (!(line.empty() && end == std::u16string_view::npos)) {
            if (auto entry = EntryOf(line)) {
                decoded.entries.push_back(std::move(*entry));
            } else {
                ++decoded.malformed;
            }
        }
        if (end == std::u16string_view::npos) break;
        text.remove_prefix(end + kLineBreak.size());
    }
    return decoded;
}

}  // namespace DetachRecord

}  // namespace addin
