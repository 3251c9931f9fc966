#include "addin/win/WinServices.h"

#include <windows.h>
#include <shlwapi.h>

#include <algorithm>
#include <atomic>
#include <cstring>

#include "addin/core/PathNames.h"
#include "base/HostError.h"
#include "base/Tolerate.h"
#include "com/Handles.h"
#include "com/Strings.h"
#include "com/Win32Error.h"

namespace addin::win {
namespace {

// On mingw-w64 wchar_t is UTF-16, so the host's strings cross unchanged.
static_assert(sizeof(wchar_t) == sizeof(char16_t));

using com::toWide;

// A name for a file of the add-in's own: distinct within the process (a counter) and between
// processes (the process id and the time mixed in). CREATE_NEW settles what is left to chance.
// In a folder so deep that the full name does not fit, as many of the name's last characters as
// `room` allows, down to one hexadecimal digit: a target that fits leaves room for a name of its
// length at least.
std::u16string OwnName(std::size_t room = 17) {
    static std::atomic<uint32_t> counter{0};
    const uint32_t value = (GetCurrentProcessId() * 0x9E3779B1u) ^ GetTickCount() ^ (++counter * 0x85EBCA6Bu);
    std::u16string digits;
    for (int shift = 28; shift >= 0; shift -= 4) digits += u"0123456789abcdef"[(value >> shift) & 0xF];
    const std::u16string name = u".~tlb" + digits + u".tmp";
    if (room >= name.size()) return name;
    // Shorter: the dot that hides it and the digits that vary most, as far as they fit.
    if (room >= 3) return u".~" + digits.substr(digits.size() - std::min<std::size_t>(room - 2, digits.size()));
    return digits.substr(digits.size() - std::max<std::size_t>(room, 1));
}

std::u16string NameOf(const std::u16string& path) { return path.substr(path.find_last_of(u'\\') + 1); }

bool IsFolder(DWORD attributes) {
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// A folder that lets files be made but not renamed or removed: `target` made there as a new, empty
// file for the host to write, without DELETE access, which such a folder refuses. Nothing (write
// in place) once made; an existing file is never written over, so its name is refused.
std::nullopt_t NewFileInPlace(const std::u16string& target) {
    if (com::File(CreateFileW(toWide(target).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                              nullptr)))
        return std::nullopt;
    const DWORD error = GetLastError();
    com::throwWin32(error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS ? ERROR_ACCESS_DENIED : error,
                    u"The folder takes no new file");
}

// The content of `path` on the disk before its name moves: best effort, the move does not depend on it.
void FlushToDisk(const std::wstring& path) {
    const com::File file(CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                     FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file) (void)FlushFileBuffers(file.get());
}

}  // namespace

int32_t FileExists(const std::u16string& path) { return PathFileExistsW(toWide(path).c_str()); }

FindOptions RunningFindOptions() noexcept {
    OSVERSIONINFOA info{};
    info.dwOSVersionInfoSize = sizeof info;
    if (!GetVersionExA(&info)) return FindOptions::Classic;
    const bool seven = info.dwMajorVersion > 6 || (info.dwMajorVersion == 6 && info.dwMinorVersion >= 1);
    return seven ? FindOptions::Windows7 : FindOptions::Classic;
}

namespace {

// One directory query for `pattern`, each entry handed to `take`: false when the folder cannot be
// listed or the listing breaks off; an empty folder, or one that does not exist, lists nothing.
template <typename Take>
bool FindEach(const std::u16string& pattern, bool withAliases, FindOptions options, Take take) {
    com::Find search;
    const std::wstring wide = toWide(pattern);
    WIN32_FIND_DATAW found{};
    if (options == FindOptions::Windows7) {
        // The basic level leaves the aliases out, which is all it saves.
        search.reset(FindFirstFileExW(wide.c_str(), withAliases ? FindExInfoStandard : FindExInfoBasic, &found,
                                      FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH));
        if (!search && GetLastError() == ERROR_INVALID_PARAMETER)
            options = FindOptions::Classic;
    }
    if (options == FindOptions::Classic) search.reset(FindFirstFileW(wide.c_str(), &found));
    if (!search) {
        // A folder that does not exist holds nothing, as each existence test in it would say.
        const DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_NO_MORE_FILES || error == ERROR_PATH_NOT_FOUND;
    }
    do {
        take(found);
    } while (FindNextFileW(search.get(), &found));
    return GetLastError() == ERROR_NO_MORE_FILES;
}

std::u16string FoundName(const WIN32_FIND_DATAW& found) {
    return com::fromWide(std::wstring_view(found.cFileName, wcsnlen(found.cFileName, MAX_PATH)));
}

std::u16string FoundAlias(const WIN32_FIND_DATAW& found) {
    return com::fromWide(std::wstring_view(found.cAlternateFileName, wcsnlen(found.cAlternateFileName, 14)));
}

}  // namespace

std::optional<std::vector<std::u16string>> ListFolder(const std::u16string& folder, const std::u16string& prefix,
                                                      bool withAliases, FindOptions options) {
    std::vector<std::u16string> names;
    const auto take = [&](const WIN32_FIND_DATAW& found) {
        names.push_back(FoundName(found));
        if (withAliases && found.cAlternateFileName[0] != L'\0') names.push_back(FoundAlias(found));
    };
    if (!FindEach(folder + u"\\" + prefix + u"*", withAliases, options, take)) return std::nullopt;
    return names;
}

std::optional<std::vector<FolderEntry>> ListFolderEntries(const std::u16string& folder, FindOptions options) {
    std::vector<FolderEntry> entries;
    const bool listed = FindEach(folder + u"\\*", true, options, [&](const WIN32_FIND_DATAW& found) {
        FolderEntry entry{FoundName(found), FoundAlias(found), std::nullopt};
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
            entry.size = (static_cast<uint64_t>(found.nFileSizeHigh) << 32) | found.nFileSizeLow;
        entries.push_back(std::move(entry));
    });
    if (!listed) return std::nullopt;
    return entries;
}

std::optional<uint64_t> FileSize(const std::u16string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(toWide(path).c_str(), GetFileExInfoStandard, &data)) {
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return std::nullopt;
        com::throwWin32(error, u"The file's size cannot be read");
    }
    if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return std::nullopt;
    return (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

namespace {

com::File OpenToRead(const std::u16string& path) {
    constexpr DWORD kShared = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    com::File file(CreateFileW(toWide(path).c_str(), GENERIC_READ, kShared, nullptr, OPEN_EXISTING,
                               FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file) com::throwLastError(u"The file cannot be read");
    return file;
}

constexpr DWORD kChunk = 64 * 1024;

}  // namespace

bool FilesEqual(const std::u16string& a, const std::u16string& b) {
    const com::File first = OpenToRead(a);
    const com::File second = OpenToRead(b);
    std::vector<char> one(kChunk), other(kChunk);
    for (;;) {
        DWORD readOne = 0, readOther = 0;
        if (!ReadFile(first.get(), one.data(), kChunk, &readOne, nullptr) ||
            !ReadFile(second.get(), other.data(), kChunk, &readOther, nullptr))
            com::throwLastError(u"The file cannot be read");
        if (readOne != readOther || std::memcmp(one.data(), other.data(), readOne) != 0) return false;
        if (readOne == 0) return true;
    }
}

base::Sha256Digest FileSha256(const std::u16string& path) {
    const com::File file = OpenToRead(path);
    std::vector<char> chunk(kChunk);
    base::Sha256 sha;
    for (;;) {
        DWORD read = 0;
        if (!ReadFile(file.get(), chunk.data(), kChunk, &read, nullptr)) com::throwLastError(u"The file cannot be read");
        if (read == 0) return sha.Finish();
        sha.Update(chunk.data(), read);
    }
}

bool IsOnNetwork(const std::u16string& folder) {
    if (folder.size() >= 2 && folder[0] == u'\\' && folder[1] == u'\\') return true;
    // The drive's root, or the current drive's for a folder without one.
    if (folder.size() >= 2 && folder[1] == u':') return GetDriveTypeW(toWide(folder.substr(0, 2) + u"\\").c_str()) == DRIVE_REMOTE;
    return GetDriveTypeW(nullptr) == DRIVE_REMOTE;
}

std::u16string FileSystemUpperCase(const std::u16string& name) {
    if (name.empty()) return name;
    // Without LCMAP_LINGUISTIC_CASING the system cases as its file systems compare names, the same
    // in every locale (no Turkish dotted I).
    std::wstring upper(name.size(), L'\0');
    const int length = static_cast<int>(name.size());
    const int written = LCMapStringW(LOCALE_SYSTEM_DEFAULT, LCMAP_UPPERCASE, toWide(name).c_str(), length, upper.data(), length);
    if (written != length) com::throwLastError(u"The name cannot be put in upper case");
    return com::fromWide(std::wstring_view(upper.c_str(), upper.size()));
}

bool KeepsNamedStreams(const std::u16string& path) noexcept {
    bool keeps = false;
    base::TolerateAll([&] {
        wchar_t root[MAX_PATH + 1] = {};
        if (path.empty() || !GetVolumePathNameW(toWide(path).c_str(), root, MAX_PATH + 1)) return;
        DWORD flags = 0;
        if (!GetVolumeInformationW(root, nullptr, 0, nullptr, nullptr, &flags, nullptr, 0)) return;
        keeps = (flags & FILE_NAMED_STREAMS) != 0;
    });
    return keeps;
}

bool WriteZoneIdentifier(const std::u16string& stream) noexcept {
    // What the system itself writes for a download; readers take the section and key, in any order.
    static constexpr char Mark[] = "[ZoneTransfer]\r\nZoneId=3\r\n";
    bool whole = false;
    base::TolerateAll([&] {
        const com::File file(CreateFileW(toWide(stream).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                         FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file) return;
        DWORD written = 0;
        whole = WriteFile(file.get(), Mark, sizeof Mark - 1, &written, nullptr) && written == sizeof Mark - 1;
    });
    return whole;
}

bool MarkAsFromInternet(const std::u16string& path, bool keepsNamedStreams) noexcept {
    bool marked = false;
    base::TolerateAll([&] {
        // Only a file is marked: an empty path would otherwise name a stream of the current folder.
        const DWORD attributes = GetFileAttributesW(toWide(path).c_str());
        if (path.empty() || attributes == INVALID_FILE_ATTRIBUTES || IsFolder(attributes)) return;
        // Elsewhere the stream would be a file of its own beside the user's file.
        if (!keepsNamedStreams) return;
        const std::u16string stream = path + u":Zone.Identifier";
        const bool written = WriteZoneIdentifier(stream);
        // A directory listing shows files, never streams: where it shows this one, the system made
        // a file of it after all, which goes again.
        WIN32_FIND_DATAW found;
        if (com::Find(FindFirstFileW(toWide(stream).c_str(), &found))) {
            (void)DeleteFileW(toWide(stream).c_str());
            return;
        }
        marked = written;
    });
    return marked;
}

std::optional<std::u16string> TemporaryPathFor(const std::u16string& target) {
    const auto slash = target.find_last_of(u'\\');
    if (slash == std::u16string::npos) com::throwWin32(ERROR_INVALID_NAME, u"The path names no folder");
    const std::u16string folder = target.substr(0, slash + 1);
    const std::u16string targetName = FileSystemUpperCase(NameOf(target));
    const std::size_t room = PathNames::MaxPathLength > folder.size() ? PathNames::MaxPathLength - folder.size() : 0;
    if (room == 0) com::throwWin32(ERROR_FILENAME_EXCED_RANGE, u"The path is too long");
    for (int attempt = 0; attempt < 64; ++attempt) {
        const std::u16string name = OwnName(room);
        const std::u16string path = folder + name;
        if (FileSystemUpperCase(name) == targetName) continue;
        // DELETE access: the folder must also let the file be renamed and removed again.
        // Closed (and so deleted) at once: the name is free and the folder takes new files.
        const std::wstring wide = toWide(path);
        if (com::File(CreateFileW(wide.c_str(), GENERIC_WRITE | DELETE, 0, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_NORMAL | FILE_FLAG_DELETE_ON_CLOSE, nullptr))) {
            // Still there: the folder takes files and lets none go (a drop box). Where the system
            // refuses DELETE access to such a file it never gets made.
            if (GetFileAttributesW(wide.c_str()) == INVALID_FILE_ATTRIBUTES) return path;
            return NewFileInPlace(target);
        }
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS) continue;
        if (error == ERROR_ACCESS_DENIED) return NewFileInPlace(target);
        com::throwWin32(error, u"No file can be written in the folder");
    }
    com::throwWin32(ERROR_FILE_EXISTS, u"No free name for a file in the folder");
}

void PutInPlace(const std::u16string& file, const std::u16string& target) {
    const std::wstring from = toWide(file);
    const std::wstring to = toWide(target);
    FlushToDisk(from);
    const DWORD attributes = GetFileAttributesW(to.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD error = GetLastError();
        if (error != ERROR_FILE_NOT_FOUND) com::throwWin32(error, u"The file cannot be put in its place");
        if (!MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
            com::throwLastError(u"The file cannot be put in its place");
        return;
    }
    // Refused here, where nothing has changed yet: a folder of that name, a read-only file (which
    // ReplaceFileW refuses too), and a file another program holds without sharing, which
    // ReplaceFileW, opening it to read and remove it with every sharing, would meet half-way (Wine's
    // then leaves a file of its own behind).
    if (IsFolder(attributes)) com::throwWin32(ERROR_ACCESS_DENIED, u"A folder has the file's name");
    if (attributes & FILE_ATTRIBUTE_READONLY) com::throwWin32(ERROR_ACCESS_DENIED, u"The file is read-only");
    // Opened only to see that it can be, and closed again before ReplaceFileW opens it.
    if (!com::File(CreateFileW(to.c_str(), GENERIC_READ | DELETE | SYNCHRONIZE,
                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, 0,
                               nullptr)))
        com::throwLastError(u"The file is in use");

    // With a backup name ReplaceFileW never deletes the old file: it keeps its name, or carries the
    // backup's and goes back. (Without one, Windows' may delete it and then fail, and Wine's
    // deletes it before it moves the new one in.)
    const std::u16string folder = target.substr(0, target.find_last_of(u'\\') + 1);
    const std::size_t room = PathNames::MaxPathLength > folder.size() ? PathNames::MaxPathLength - folder.size() : 1;
    std::wstring backup;
    for (int attempt = 0; attempt < 64 && backup.empty(); ++attempt) {
        const std::wstring candidate = toWide(folder + OwnName(room));
        if (GetFileAttributesW(candidate.c_str()) == INVALID_FILE_ATTRIBUTES && GetLastError() == ERROR_FILE_NOT_FOUND)
            backup = candidate;
    }
    if (backup.empty()) com::throwWin32(ERROR_FILE_EXISTS, u"No free name for a file in the folder");
    if (!ReplaceFileW(to.c_str(), from.c_str(), backup.c_str(), REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr)) {
        const DWORD error = GetLastError();
        if (error == ERROR_UNABLE_TO_MOVE_REPLACEMENT_2) (void)MoveFileExW(backup.c_str(), to.c_str(), 0);
        com::throwWin32(error, u"The file cannot be put in its place");
    }
    (void)RemoveFile(std::u16string(backup.begin(), backup.end()));
    // Windows keeps the old file's attributes; Wine's ReplaceFileW gives the new file's: put back.
    constexpr DWORD kKept = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
    const DWORD now = GetFileAttributesW(to.c_str());
    if (now != INVALID_FILE_ATTRIBUTES && (now & kKept) != (attributes & kKept)) {
        const DWORD wanted = (now & ~(kKept | FILE_ATTRIBUTE_NORMAL)) | (attributes & kKept);
        (void)SetFileAttributesW(to.c_str(), wanted ? wanted : FILE_ATTRIBUTE_NORMAL);
    }
}

bool PlaceAsNewFile(const std::u16string& file, const std::u16string& target) {
    const std::wstring from = toWide(file);
    FlushToDisk(from);
    if (MoveFileExW(from.c_str(), toWide(target).c_str(), MOVEFILE_WRITE_THROUGH)) return true;
    const DWORD error = GetLastError();
    if (error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS) return false;
    com::throwWin32(error, u"The file cannot be put in its place");
}

bool RemoveFile(const std::u16string& path) noexcept {
    bool gone = false;
    base::TolerateAll([&] {
        const std::wstring name = toWide(path);
        if (DeleteFileW(name.c_str())) {
            gone = true;
            return;
        }
        const DWORD attributes = GetFileAttributesW(name.c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES || IsFolder(attributes)) {
            gone = true;
            return;
        }
        if ((attributes & FILE_ATTRIBUTE_READONLY) && SetFileAttributesW(name.c_str(), FILE_ATTRIBUTE_NORMAL))
            gone = DeleteFileW(name.c_str()) != FALSE;
    });
    return gone;
}

std::u16string FormatDate(const host::DateTime& value, const std::u16string& pattern) {
    // The system's date pictures write the month as "M"; lower-case "m" has no meaning there.
    std::wstring picture = toWide(pattern);
    for (wchar_t& c : picture) {
        if (c == L'm') c = L'M';
    }
    SYSTEMTIME st{};
    st.wYear = static_cast<WORD>(value.year);
    st.wMonth = static_cast<WORD>(value.month);
    st.wDay = static_cast<WORD>(value.day);
    const int needed = GetDateFormatW(LOCALE_USER_DEFAULT, 0, &st, picture.c_str(), nullptr, 0);
    if (needed <= 0) com::throwLastError(u"The date cannot be formatted");
    std::wstring text(static_cast<std::size_t>(needed), L'\0');
    const int written = GetDateFormatW(LOCALE_USER_DEFAULT, 0, &st, picture.c_str(), text.data(), needed);
    if (written <= 0) com::throwLastError(u"The date cannot be formatted");
    return com::fromWide(std::wstring_view(text.c_str(), static_cast<std::size_t>(written - 1)));
}

}  // namespace addin::win
