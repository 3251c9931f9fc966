#pragma once
// The core's UTF-16 text at the Windows edge: BSTR ownership and conversions to and from wchar_t.
#include <windows.h>
#include <oleauto.h>

#include <string>
#include <string_view>
#include <utility>

namespace com {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "Windows wide characters are UTF-16 code units");

/// Owns one BSTR (SysFreeString on destruction). An empty Bstr holds a null BSTR, which COM treats
/// as the empty string.
class Bstr {
public:
    Bstr() noexcept = default;
    /// Copies `text`, embedded NULs included. Throws std::bad_alloc.
    explicit Bstr(std::u16string_view text);
    Bstr(const Bstr& other);
    Bstr(Bstr&& other) noexcept : s_(other.release()) {}
    Bstr& operator=(Bstr other) noexcept {
        std::swap(s_, other.s_);
        return *this;
    }
    ~Bstr() { SysFreeString(s_); }

    /// Takes ownership of `s`.
    [[nodiscard]] static Bstr adopt(BSTR s) noexcept {
        Bstr b;
        b.s_ = s;
        return b;
    }

    BSTR get() const noexcept { return s_; }
    [[nodiscard]] BSTR release() noexcept { return std::exchange(s_, nullptr); }
    /// Frees what is held and returns the slot for an out-parameter.
    [[nodiscard]] BSTR* put() noexcept {
        SysFreeString(std::exchange(s_, nullptr));
        return &s_;
    }
    UINT length() const noexcept { return SysStringLen(s_); }
    std::u16string str() const;

private:
    BSTR s_ = nullptr;
};

/// The characters of a BSTR (its stored length, so embedded NULs are kept); null gives "".
std::u16string fromBstr(BSTR s);
/// A null-terminated wide string; null gives "".
std::u16string fromWide(const wchar_t* s);
std::u16string fromWide(std::wstring_view s);
std::wstring toWide(std::u16string_view s);

/// Whether two member names are the same identifier: equal but for the case of the ASCII letters.
/// This is the system's ordinal, case-insensitive comparison for names written in ASCII, and needs
/// no locale (a user locale would fold "i" and "I" differently in Turkish). Null matches nothing.
[[nodiscard]] bool sameIdentifier(const wchar_t* a, const wchar_t* b) noexcept;

/// A number in plain decimal. (std::to_wstring formats through the C runtime's whole printf, which
/// would be most of a DLL's size.)
std::wstring decimal(unsigned long value);

/// A view of the core's string as a null-terminated wide string, for calls taking LPCWSTR.
inline const wchar_t* wide(const std::u16string& s) noexcept { return reinterpret_cast<const wchar_t*>(s.c_str()); }

}  // namespace com
