#pragma once
// What the fuzz targets share: the input read as lines of text, an independent statement of what a
// sound Windows file name is, an in-memory folder behind the platform's existence test and listing, and a check
// that stops the run with a message when a property does not hold.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "addin/core/Platform.h"
#include "addin/core/host/Item.h"
#include "base/HostError.h"
#include "tests/support/StrictPlatform.h"

namespace addin {

namespace fuzz {

/// Stops the run (libFuzzer saves the input) when `holds` is false.
inline void Check(bool holds, const char* property) {
    if (holds) return;
    std::fprintf(stderr, "property does not hold: %s\n", property);
    std::abort();
}

/// The input as lines of UTF-16 text, so that seeds stay readable: UTF-8 split at line feeds. UTF-8
/// that encodes a surrogate (ED A0 80 ...) gives that lone surrogate, and any other byte that is not
/// UTF-8 gives U+DC00 + the byte: every UTF-16 string can be reached.
inline std::vector<std::u16string> Lines(const uint8_t* data, std::size_t size) {
    std::vector<std::u16string> lines(1);
    for (std::size_t i = 0; i < size;) {
        const uint8_t b = data[i];
        if (b == '\n') {
            lines.emplace_back();
            ++i;
            continue;
        }
        const std::size_t length = b < 0x80 ? 1 : (b >> 5) == 6 ? 2 : (b >> 4) == 14 ? 3 : (b >> 3) == 30 ? 4 : 0;
        char32_t c = length == 1 ? b : length == 2 ? b & 0x1F : length == 3 ? b & 0x0F : b & 0x07;
        bool valid = length != 0 && i + length <= size;
        for (std::size_t k = 1; valid && k < length; ++k) {
            valid = (data[i + k] & 0xC0) == 0x80;
            c = (c << 6) | (data[i + k] & 0x3F);
        }
        static constexpr char32_t least[] = {0, 0, 0x80, 0x800, 0x10000};
        valid = valid && c >= least[length] && c <= 0x10FFFF;
        std::u16string& line = lines.back();
        if (!valid) {
            line += static_cast<char16_t>(0xDC00 + b);
            ++i;
            continue;
        }
        if (c >= 0x10000) {
            line += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
            line += static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
        } else {
            line += static_cast<char16_t>(c);
        }
        i += length;
    }
    return lines;
}

inline char16_t AsciiUpper(char16_t c) { return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - 32) : c; }

/// A name the system writes as it is shown, in the folder it is written to: not empty, no folder
/// part or stream (\ / :), none of * ? " < > | or U+0000-U+001F, no control that reorders or hides
/// text, no trailing dot or space (which the system drops; "." and ".." included), and no device.
/// Written apart from the code under test, from the system's documented rules.
inline bool IsSoundFileName(std::u16string_view name) {
    if (name.empty() || name.back() == u'.' || name.back() == u' ') return false;
    for (char16_t c : name) {
        if (c < 0x20 || std::u16string_view(u"\\/:*?\"<>|").find(c) != std::u16string_view::npos) return false;
        if (c == 0x061C || c == 0x200E || c == 0x200F || (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069))
            return false;
    }
    std::u16string device;
    for (char16_t c : name.substr(0, name.find(u'.'))) device += AsciiUpper(c);
    while (!device.empty() && device.back() == u' ') device.pop_back();
    static const std::set<std::u16string> devices = {
        u"CON",  u"PRN",  u"AUX",  u"NUL",  u"CONIN$", u"CONOUT$", u"COM1", u"COM2", u"COM3", u"COM4", u"COM5",
        u"COM6", u"COM7", u"COM8", u"COM9", u"LPT1",   u"LPT2",    u"LPT3", u"LPT4", u"LPT5", u"LPT6", u"LPT7",
        u"LPT8", u"LPT9", u"COM\u00B9", u"COM\u00B2", u"COM\u00B3", u"LPT\u00B9", u"LPT\u00B2", u"LPT\u00B3"};
    return devices.count(device) == 0;
}

/// True when cutting `text` before position `at` separates a surrogate pair.
inline bool SplitsPairAt(std::u16string_view text, std::size_t at) {
    return at > 0 && at < text.size() && text[at - 1] >= 0xD800 && text[at - 1] <= 0xDBFF && text[at] >= 0xDC00 &&
           text[at] <= 0xDFFF;
}

/// A letter in upper case as the file system's table has it, for the letters the folders here use:
/// ASCII, Latin-1 (but ÿ and ß), Greek and Cyrillic, and the dotless ı that becomes I: unlike the C
/// locale's, and the same in every locale.
inline char16_t FileSystemUpper(char16_t c) {
    if ((c >= u'a' && c <= u'z') || (c >= 0xE0 && c <= 0xFE && c != 0xF7) || (c >= 0x3B1 && c <= 0x3C9 && c != 0x3C2) ||
        (c >= 0x430 && c <= 0x44F))
        return static_cast<char16_t>(c - 0x20);
    if (c >= 0x450 && c <= 0x45F) return static_cast<char16_t>(c - 0x50);
    if (c == 0x131) return u'I';
    return c;
}

/// One folder in memory, as the system sees names in it: letter case (FileSystemUpper) and trailing
/// dots and spaces do not tell names apart, and an entry may also be found by its short alias. It
/// answers the platform's existence test and its listing of the folder from the same contents, and
/// asserts that no path outside the folder is ever asked about.
class InMemoryFolder final : public StrictPlatform {
public:
    InMemoryFolder(std::u16string folder, bool dateFormattable) : folder_(std::move(folder)), dates_(dateFormattable) {}

