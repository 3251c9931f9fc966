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

bool MarkAsFromInternet(const std::u16string& path) noexcept {
    // What the system itself writes for a download; readers take the section and key, in any order.
    static constexpr char Mark[] = "[ZoneTransfer]\r\nZoneId=3\r\n";
    try {
        // Only a file is marked: an empty path would otherwise name a stream of the current folder.
        const DWORD attributes = GetFileAttributesW(Wide(path).c_str());
        if (path.empty() || attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) return false;
        const HANDLE stream = CreateFileW(Wide(path + u":Zone.Identifier").c_str(), GENERIC_WRITE, 0, nullptr,
                                          CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (stream == INVALID_HANDLE_VALUE) return false;
        DWORD written = 0;
        const BOOL ok = WriteFile(stream, Mark, sizeof Mark - 1, &written, nullptr);
        CloseHandle(stream);
        return ok && written == sizeof Mark - 1;
    } catch (...) {
        return false;  // only the path's copy can fail: out of memory
    }
}

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
