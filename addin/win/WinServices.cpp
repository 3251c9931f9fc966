#include "win/WinServices.h"

#include <windows.h>
#include <shlwapi.h>

#include "base/HostError.h"

namespace winsvc {
namespace {

// On mingw-w64 wchar_t is UTF-16, so the host's strings cross unchanged.
static_assert(sizeof(wchar_t) == sizeof(char16_t));

std::wstring Wide(const std::u16string& s) { return std::wstring(s.begin(), s.end()); }
std::u16string U16(const wchar_t* s, std::size_t n) { return std::u16string(s, s + n); }

int32_t LastErrorStatus() { return static_cast<int32_t>(HRESULT_FROM_WIN32(GetLastError())); }

}  // namespace

int32_t FileExists(const std::u16string& path) { return PathFileExistsW(Wide(path).c_str()); }

FindOptions RunningFindOptions() noexcept {
    OSVERSIONINFOA info{};
    info.dwOSVersionInfoSize = sizeof info;
    if (!GetVersionExA(&info)) return FindOptions::Classic;
    const bool seven = info.dwMajorVersion > 6 || (info.dwMajorVersion == 6 && info.dwMinorVersion >= 1);
    return seven ? FindOptions::Windows7 : FindOptions::Classic;
}

std::optional<std::vector<std::u16string>> ListFolder(const std::u16string& folder, const std::u16string& prefix,
                                                      bool withAliases, FindOptions options) {
    struct Search {
        HANDLE handle = INVALID_HANDLE_VALUE;
        ~Search() {
            if (handle != INVALID_HANDLE_VALUE) FindClose(handle);
        }
    } search;
    const std::wstring pattern = Wide(folder + u"\\" + prefix + u"*");
    WIN32_FIND_DATAW found{};
    if (options == FindOptions::Windows7) {
        // The basic level leaves the aliases out, which is all it saves.
        search.handle = FindFirstFileExW(pattern.c_str(), withAliases ? FindExInfoStandard : FindExInfoBasic, &found,
                                         FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH);
        if (search.handle == INVALID_HANDLE_VALUE && GetLastError() == ERROR_INVALID_PARAMETER)
            options = FindOptions::Classic;
    }
    if (options == FindOptions::Classic) search.handle = FindFirstFileW(pattern.c_str(), &found);
    if (search.handle == INVALID_HANDLE_VALUE) {
        // A folder that does not exist holds nothing, as each existence test in it would say.
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_NO_MORE_FILES || error == ERROR_PATH_NOT_FOUND)
            return std::vector<std::u16string>{};
        return std::nullopt;
    }
    std::vector<std::u16string> names;
    do {
        names.push_back(U16(found.cFileName, wcsnlen(found.cFileName, MAX_PATH)));
        if (withAliases && found.cAlternateFileName[0] != L'\0')
            names.push_back(U16(found.cAlternateFileName, wcsnlen(found.cAlternateFileName, 14)));
    } while (FindNextFileW(search.handle, &found));
    if (GetLastError() != ERROR_NO_MORE_FILES) return std::nullopt;
    return names;
}

bool IsOnNetwork(const std::u16string& folder) {
    if (folder.size() >= 2 && folder[0] == u'\\' && folder[1] == u'\\') return true;
    // The drive's root, or the current drive's for a folder without one.
    if (folder.size() >= 2 && folder[1] == u':') return GetDriveTypeW(Wide(folder.substr(0, 2) + u"\\").c_str()) == DRIVE_REMOTE;
    return GetDriveTypeW(nullptr) == DRIVE_REMOTE;
}

std::u16string FileSystemUpperCase(const std::u16string& name) {
    if (name.empty()) return name;
    // Without LCMAP_LINGUISTIC_CASING the system cases as its file systems compare names, the same
    // in every locale (no Turkish dotted I).
    std::wstring upper(name.size(), L'\0');
    const int length = static_cast<int>(name.size());
    const int written = LCMapStringW(LOCALE_SYSTEM_DEFAULT, LCMAP_UPPERCASE, Wide(name).c_str(), length, upper.data(), length);
    if (written != length) throw HostError(LastErrorStatus(), u"The name cannot be put in upper case");
    return U16(upper.c_str(), upper.size());
}

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