    /// A name as the system writes it: without trailing dots and spaces.
    static std::u16string Written(std::u16string_view name) {
        while (!name.empty() && (name.back() == u'.' || name.back() == u' ')) name.remove_suffix(1);
        return std::u16string(name);
    }
    static std::u16string Key(std::u16string_view name) {
        std::u16string key = Written(name);
        for (char16_t& c : key) c = FileSystemUpper(c);
        return key;
    }
    /// Adds an entry (the first of those the system takes for one stays), with its short alias
    /// when `alias` is not empty and names no other entry.
    void Add(std::u16string_view name, std::u16string_view alias = {}) {
        if (name.empty() || Holds(name)) return;
        Entry& entry = entries_.emplace(Key(name), Entry{Written(name), {}}).first->second;
        if (!alias.empty() && !Holds(alias)) {
            entry.alias = Written(alias);
            aliases_.emplace(Key(alias), Key(name));
        }
    }
    bool Holds(std::u16string_view name) const {
        const std::u16string key = Key(name);
        return entries_.count(key) != 0 || aliases_.count(key) != 0;
    }
    std::size_t Size() const { return entries_.size(); }
    int Tests() const { return tests_; }
    int Listings() const { return listings_; }
    /// Whether the folder is on a share (where the suggestions list at once) or a local disk.
    bool network = true;

    int32_t FileExists(const std::u16string& path) override {
        ++tests_;
        const std::u16string prefix = folder_ + u"\\";
        Check(path.size() > prefix.size() && path.compare(0, prefix.size(), prefix) == 0,
              "every path tested is a name in the folder");
        const std::u16string name = path.substr(prefix.size());
        Check(name.find_first_of(u"\\/") == std::u16string::npos, "no name tested reaches into another folder");
        return Holds(name) ? 1 : 0;
    }
    std::optional<std::vector<std::u16string>> ListFolder(const std::u16string& folder, const std::u16string& prefix,
                                                          bool withAliases) override {
        ++listings_;
        Check(folder == folder_, "only the folder is listed");
        Check(std::all_of(prefix.begin(), prefix.end(), [](char16_t c) { return c >= 0x20 && !IsWildcard(c); }),
              "the prefix listed holds no wildcard or control");
        std::u16string start(prefix);
        for (char16_t& c : start) c = FileSystemUpper(c);
        std::vector<std::u16string> names;
        for (const auto& [key, entry] : entries_) {
            const bool byAlias = !entry.alias.empty() && Key(entry.alias).starts_with(start);
            if (!key.starts_with(start) && !byAlias) continue;
            names.push_back(entry.name);
            if (withAliases && !entry.alias.empty()) names.push_back(entry.alias);
        }
        return names;
    }
    bool IsOnNetwork(const std::u16string& folder) override {
        Check(folder == folder_, "only the folder is asked about");
        return network;
    }
    std::u16string FileSystemUpperCase(const std::u16string& name) override {
        std::u16string upper = name;
        for (char16_t& c : upper) c = FileSystemUpper(c);
        return upper;
    }
    std::u16string FormatDate(const host::DateTime& value, const std::u16string&) override {
        if (!dates_) throw HostError(HostStatus::InvalidArg, u"The date cannot be formatted");
        const std::string text = std::to_string(value.day) + "-Mar-" + std::to_string(value.year);
        return std::u16string(text.begin(), text.end());
    }

protected:
    void Unexpected(const char*) noexcept override {
        Check(false, "the suggestions use no platform service but the folder's and the date");
    }

private:
    static bool IsWildcard(char16_t c) { return std::u16string_view(u"*?<>\"|\\/:").find(c) != std::u16string_view::npos; }
    struct Entry {
        std::u16string name;
        std::u16string alias;
    };
    std::u16string folder_;
    bool dates_;
    std::map<std::u16string, Entry> entries_;         // by Key of the name
    std::map<std::u16string, std::u16string> aliases_;  // Key of an alias to the Key of its entry
    int tests_ = 0;
    int listings_ = 0;
};

/// A mail message as the suggestions read it: its type name, sender and sent date.
class MailItem final : public host::Item {
public:
    MailItem(std::u16string typeName, std::u16string sender) : typeName_(std::move(typeName)), sender_(std::move(sender)) {}
    std::u16string TypeName() override { return typeName_; }
    std::u16string SenderName() override { return sender_; }
    host::DateTime SentOn() override { return {2004, 3, 5, 14, 30, 0}; }
    std::u16string HTMLBody() override { return {}; }
    std::u16string Subject() override { return {}; }
    std::shared_ptr<host::Attachments> Attachments() override { return Unexpected<std::shared_ptr<host::Attachments>>(); }
    void SetHTMLBody(const std::u16string&) override { Unexpected<bool>(); }
    int32_t BodyFormat() override { return Unexpected<int32_t>(); }
    std::u16string Body() override { return Unexpected<std::u16string>(); }
    void SetBody(const std::u16string&) override { Unexpected<bool>(); }
    std::string RTFBody() override { return Unexpected<std::string>(); }
    void SetRTFBody(const std::string&) override { Unexpected<bool>(); }
    std::u16string MessageClass() override { return Unexpected<std::u16string>(); }
    std::shared_ptr<host::PropertyAccessor> PropertyAccessor() override {
        return Unexpected<std::shared_ptr<host::PropertyAccessor>>();
    }
    bool Saved() override { return Unexpected<bool>(); }
    void Save() override { Unexpected<bool>(); }
    bool Sent() override { return Unexpected<bool>(); }
    bool SameObject(const Object& other) const override { return this == &other; }

private:
    template <class T>
    static T Unexpected() {
        Check(false, "the suggestions read nothing of the item but its type name, sender and date");
        return T{};
    }
    std::u16string typeName_;
    std::u16string sender_;
};

}  // namespace fuzz

}  // namespace addin
