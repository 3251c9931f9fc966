#pragma once
// ASCII letter case: the one case folding the project needs. Identifiers, tags, settings' text and
// file names are compared as the host and the system compare their ASCII letters; other letters
// compare exactly, which for a name is the safe answer ("different").
#include <algorithm>
#include <string>
#include <string_view>

namespace base {

template <class Char>
constexpr Char AsciiUpper(Char c) noexcept {
    return c >= Char('a') && c <= Char('z') ? static_cast<Char>(c - Char('a') + Char('A')) : c;
}

template <class Char>
constexpr Char AsciiLower(Char c) noexcept {
    return c >= Char('A') && c <= Char('Z') ? static_cast<Char>(c - Char('A') + Char('a')) : c;
}

/// `text` with its ASCII letters in upper case.
template <class Char>
std::basic_string<Char> ToAsciiUpper(std::basic_string<Char> text) {
    std::transform(text.begin(), text.end(), text.begin(), AsciiUpper<Char>);
    return text;
}

/// `text` with its ASCII letters in lower case.
template <class Char>
std::basic_string<Char> ToAsciiLower(std::basic_string<Char> text) {
    std::transform(text.begin(), text.end(), text.begin(), AsciiLower<Char>);
    return text;
}

template <class Char>
constexpr bool EqualsIgnoringAsciiCase(std::basic_string_view<Char> a, std::basic_string_view<Char> b) noexcept {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](Char x, Char y) { return AsciiUpper(x) == AsciiUpper(y); });
}

}  // namespace base
