#include "addin/core/FileUri.h"

#include <vector>

#include "addin/core/PathNames.h"
#include "base/Ascii.h"
#include "base/Utf8.h"

namespace addin {

namespace FileUri {
namespace {

constexpr std::u16string_view kLongPrefix = u"\\\\?\\";
constexpr std::u16string_view kLongUncPrefix = u"\\\\?\\UNC\\";
constexpr char kHex[] = "0123456789ABCDEF";

bool IsAsciiLetter(char32_t c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

// RFC 3986's pchar without ":" and "@" (no file name or server holds a ":"; "@" would read as user
// information in the authority) and without "!".
bool IsKeptAsIs(unsigned char c) {
    return IsAsciiLetter(c) || (c >= '0' && c <= '9') || std::string_view("-._~$&'()*+,;=").find(static_cast<char>(c)) != std::string_view::npos;
}

// What a URI may hold in its path and authority unescaped when we read one back.
bool IsUriCharacter(unsigned char c) {
    return IsKeptAsIs(c) || c == '!' || c == ':' || c == '@';
}

bool IsSoundName(std::u16string_view name) {
    if (name.empty() || name == u"." || name == u"..") return false;
    for (char16_t c : name)
        if (PathNames::IsForbiddenInFileName(c)) return false;
    return true;
}

std::vector<std::u16string_view> Split(std::u16string_view text, std::u16string_view separators) {
    std::vector<std::u16string_view> parts;
    for (;;) {
        const auto at = text.find_first_of(separators);
        parts.push_back(text.substr(0, at));
        if (at == std::u16string_view::npos) return parts;
        text.remove_prefix(at + 1);
    }
}

bool AppendEscaped(std::string& uri, std::u16string_view name) {
    const auto utf8 = base::ToUtf8(name);
    if (!utf8) return false;
    for (char ch : *utf8) {
        const auto c = static_cast<unsigned char>(ch);
        if (IsKeptAsIs(c)) {
            uri += ch;
        } else {
            uri += '%';
            uri += kHex[c >> 4];
            uri += kHex[c & 0xF];
        }
    }
    return true;
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    c = base::AsciiUpper(c);
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::optional<std::u16string> Unescaped(std::string_view part) {
    std::string bytes;
    for (std::size_t i = 0; i < part.size(); ++i) {
        if (part[i] != '%') {
            if (!IsUriCharacter(static_cast<unsigned char>(part[i]))) return std::nullopt;
            bytes += part[i];
            continue;
        }
        if (part.size() - i < 3) return std::nullopt;
        const int high = HexValue(part[i + 1]);
        const int low = HexValue(part[i + 2]);
        if (high < 0 || low < 0) return std::nullopt;
        bytes += static_cast<char>(high * 16 + low);
        i += 2;
    }
    return base::FromUtf8(bytes);
}

}  // namespace

std::optional<std::string> FromPath(std::u16string_view path) {
    bool unc = false;
    std::u16string_view separators = u"\\/";
    if (path.substr(0, kLongUncPrefix.size()) == kLongUncPrefix) {
        // The long forms pass names to the file system as they are: "/" is no separator there.
        unc = true, separators = u"\\", path.remove_prefix(kLongUncPrefix.size());
    } else if (path.substr(0, kLongPrefix.size()) == kLongPrefix) {
        separators = u"\\", path.remove_prefix(kLongPrefix.size());
    } else if (path.size() >= 2 && separators.find(path[0]) != std::u16string_view::npos &&
               separators.find(path[1]) != std::u16string_view::npos) {
        unc = true, path.remove_prefix(2);
    }
    std::string uri = "file://";
    if (!unc) {
        if (path.size() < 3 || !IsAsciiLetter(path[0]) || path[1] != u':' ||
            separators.find(path[2]) == std::u16string_view::npos)
            return std::nullopt;
        uri += '/';
        uri += static_cast<char>(path[0]);
        uri += ':';
        path.remove_prefix(2);  // the separator after the drive starts the names
    }
    const auto names = Split(unc ? path : path.substr(1), separators);
    // A file, not a bare share: server, share and a name; or a drive and a name.
    if (names.size() < (unc ? 3u : 1u)) return std::nullopt;
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (!IsSoundName(names[i])) return std::nullopt;
        if (i > 0 || !unc) uri += '/';
        if (!AppendEscaped(uri, names[i])) return std::nullopt;
    }
    return uri;
}

std::optional<std::u16string> ToPath(std::string_view uri) {
    constexpr std::string_view kScheme = "file://";
    if (uri.size() < kScheme.size() || !base::EqualsIgnoringAsciiCase(uri.substr(0, kScheme.size()), kScheme))
        return std::nullopt;
    uri.remove_prefix(kScheme.size());
    const auto slash = uri.find('/');
    if (slash == std::string_view::npos) return std::nullopt;
    const std::string_view authority = uri.substr(0, slash);
    std::vector<std::string_view> parts;
    for (std::string_view rest = uri.substr(slash + 1);;) {
        const auto at = rest.find('/');
        parts.push_back(rest.substr(0, at));
        if (at == std::string_view::npos) break;
        rest.remove_prefix(at + 1);
    }
    std::u16string path;
    std::size_t firstName = 0;
    const bool local = authority.empty() || base::EqualsIgnoringAsciiCase(authority, std::string_view("localhost"));
    if (local) {
        const std::string_view drive = parts[0];
        if (drive.size() != 2 || !IsAsciiLetter(static_cast<unsigned char>(drive[0])) || drive[1] != ':')
            return std::nullopt;
        path += static_cast<char16_t>(drive[0]);
        path += u':';
        firstName = 1;
        if (parts.size() < 2) return std::nullopt;
    } else {
        const auto server = Unescaped(authority);
        if (!server || !IsSoundName(*server) || parts.size() < 2) return std::nullopt;
        path = u"\\\\" + *server;
    }
    for (std::size_t i = firstName; i < parts.size(); ++i) {
        const auto name = Unescaped(parts[i]);
        if (!name || !IsSoundName(*name)) return std::nullopt;
        path += u'\\';
        path += *name;
    }
    if (path.size() <= PathNames::MaxPathLength) return path;
    return local ? std::u16string(kLongPrefix) + path : std::u16string(kLongUncPrefix) + path.substr(2);
}

}  // namespace FileUri

}  // namespace addin
