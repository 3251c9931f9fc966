#include "com/Strings.h"

#include <new>

#include "base/Ascii.h"

namespace com {

Bstr::Bstr(std::u16string_view text) {
    s_ = SysAllocStringLen(reinterpret_cast<const OLECHAR*>(text.data()), static_cast<UINT>(text.size()));
    if (!s_) throw std::bad_alloc();
}

Bstr::Bstr(const Bstr& other) {
    if (!other.s_) return;
    s_ = SysAllocStringLen(other.s_, other.length());
    if (!s_) throw std::bad_alloc();
}

std::u16string Bstr::str() const { return fromBstr(s_); }

std::u16string fromBstr(BSTR s) {
    if (!s) return {};
    return std::u16string(reinterpret_cast<const char16_t*>(s), SysStringLen(s));
}

std::u16string fromWide(const wchar_t* s) {
    if (!s) return {};
    return std::u16string(reinterpret_cast<const char16_t*>(s));
}

std::u16string fromWide(std::wstring_view s) {
    return std::u16string(reinterpret_cast<const char16_t*>(s.data()), s.size());
}

std::wstring toWide(std::u16string_view s) { return std::wstring(reinterpret_cast<const wchar_t*>(s.data()), s.size()); }

std::wstring decimal(unsigned long value) {
    wchar_t digits[24];
    wchar_t* start = digits + 24;
    do {
        *--start = static_cast<wchar_t>(L'0' + value % 10);
        value /= 10;
    } while (value != 0);
    return std::wstring(start, digits + 24);
}

bool sameIdentifier(const wchar_t* a, const wchar_t* b) noexcept {
    if (!a || !b) return false;
    return base::EqualsIgnoringAsciiCase(std::wstring_view(a), std::wstring_view(b));
}

}  // namespace com
