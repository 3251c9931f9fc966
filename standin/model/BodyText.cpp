#include "standin/model/BodyText.h"

#include <cctype>
#include <cstdlib>
#include <utility>
#include <vector>

#include "base/Ascii.h"

namespace standin {

namespace {

constexpr std::u16string_view kLineEnd = u"\r\n";

bool IsNameChar(char16_t c) { return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9'); }

// The tag's name in lower case, "/p" for an end tag.
std::u16string TagName(std::u16string_view tag) {
    size_t i = 0;
    std::u16string name;
    if (i < tag.size() && tag[i] == u'/') name += tag[i++];
    while (i < tag.size() && IsNameChar(tag[i])) name += tag[i++];
    return base::ToAsciiLower(std::move(name));
}

void AppendCodePoint(std::u16string& out, unsigned long code) {
    if (code == 0 || code > 0x10FFFF) return;
    if (code < 0x10000) {
        out += static_cast<char16_t>(code);
    } else {
        code -= 0x10000;
        out += static_cast<char16_t>(0xD800 + (code >> 10));
        out += static_cast<char16_t>(0xDC00 + (code & 0x3FF));
    }
}

// Decodes the entity at html[i] ('&'); returns the characters it took, 0 for a lone '&'.
size_t Entity(std::u16string_view html, size_t i, std::u16string& out) {
    const size_t end = html.find(u';', i);
    if (end == std::u16string_view::npos || end - i > 10) return 0;
    const std::u16string_view name = html.substr(i + 1, end - i - 1);
    if (name == u"amp") out += u'&';
    else if (name == u"lt") out += u'<';
    else if (name == u"gt") out += u'>';
    else if (name == u"quot") out += u'"';
    else if (name == u"apos") out += u'\'';
    else if (name == u"nbsp") out += u'\u00A0';
    else if (name.size() > 1 && name[0] == u'#') {
        const bool hex = name[1] == u'x' || name[1] == u'X';
        const std::u16string_view digits = name.substr(hex ? 2 : 1);
        if (digits.empty()) return 0;
        unsigned long code = 0;
        for (char16_t d : digits) {
            const int v = d >= u'0' && d <= u'9'   ? d - u'0'
                          : hex && d >= u'a' && d <= u'f' ? d - u'a' + 10
                          : hex && d >= u'A' && d <= u'F' ? d - u'A' + 10
                                                          : -1;
            if (v < 0 || code > 0x10FFFF) return 0;
            code = code * (hex ? 16 : 10) + static_cast<unsigned long>(v);
        }
        AppendCodePoint(out, code);
    } else {
        return 0;
    }
    return end - i + 1;
}

}  // namespace

std::u16string TextOfHTML(std::u16string_view html) {
    std::u16string out;
    std::u16string skipUntil;  // the end tag of an element whose content is not text
    for (size_t i = 0; i < html.size();) {
        const char16_t c = html[i];
        if (c == u'<') {
            if (html.substr(i, 4) == u"<!--") {
                const size_t end = html.find(u"-->", i + 4);
                i = end == std::u16string_view::npos ? html.size() : end + 3;
                continue;
            }
            const size_t end = html.find(u'>', i);
            const std::u16string_view tag = html.substr(i + 1, (end == std::u16string_view::npos ? html.size() : end) - i - 1);
            i = end == std::u16string_view::npos ? html.size() : end + 1;
            const std::u16string name = TagName(tag);
            if (!skipUntil.empty()) {
                if (name == skipUntil) skipUntil.clear();
                continue;
            }
            if (name == u"head" || name == u"style" || name == u"script") skipUntil = u"/" + name;
            else if (name == u"br" || name == u"/p" || name == u"/div" || name == u"/li") out += kLineEnd;
            continue;
        }
        if (!skipUntil.empty()) {
            ++i;
            continue;
        }
        if (c == u'&') {
            if (const size_t taken = Entity(html, i, out)) {
                i += taken;
                continue;
            }
        }
        // The source's own line breaks are layout, not text.
        if (c != u'\r' && c != u'\n') out += c;
        ++i;
    }
    return out;
}

std::u16string TextOfRTF(std::string_view rtf) {
    struct Group {
        bool skip = false;
        int unicodeSkip = 1;
    };
    std::vector<Group> groups{Group{}};
    std::u16string out;
    int pendingSkip = 0;  // replacement characters of a \uN still to pass over
    bool groupStart = false;
    const auto emit = [&](char16_t c) {
        if (pendingSkip > 0) {
            --pendingSkip;
            return;
        }
        if (!groups.back().skip) out += c;
    };
    for (size_t i = 0; i < rtf.size();) {
        const char c = rtf[i];
        if (c == '{') {
            groups.push_back(groups.back());
            groupStart = true;
            pendingSkip = 0;
            ++i;
            continue;
        }
        if (c == '}') {
            if (groups.size() > 1) groups.pop_back();
            groupStart = false;
            pendingSkip = 0;
            ++i;
            continue;
        }
        if (c == '\\' && i + 1 < rtf.size()) {
            const char n = rtf[i + 1];
            if (n == '\\' || n == '{' || n == '}') {
                emit(static_cast<char16_t>(n));
                i += 2;
                groupStart = false;
                continue;
            }
            if (n == '*') {
                if (groupStart) groups.back().skip = true;
                i += 2;
                continue;
            }
            if (n == '\'') {
                const std::string hex(rtf.substr(i + 2, 2));
                i += 2 + hex.size();
                emit(static_cast<char16_t>(std::strtoul(hex.c_str(), nullptr, 16)));
                groupStart = false;
                continue;
            }
            if (!std::isalpha(static_cast<unsigned char>(n))) {
                // A control symbol: \~ is a non-breaking space, the others (\- \_ \: ...) no text.
                if (n == '~') emit(u'\u00A0');
                i += 2;
                groupStart = false;
                continue;
            }
            size_t j = i + 1;
            std::string word;
            while (j < rtf.size() && std::isalpha(static_cast<unsigned char>(rtf[j]))) word += rtf[j++];
            std::string number;
            if (j < rtf.size() && (rtf[j] == '-' || std::isdigit(static_cast<unsigned char>(rtf[j])))) {
                number += rtf[j++];
                while (j < rtf.size() && std::isdigit(static_cast<unsigned char>(rtf[j]))) number += rtf[j++];
            }
            if (j < rtf.size() && rtf[j] == ' ') ++j;  // the delimiter belongs to the word
            i = j;
            const long value = number.empty() ? 0 : std::strtol(number.c_str(), nullptr, 10);
            if (groupStart && (word == "fonttbl" || word == "colortbl" || word == "stylesheet" || word == "info" ||
                               word == "fldinst" || word == "pict"))
                groups.back().skip = true;
            groupStart = false;
            if (word == "par" || word == "line") {
                for (char16_t e : kLineEnd) emit(e);
            } else if (word == "tab") {
                emit(u'\t');
            } else if (word == "uc") {
                groups.back().unicodeSkip = static_cast<int>(value);
            } else if (word == "u" && !number.empty()) {
                emit(static_cast<char16_t>(value < 0 ? value + 65536 : value));
                pendingSkip = groups.back().unicodeSkip;
            }
            continue;
        }
        ++i;
        if (c == '\r' || c == '\n') continue;
        groupStart = false;
        emit(static_cast<char16_t>(static_cast<unsigned char>(c)));
    }
    return out;
}

}  // namespace standin
