#include "win/WinServices.h"

#include <windows.h>
#include <shlwapi.h>

#include "core/HostError.h"

namespace winsvc {
namespace {

// On mingw-w64 wchar_t is UTF-16, so the host's strings cross unchanged.
static_assert(sizeof(wchar_t) == sizeof(char16_t));

std::wstring Wide(const std::u16string& s) { return std::wstring(s.begin(), s.end()); }
std::u16string U16(const wchar_t* s, std::size_t n) { return std::u16string(s, s + n); }

int32_t LastErrorStatus() { return static_cast<int32_t>(HRESULT_FROM_WIN32(GetLastError())); }

}  // namespace

int32_t FileExists(const std::u16string& path) { return PathFileExistsW(Wide(path).c_str()); }

std::u16string FormatDate(const host::DateTime& value, const std::u16string& pattern) {
    // The system's date pictures write the month as "M"; lower-case "m" has no meaning there.
    std::wstring picture = Wide(pattern);
    for (wchar_t& c : picture) {
        if (c == L'm') c = L'M';
    }
    SYSTEMTIME st{};
    st.wYear = static_cast<WORD>(value.year);
    st.wMonth = static_cast<WORD>(value.month);
    st.wDay = static_cast<WORD>(value.day);
    const int needed = GetDateFormatW(LOCALE_USER_DEFAULT, 0, &st, picture.c_str(), nullptr, 0);
    if (needed <= 0) throw HostError(LastErrorStatus(), u"The date cannot be formatted");
    std::wstring text(static_cast<std::size_t>(needed), L'\0');
    const int written = GetDateFormatW(LOCALE_USER_DEFAULT, 0, &st, picture.c_str(), text.data(), needed);
    if (written <= 0) throw HostError(LastErrorStatus(), u"The date cannot be formatted");
    return U16(text.c_str(), static_cast<std::size_t>(written - 1));
}

}  // namespace winsvc
