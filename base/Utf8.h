#pragma once
// UTF-16 to UTF-8 and back, strict both ways: text bound for a URI or read back from one is either
// sound or refused, never patched with replacement characters that would name another file.
#include <optional>
#include <string>
#include <string_view>

namespace base {

/// Appends the code point `c` to `out` in UTF-8.
inline void AppendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

/// `text` as UTF-8, each lone surrogate as U+FFFD when `lenient`; nothing for one otherwise.
inline std::optional<std::string> ToUtf8(std::u16string_view text, bool lenient) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t c = text[i];
        if (c >= 0xD800 && c <= 0xDFFF) {
            if (c < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
                c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
            } else if (lenient) {
                c = 0xFFFD;
            } else {
                return std::nullopt;
            }
        }
        AppendUtf8(out, c);
    }
    return out;
}

/// `text` as UTF-8; nothing when it holds a lone surrogate.
inline std::optional<std::string> ToUtf8(std::u16string_view text) { return ToUtf8(text, false); }

/// `text` as UTF-8 for showing it: a lone surrogate becomes U+FFFD.
inline std::string ToUtf8Shown(std::u16string_view text) { return *ToUtf8(text, true); }

/// `bytes` as UTF-16; nothing for anything that is not UTF-8: a stray or missing continuation
/// byte, an overlong form, an encoded surrogate, a value beyond U+10FFFF.
inline std::optional<std::u16string> FromUtf8(std::string_view bytes) {
    std::u16string out;
    out.reserve(bytes.size());
    for (std::size_t i = 0; i < bytes.size();) {
        const auto lead = static_cast<unsigned char>(bytes[i]);
        std::size_t length = 0;
        char32_t c = 0;
        if (lead < 0x80) {
            length = 1, c = lead;
        } else if (lead >= 0xC2 && lead < 0xE0) {
            length = 2, c = lead & 0x1F;
        } else if (lead >= 0xE0 && lead < 0xF0) {
            length = 3, c = lead & 0x0F;
        } else if (lead >= 0xF0 && lead < 0xF5) {
            length = 4, c = lead & 0x07;
        } else {
            return std::nullopt;
        }
        if (bytes.size() - i < length) return std::nullopt;
        for (std::size_t k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(bytes[i + k]);
            if ((next & 0xC0) != 0x80) return std::nullopt;
            c = (c << 6) | (next & 0x3F);
        }
        constexpr char32_t kLeast[] = {0, 0, 0x80, 0x800, 0x10000};
        if (c < kLeast[length] || (c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF) return std::nullopt;
        if (c < 0x10000) {
            out += static_cast<char16_t>(c);
        } else {
            out += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
            out += static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
        }
        i += length;
    }
    return out;
}

}  // namespace base
