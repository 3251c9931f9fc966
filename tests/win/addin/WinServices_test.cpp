// The add-in's Win32 services against the real system under Wine: the existence test on real files
// (non-ANSI names, letter case) and the date in the user's locale, also through the name mangler.
#include "addin/win/WinServices.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "addin/core/FileNameMangler.h"
#include "addin/core/HostVersion.h"
#include "addin/core/Platform.h"
#include "base/HostError.h"
#include "standin/model/Host.h"
#include "tests/support/StrictPlatform.h"
#include "tests/win/TestSupport.h"

using namespace addin;

using Names = std::vector<std::u16string>;

namespace {

std::u16string U16(const std::wstring& s) { return std::u16string(s.begin(), s.end()); }
std::wstring Wide(const std::u16string& s) { return std::wstring(s.begin(), s.end()); }
std::string Utf8(const std::u16string& s) {
    const std::wstring w = Wide(s);
    std::string out(w.size() * 3, '\0');
    out.resize(WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), out.data(),
                                   static_cast<int>(out.size()), nullptr, nullptr));
    return out;
}

using testing_support::TempFolder;

// The platform as the add-in binds it for file names, counting the folder's calls, with the query
// options a test chooses; any other service is a test failure.
class WinPlatform : public StrictPlatform {
public:
    addin::win::FindOptions options = addin::win::RunningFindOptions();
    std::optional<bool> network;  // the system's answer unless set
    int tests = 0;
    int listings = 0;

    int32_t FileExists(const std::u16string& path) override {
        ++tests;
        return addin::win::FileExists(path);
    }
    std::optional<std::vector<std::u16string>> ListFolder(const std::u16string& folder, const std::u16string& prefix,
                                                          bool withAliases) override {
        ++listings;
        return addin::win::ListFolder(folder, prefix, withAliases, options);
    }
    bool IsOnNetwork(const std::u16string& folder) override { return network ? *network : addin::win::IsOnNetwork(folder); }
    std::u16string FileSystemUpperCase(const std::u16string& name) override {
        return addin::win::FileSystemUpperCase(name);
    }
    std::u16string FormatDate(const host::DateTime& value, const std::u16string& pattern) override {
        return addin::win::FormatDate(value, pattern);
    }

protected:
    void Unexpected(const char* service) noexcept override { ADD_FAILURE() << "unexpected platform call " << service; }
};

bool UserLocaleIsEnglish() { return PRIMARYLANGID(LANGIDFROMLCID(GetUserDefaultLCID())) == LANG_ENGLISH; }

}  // namespace

// ---- the existence test

TEST(WinFileExists, ExistingFileIsOneMissingIsNot) {
    TempFolder folder;
    folder.AddFile(u"report.doc");
    EXPECT_EQ(addin::win::FileExists(folder.Child(u"report.doc")), 1);
    EXPECT_NE(addin::win::FileExists(folder.Child(u"report -- 1.doc")), 1);
    EXPECT_NE(addin::win::FileExists(folder.Path() + u"\\missing\\report.doc"), 1);
}

TEST(WinFileExists, LetterCaseIsIgnored) {
    TempFolder folder;
    folder.AddFile(u"REPORT -- 2.Doc");
    EXPECT_EQ(addin::win::FileExists(folder.Child(u"report -- 2.doc")), 1);
}

TEST(WinFileExists, NonAnsiNamesRoundTrip) {
    TempFolder folder;
    for (const std::u16string name : {u"Вложение № 5.txt", u"添付ファイル.txt", u"Отчёт 報告 -- 1.doc"}) {
        SCOPED_TRACE(Utf8(name));
        folder.AddFile(name);
        EXPECT_EQ(addin::win::FileExists(folder.Child(name)), 1);
    }
    // Names that differ only outside the ANSI code page are different files.
    EXPECT_NE(addin::win::FileExists(folder.Child(u"Вложения № 5.txt")), 1);
    EXPECT_NE(addin::win::FileExists(folder.Child(u"添付ファイラ.txt")), 1);
}

// ---- the mark of a file's origin

std::string ReadAll(const std::u16string& path) {
    const HANDLE file = CreateFileW(Wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return "<missing>";
    std::string bytes(4096, '\0');
    DWORD read = 0;
    ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr);
    CloseHandle(file);
    bytes.resize(read);
    return bytes;
}

constexpr char kMark[] = "[ZoneTransfer]\r\nZoneId=3\r\n";

bool UnderWine() { return GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr; }

// The names in `folder` (files and folders), sorted.
Names Listing(const std::u16string& folder) {
    Names names;
    WIN32_FIND_DATAW found;
    const HANDLE find = FindFirstFileW(Wide(folder + u"\\*").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE) return names;
    do {
        const std::u16string name = U16(found.cFileName);
        if (name != u"." && name != u"..") names.push_back(name);
    } while (FindNextFileW(find, &found));
    FindClose(find);
    std::sort(names.begin(), names.end());
    return names;
}

TEST(WinKeepsNamedStreams, IsWhatTheSystemReportsForTheVolumeOfThePath) {
    TempFolder folder;
    folder.AddFile(u"report.doc");
    DWORD flags = 0;
    // The folder's volume is the root of its drive here.
    const std::wstring root = Wide(folder.Path().substr(0, 3));
    ASSERT_TRUE(GetVolumeInformationW(root.c_str(), nullptr, 0, nullptr, nullptr, &flags, nullptr, 0));
    const bool reported = (flags & FILE_NAMED_STREAMS) != 0;
    for (const std::u16string& path : {folder.Child(u"report.doc"), folder.Path(), folder.Child(u"no such\\file.doc")}) {
        SCOPED_TRACE(Utf8(path));
        EXPECT_EQ(addin::win::KeepsNamedStreams(path), reported);
    }
    EXPECT_FALSE(addin::win::KeepsNamedStreams(u""));
    // Wine 8 reports its drives as "NTFS", with case-preserved Unicode names and no named streams.
    if (UnderWine()) {
        EXPECT_FALSE(reported);
    }
}

TEST(WinWriteZoneIdentifier, WritesTheMarkWholeInPlaceOfWhatWasThere) {
    TempFolder folder;
    // A plain file stands for the stream: the text the system writes for a download.
    folder.AddFile(u"mark");
    EXPECT_TRUE(addin::win::WriteZoneIdentifier(folder.Child(u"mark")));
    EXPECT_EQ(ReadAll(folder.Child(u"mark")), kMark);
    EXPECT_TRUE(addin::win::WriteZoneIdentifier(folder.Child(u"mark")));
    EXPECT_EQ(ReadAll(folder.Child(u"mark")), kMark) << "marking again replaces the mark";
    EXPECT_FALSE(addin::win::WriteZoneIdentifier(folder.Child(u"no such folder\\mark")));
}

// Both answers of the volume, on this system's files: where it keeps no streams nothing is written;
// where it says it does, the mark is a stream or, where the system makes a visible file of it after
// all (as Wine does), nothing: never a file of its own beside the user's.
TEST(WinMarkAsFromInternet, TheMarkIsAStreamOrNothingNeverAFileBeside) {
    for (const bool keeps : {false, true}) {
        SCOPED_TRACE(keeps ? "the volume keeps named streams" : "the volume keeps no named streams");
        TempFolder folder;
        Names names;
        for (const std::u16string name : {u"report.doc", u"Отчёт 報告.txt"}) {
            SCOPED_TRACE(Utf8(name));
            folder.AddFile(name);
            names.push_back(name);
            std::sort(names.begin(), names.end());
            for (int time = 0; time < 2; ++time) {
                const bool marked = addin::win::MarkAsFromInternet(folder.Child(name), keeps);
                if (!keeps || UnderWine()) {
                    EXPECT_FALSE(marked);
                }
                if (marked) {
                    EXPECT_EQ(ReadAll(folder.Child(name) + u":Zone.Identifier"), kMark);
                }
                EXPECT_EQ(Listing(folder.Path()), names) << "nothing beside the user's files";
                EXPECT_EQ(ReadAll(folder.Child(name)), "") << "the file's own content is untouched";
            }
        }
    }
}

TEST(WinMarkAsFromInternet, WhatIsNoFileIsNotMarkedAndThatIsNoFailure) {
    for (const bool keeps : {false, true}) {
        TempFolder folder;
        EXPECT_FALSE(addin::win::MarkAsFromInternet(folder.Path() + u"\\no such folder\\report.doc", keeps));
        EXPECT_FALSE(addin::win::MarkAsFromInternet(folder.Child(u"not written.doc"), keeps));
        EXPECT_FALSE(addin::win::MarkAsFromInternet(folder.Path(), keeps)) << "a folder is no file";
        EXPECT_FALSE(addin::win::MarkAsFromInternet(u"", keeps));
        EXPECT_EQ(Listing(folder.Path()), Names{});
    }
}

// ---- written beside, then put in place

std::string Read(const std::u16string& path) { return ReadAll(path); }

void Write(const std::u16string& path, const std::string& bytes) {
    const HANDLE file = CreateFileW(Wide(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                    nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE) << "error " << GetLastError();
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
}

int32_t StatusOf(const std::function<void()>& call) {
    try {
        call();
    } catch (const HostError& e) {
        return e.status;
    }
    return 0;
}

int32_t Win32Status(DWORD error) { return static_cast<int32_t>(HRESULT_FROM_WIN32(error)); }

TEST(WinTemporaryPathFor, AFreeNameOfOurOwnBesideTheTargetThatIsGoneAgain) {
    TempFolder folder;
    folder.AddFile(u"report.doc");
    std::set<std::u16string> seen;
    for (const std::u16string target : {u"report.doc", u"new report.doc"}) {
        for (int n = 0; n < 100; ++n) {
            const auto path = addin::win::TemporaryPathFor(folder.Child(target));
            ASSERT_TRUE(path);
            ASSERT_EQ(path->size(), folder.Path().size() + 1 + 17) << Utf8(*path);
            EXPECT_EQ(path->substr(0, folder.Path().size() + 6), folder.Path() + u"\\.~tlb");
            EXPECT_EQ(path->substr(path->size() - 4), u".tmp");
            seen.insert(*path);
        }
    }
    EXPECT_EQ(seen.size(), 200u) << "no name twice, however fast they come";
    EXPECT_EQ(Listing(folder.Path()), Names{u"report.doc"}) << "each proof of a name is removed again";
}

TEST(WinTemporaryPathFor, AFolderThatIsGoneIsAFailure) {
    TempFolder folder;
    EXPECT_EQ(StatusOf([&] { (void)addin::win::TemporaryPathFor(folder.Child(u"gone\\report.doc")); }),
              Win32Status(ERROR_PATH_NOT_FOUND));
}

// A folder so deep that the target fits under the path limit with little or no room to spare: a
// shorter name of the add-in's own fits wherever the target does, and takes the place of the
// user's file as beside any other; the user's file is never written in place.
TEST(WinTemporaryPathFor, ADeepFolderStillGetsAFileOfItsOwnWhereverTheTargetFits) {
    TempFolder folder;
    std::u16string deep = folder.Path();
    while (deep.size() < 220) {
        deep += u"\\" + std::u16string(std::max<size_t>(1, std::min<size_t>(60, 219 - deep.size())), u'd');
        ASSERT_TRUE(CreateDirectoryW(Wide(deep).c_str(), nullptr)) << "error " << GetLastError();
    }
    for (size_t length : {1u, 2u, 3u, 5u, 16u, 17u, 18u}) {
        for (const bool existing : {false, true}) {
            SCOPED_TRACE(std::to_string(length) + (existing ? " existing" : " new"));
            // The target's folder, as deep as leaves its name `length` characters under the limit.
            const std::u16string where = deep + u"\\" + std::u16string(259 - deep.size() - 2 - length, u'e');
            CreateDirectoryW(Wide(where).c_str(), nullptr);
            const std::u16string target = where + u"\\" + std::u16string(length, u't');
            ASSERT_EQ(target.size(), 259u);
            if (existing) Write(target, "the user's own");
            const auto path = addin::win::TemporaryPathFor(target);
            ASSERT_TRUE(path) << "never the target itself";
            EXPECT_LE(path->size(), 259u) << Utf8(*path);
            EXPECT_EQ(path->substr(0, where.size() + 1), where + u"\\");
            EXPECT_NE(*path, target);
            EXPECT_EQ(GetFileAttributesW(Wide(*path).c_str()), INVALID_FILE_ATTRIBUTES) << "free, the proof gone";
            Write(*path, "written");
            EXPECT_EQ(StatusOf([&] { addin::win::PutInPlace(*path, target); }), 0);
            EXPECT_EQ(Read(target), "written");
            EXPECT_TRUE(addin::win::RemoveFile(target));
        }
    }
}

// A drop box (drop-box.sh): a folder that takes new files and lets none be renamed or removed. A
// new name is made there, empty, for the host to write in place (nothing given); the user's file
// is never written over.
TEST(WinTemporaryPathFor, ADropBoxTakesANewNameAndNeverWritesOverAFile) {
    const std::u16string box = u"C:\\tallowby-drop-box";
    if (GetFileAttributesW(Wide(box + u".ready").c_str()) == INVALID_FILE_ATTRIBUTES)
        GTEST_SKIP() << "not on this machine (drop-box.sh could not make it)";
    const std::u16string fresh = box + u"\\new " + U16(std::to_wstring(GetTickCount())) + u".txt";
    EXPECT_EQ(addin::win::TemporaryPathFor(fresh), std::nullopt);
    EXPECT_EQ(Read(fresh), "") << "made, empty, for the host";
    const HANDLE file = CreateFileW(Wide(fresh).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE) << "the host can write it: error " << GetLastError();
    CloseHandle(file);
    EXPECT_EQ(StatusOf([&] { (void)addin::win::TemporaryPathFor(box + u"\\report.txt"); }),
              Win32Status(ERROR_ACCESS_DENIED));
    EXPECT_EQ(Read(box + u"\\report.txt"), "the user's report");
}

// A file written (`written`) put in the place of a target of each kind; what is there afterwards.
TEST(WinPutInPlace, OverAFileOrAsANewOneOrRefusedWithNothingChanged) {
    struct Case {
        const char* name;
        std::function<void(TempFolder&)> prepare;  // what is at the target before
        int32_t status;                             // 0: put in place
        std::string after;                          // the target's content afterwards
    };
    const std::string older = std::string("older\0bytes", 11);
    HANDLE held = INVALID_HANDLE_VALUE;
    const Case cases[] = {
        {"a new file", [](TempFolder&) {}, 0, "written"},
        {"over a file, its attributes kept",
         [&](TempFolder& f) {
             Write(f.Child(u"target.txt"), older);
             SetFileAttributesW(Wide(f.Child(u"target.txt")).c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE);
         },
         0, "written"},
        {"over a read-only file",
         [&](TempFolder& f) {
             Write(f.Child(u"target.txt"), older);
             SetFileAttributesW(Wide(f.Child(u"target.txt")).c_str(), FILE_ATTRIBUTE_READONLY);
         },
         Win32Status(ERROR_ACCESS_DENIED), older},
        {"over a file another program holds without sharing",
         [&](TempFolder& f) {
             Write(f.Child(u"target.txt"), older);
             held = CreateFileW(Wide(f.Child(u"target.txt")).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
         },
         Win32Status(ERROR_SHARING_VIOLATION), older},
        {"over a folder", [](TempFolder& f) { f.AddFolder(u"target.txt"); }, Win32Status(ERROR_ACCESS_DENIED), "<missing>"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempFolder folder;
        c.prepare(folder);
        const DWORD before = GetFileAttributesW(Wide(folder.Child(u"target.txt")).c_str());
        const auto written = addin::win::TemporaryPathFor(folder.Child(u"target.txt"));
        ASSERT_TRUE(written);
        Write(*written, "written");
        EXPECT_EQ(StatusOf([&] { addin::win::PutInPlace(*written, folder.Child(u"target.txt")); }), c.status);
        if (held != INVALID_HANDLE_VALUE) CloseHandle(std::exchange(held, INVALID_HANDLE_VALUE));
        EXPECT_EQ(Read(folder.Child(u"target.txt")), c.after);
        const DWORD after = GetFileAttributesW(Wide(folder.Child(u"target.txt")).c_str());
        constexpr DWORD kShown = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY;
        if (before != INVALID_FILE_ATTRIBUTES) {
            EXPECT_EQ(after & kShown, before & kShown) << "attributes as they were";
        } else {
            EXPECT_EQ(after & kShown, 0u) << "a new file is not hidden";
        }
        // The file written is gone into the target, or still there for the caller to remove; no
        // backup or file of the system's left beside them.
        Names expected{u"target.txt"};
        if (c.status != 0) expected.push_back(written->substr(folder.Path().size() + 1));
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(Listing(folder.Path()), expected);
        if (c.status != 0) {
            EXPECT_TRUE(addin::win::RemoveFile(*written));
        }
    }
}

TEST(WinPutInPlace, AFolderThatIsGoneIsRefused) {
    TempFolder folder;
    folder.AddFolder(u"sub");
    const auto written = addin::win::TemporaryPathFor(folder.Child(u"sub\\target.txt"));
    ASSERT_TRUE(written);
    Write(*written, "written");
    // Only the file written is moved away with its folder, as if the user removed the folder.
    const std::u16string moved = folder.Child(u"moved.tmp");
    ASSERT_TRUE(MoveFileW(Wide(*written).c_str(), Wide(moved).c_str()));
    ASSERT_TRUE(RemoveDirectoryW(Wide(folder.Child(u"sub")).c_str()));
    EXPECT_EQ(StatusOf([&] { addin::win::PutInPlace(moved, folder.Child(u"sub\\target.txt")); }),
              Win32Status(ERROR_PATH_NOT_FOUND));
    EXPECT_EQ(Read(moved), "written");
}

// The move that never writes over anything: any entry of the name, in any letter case and also
// by its short alias, keeps its place and the file written stays for the caller.
TEST(WinPlaceAsNewFile, TakesOnlyAFreeNameAndLeavesWhatHasTheName) {
    struct Case {
        const char* name;
        std::function<void(TempFolder&)> prepare;
        bool placed;
        std::string after;  // what the name holds afterwards
    };
    const Case cases[] = {
        {"a free name", [](TempFolder&) {}, true, "written"},
        {"a file of the name", [](TempFolder& f) { Write(f.Child(u"target.txt"), "the user's own"); }, false,
         "the user's own"},
        {"a file of the name in other letter case",
         [](TempFolder& f) { Write(f.Child(u"TARGET.TXT"), "the user's own"); }, false, "the user's own"},
        {"a read-only file of the name",
         [](TempFolder& f) {
             Write(f.Child(u"target.txt"), "the user's own");
             SetFileAttributesW(Wide(f.Child(u"target.txt")).c_str(), FILE_ATTRIBUTE_READONLY);
         },
         false, "the user's own"},
        {"a folder of the name", [](TempFolder& f) { f.AddFolder(u"target.txt"); }, false, "<missing>"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempFolder folder;
        c.prepare(folder);
        const Names before = Listing(folder.Path());
        const auto written = addin::win::TemporaryPathFor(folder.Child(u"target.txt"));
        ASSERT_TRUE(written);
        Write(*written, "written");
        EXPECT_EQ(addin::win::PlaceAsNewFile(*written, folder.Child(u"target.txt")), c.placed);
        EXPECT_EQ(Read(folder.Child(u"target.txt")), c.after);
        if (c.placed) {
            EXPECT_EQ(Listing(folder.Path()), Names{u"target.txt"});
        } else {
            EXPECT_EQ(Read(*written), "written") << "the file written stays for the caller";
            ASSERT_TRUE(addin::win::RemoveFile(*written));
            EXPECT_EQ(Listing(folder.Path()), before);
        }
    }
    // A folder that is gone is a failure, not a taken name.
    TempFolder folder;
    const auto written = addin::win::TemporaryPathFor(folder.Child(u"target.txt"));
    ASSERT_TRUE(written);
    Write(*written, "written");
    EXPECT_EQ(StatusOf([&] { (void)addin::win::PlaceAsNewFile(*written, folder.Child(u"gone\\target.txt")); }),
              Win32Status(ERROR_PATH_NOT_FOUND));
    EXPECT_TRUE(addin::win::RemoveFile(*written));
}

TEST(WinRemoveFile, RemovesAReadOnlyFileAndSaysWhenOneStays) {
    TempFolder folder;
    Write(folder.Child(u"read-only.txt"), "x");
    SetFileAttributesW(Wide(folder.Child(u"read-only.txt")).c_str(), FILE_ATTRIBUTE_READONLY);
    EXPECT_TRUE(addin::win::RemoveFile(folder.Child(u"read-only.txt")));
    EXPECT_TRUE(addin::win::RemoveFile(folder.Child(u"never there.txt")));
    Write(folder.Child(u"held.txt"), "x");
    const HANDLE held = CreateFileW(Wide(folder.Child(u"held.txt")).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_FALSE(addin::win::RemoveFile(folder.Child(u"held.txt")));
    CloseHandle(held);
    EXPECT_EQ(Listing(folder.Path()), Names{u"held.txt"});
}

// ---- a file already there: the listing's sizes, a file's size, and its bytes compared

TEST(WinListFolderEntries, EveryEntryWithItsSizeAndFoldersWithout) {
    TempFolder folder;
    Write(folder.Child(u"empty.txt"), "");
    Write(folder.Child(u"big.bin"), std::string(200000, 'x'));
    folder.AddFolder(u"sub");
    const auto entries = addin::win::ListFolderEntries(folder.Path(), addin::win::RunningFindOptions());
    ASSERT_TRUE(entries);
    std::map<std::u16string, std::optional<uint64_t>> sizes;
    for (const auto& entry : *entries)
        if (entry.name != u"." && entry.name != u"..") sizes[entry.name] = entry.size;
    EXPECT_EQ(sizes, (std::map<std::u16string, std::optional<uint64_t>>{
                         {u"big.bin", 200000}, {u"empty.txt", 0}, {u"sub", std::nullopt}}));
    EXPECT_EQ(addin::win::FileSize(folder.Child(u"big.bin")), std::optional<uint64_t>(200000));
    EXPECT_EQ(addin::win::FileSize(folder.Child(u"never there.txt")), std::nullopt);
    const auto gone = addin::win::ListFolderEntries(folder.Child(u"gone"), addin::win::RunningFindOptions());
    ASSERT_TRUE(gone);
    EXPECT_TRUE(gone->empty());
}

TEST(WinFilesEqual, ComparesEveryChunkAndAFileThatCannotBeReadIsAFailure) {
    TempFolder folder;
    // Past the first chunk: a difference in the last byte of a file of several chunks counts.
    const std::string bytes(3 * 65536 + 17, 'a');
    std::string other = bytes;
    other.back() = 'b';
    Write(folder.Child(u"a.bin"), bytes);
    Write(folder.Child(u"b.bin"), bytes);
    Write(folder.Child(u"c.bin"), other);
    Write(folder.Child(u"short.bin"), bytes.substr(0, 65536));
    EXPECT_TRUE(addin::win::FilesEqual(folder.Child(u"a.bin"), folder.Child(u"b.bin")));
    EXPECT_FALSE(addin::win::FilesEqual(folder.Child(u"a.bin"), folder.Child(u"c.bin")));
    EXPECT_FALSE(addin::win::FilesEqual(folder.Child(u"a.bin"), folder.Child(u"short.bin")));
    EXPECT_EQ(StatusOf([&] { (void)addin::win::FilesEqual(folder.Child(u"a.bin"), folder.Child(u"never there.bin")); }),
              Win32Status(ERROR_FILE_NOT_FOUND));
    // The digest, read in the same chunks, is the bytes' own: a file of several chunks, an empty
    // one, and a file that cannot be read is a failure.
    EXPECT_EQ(addin::win::FileSha256(folder.Child(u"a.bin")), base::Sha256::Of(bytes));
    EXPECT_NE(addin::win::FileSha256(folder.Child(u"c.bin")), base::Sha256::Of(bytes));
    Write(folder.Child(u"empty.bin"), "");
    EXPECT_EQ(base::Sha256::Hex(addin::win::FileSha256(folder.Child(u"empty.bin"))),
              "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    EXPECT_EQ(StatusOf([&] { (void)addin::win::FileSha256(folder.Child(u"never there.bin")); }),
              Win32Status(ERROR_FILE_NOT_FOUND));
}

// ---- the date

TEST(WinFormatDate, KnownDatesInEnglish) {
    if (!UserLocaleIsEnglish()) GTEST_SKIP() << "the user's locale is not English";
    EXPECT_EQ(addin::win::FormatDate({2004, 3, 5}, u"d-mmm-yyyy"), u"5-Mar-2004");
    EXPECT_EQ(addin::win::FormatDate({2004, 12, 25, 23, 59, 59}, u"d-mmm-yyyy"), u"25-Dec-2004");
    EXPECT_EQ(addin::win::FormatDate({1999, 1, 31}, u"d-mmm-yyyy"), u"31-Jan-1999");
}

TEST(WinFormatDate, MonthNameComesFromTheUserLocale) {
    wchar_t march[80];
    ASSERT_GT(GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SABBREVMONTHNAME3, march, 80), 0);
    EXPECT_EQ(addin::win::FormatDate({2004, 3, 5, 8, 0, 0}, u"d-mmm-yyyy"), u"5-" + U16(march) + u"-2004");
}

TEST(WinFormatDate, ImpossibleDateIsAHostError) {
    // The month 13, and a year before 1601, where the system's dates begin.
    for (const host::DateTime date : {host::DateTime{2004, 13, 5}, host::DateTime{1600, 12, 31}}) {
        SCOPED_TRACE(date.year);
        try {
            (void)addin::win::FormatDate(date, u"d-mmm-yyyy");
            ADD_FAILURE() << "no failure";
        } catch (const HostError& e) {
            EXPECT_LT(e.status, 0);
        }
    }
}

// ---- suggestions for a real folder

class ManglerInFolder : public ::testing::Test {
protected:
    void HoldMail(std::u16string sender) {
        auto node = std::make_shared<standin::ItemNode>(standin::ItemKind::Mail);
        node->sent = true;
        node->senderName = std::move(sender);
        node->sentOn = {2004, 3, 5, 9, 15, 0};
        mangler.mItem(host.ItemObject(node));
    }
    Names Suggest(const std::u16string& fileName) { return mangler.GetFileNameMangling(fileName, folder.Path()); }
    std::u16string Date() { return addin::win::FormatDate({2004, 3, 5}, u"d-mmm-yyyy"); }

    TempFolder folder;
    WinPlatform platform;
    standin::Host host;
    FileNameMangler mangler{platform, 11};
};

TEST_F(ManglerInFolder, NumberedNameSkipsTakenNamesWhateverTheirCase) {
    EXPECT_EQ(Suggest(u"report.doc"), (Names{u"report -- 1.doc"}));
    folder.AddFile(u"report.doc");
    folder.AddFile(u"report -- 1.doc");
    folder.AddFile(u"REPORT -- 2.DOC");
    folder.AddFile(u"Report -- 3.Doc");
    EXPECT_EQ(Suggest(u"report.doc"), (Names{u"report -- 4.doc"}));
    EXPECT_EQ(Suggest(u"report -- 3.doc"), (Names{u"report -- 4.doc"}));
}

TEST_F(ManglerInFolder, MissingFolderCountsEveryNameAbsent) {
    const Names names = mangler.GetFileNameMangling(u"report.doc", folder.Path() + u"\\not there");
    EXPECT_EQ(names, (Names{u"report -- 1.doc"}));
}

TEST_F(ManglerInFolder, MailSuggestionsSkipTakenSenderAndDateNames) {
    HoldMail(u"Jane Roe@example.com");
    const std::u16string date = Date();
    folder.AddFile(u"report -- jane roe.doc");
    folder.AddFile(u"REPORT -- " + date + u".doc");
    EXPECT_EQ(Suggest(u"report.doc"), (Names{u"report -- 1.doc", u"report -- Jane Roe -- 1.doc",
                                             u"report -- Jane Roe -- " + date + u".doc",
                                             u"report -- " + date + u" -- 1.doc"}));
}

TEST_F(ManglerInFolder, PathInSenderNameStaysInTheFolder) {
    HoldMail(u"..\\..\\Startup\\x@example.com");
    const Names names = Suggest(u"report.doc");
    ASSERT_EQ(names.size(), 4u);
    EXPECT_EQ(names[1], u"report -- .._.._Startup_x.doc");
    for (const auto& name : names) EXPECT_EQ(name.find_first_of(u"\\/:"), std::u16string::npos);
    // The suggestion names a file in this folder: once written, the next call numbers it.
    folder.AddFile(names[1]);
    EXPECT_EQ(Suggest(u"report.doc")[1], u"report -- .._.._Startup_x -- 1.doc");
}

TEST_F(ManglerInFolder, NonAnsiNamesAndSenderRoundTrip) {
    HoldMail(u"Иван Петров@example.ru");
    folder.AddFile(u"Отчёт 報告 -- 1.doc");
    Names names = Suggest(u"Отчёт 報告.doc");
    ASSERT_EQ(names.size(), 4u);
    EXPECT_EQ(names[0], u"Отчёт 報告 -- 2.doc");
    EXPECT_EQ(names[1], u"Отчёт 報告 -- Иван Петров.doc");
    folder.AddFile(names[1]);
    names = Suggest(u"Отчёт 報告.doc");
    ASSERT_EQ(names.size(), 4u);
    EXPECT_EQ(names[1], u"Отчёт 報告 -- Иван Петров -- 1.doc");
}

TEST_F(ManglerInFolder, MessageSentBefore1601KeepsTheOtherSuggestions) {
    auto node = std::make_shared<standin::ItemNode>(standin::ItemKind::Mail);
    node->sent = true;
    node->senderName = u"Jane";
    node->sentOn = {1600, 12, 31, 9, 0, 0};
    mangler.mItem(host.ItemObject(node));
    EXPECT_EQ(Suggest(u"report.doc"), (Names{u"report -- 1.doc", u"report -- Jane.doc"}));
}

TEST_F(ManglerInFolder, DateOfTheMessageInEnglish) {
    if (!UserLocaleIsEnglish()) GTEST_SKIP() << "the user's locale is not English";
    HoldMail(u"Jane");
    EXPECT_EQ(Suggest(u"report.doc").back(), u"report -- 5-Mar-2004.doc");
}

// ---- the folder's listing

TEST(WinListFolder, ListsByPrefixInAnyLetterCaseWithFoldersAndAliases) {
    TempFolder folder;
    for (const std::u16string name : {u"report.doc", u"Report -- 1.DOC", u"\u00c9t\u00e9 -- 1.txt", u"other.doc"})
        folder.AddFile(name);
    folder.AddFolder(u"REPORT -- 2.doc");
    folder.AddFile(u"report summer holiday.document");
    wchar_t alias[MAX_PATH] = {};
    GetShortPathNameW(Wide(folder.Child(u"report summer holiday.document")).c_str(), alias, MAX_PATH);
    const std::u16string aliasName = U16(std::wstring(alias).substr(std::wstring(alias).rfind(L'\\') + 1));
    for (const auto options : {addin::win::FindOptions::Classic, addin::win::FindOptions::Windows7}) {
        SCOPED_TRACE(options == addin::win::FindOptions::Classic ? "classic" : "Windows 7");
        auto names = addin::win::ListFolder(folder.Path(), u"rEPORT", false, options);
        ASSERT_TRUE(names);
        std::sort(names->begin(), names->end());
        EXPECT_EQ(*names, (Names{u"REPORT -- 2.doc", u"Report -- 1.DOC", u"report summer holiday.document",
                                 u"report.doc"}));
        // Outside ASCII too, by the file system's casing.
        EXPECT_EQ(addin::win::ListFolder(folder.Path(), u"\u00e9T\u00c9", false, options), (Names{u"\u00c9t\u00e9 -- 1.txt"}));
        EXPECT_EQ(addin::win::ListFolder(folder.Path(), u"none", false, options), Names{});
        EXPECT_EQ(addin::win::ListFolder(folder.Path() + u"\\not there", u"report", false, options), Names{});
        // The long name's alias comes with it when asked for, where the system makes one.
        names = addin::win::ListFolder(folder.Path(), u"report s", true, options);
        ASSERT_TRUE(names);
        const bool hasAlias = aliasName != u"report summer holiday.document";
        EXPECT_EQ(names->size(), hasAlias ? 2u : 1u);
        if (hasAlias) {
            EXPECT_EQ(names->back(), aliasName);
        }
    }
    EXPECT_EQ(addin::win::FileSystemUpperCase(u"r\u00e9sum\u00e9 \u0436\u0451"), u"R\u00c9SUM\u00c9 \u0416\u0401");
    // Wine's drives are local; a UNC path names a share whether or not it can be reached.
    EXPECT_FALSE(addin::win::IsOnNetwork(folder.Path()));
    EXPECT_TRUE(addin::win::IsOnNetwork(u"\\\\server\\share\\folder"));
}

TEST(WinListFolder, UpperCaseTellsNamesApartExactlyAsTheFileSystemDoes) {
    // Letters whose case differs between tables: the Turkish dotless and dotted i, the long s, the
    // Kelvin sign, sharp s, title-case digraphs, Greek final sigma.
    const Names pairs[] = {{u"\u00e9", u"\u00c9"}, {u"\u0451", u"\u0401"}, {u"\u0131", u"I"}, {u"i", u"\u0130"},
                           {u"\u017f", u"S"},       {u"k", u"\u212a"},       {u"\u00df", u"\u1e9e"}, {u"\u01c5", u"\u01c4"},
                           {u"\u03c2", u"\u03a3"}, {u"\u00ff", u"\u0178"}};
    TempFolder folder;
    int same = 0;
    for (const Names& pair : pairs) {
        const std::u16string name = u"x" + pair[0] + u".txt", other = u"x" + pair[1] + u".txt";
        SCOPED_TRACE(Utf8(name) + " " + Utf8(other));
        folder.AddFile(name);
        const bool foldedAlike = addin::win::FileSystemUpperCase(name) == addin::win::FileSystemUpperCase(other);
        EXPECT_EQ(addin::win::FileExists(folder.Child(other)) == 1, foldedAlike);
        same += foldedAlike;
    }
    EXPECT_GE(same, 2);
}

// The differential test against the real file system: random folders of files and folders whose
// names collide with the candidates in every letter case, by their aliases, and not at all; one
// listing must give what testing name by name gives, with either kind of query.
TEST_F(ManglerInFolder, ListingGivesWhatTestingEachNameGivesInRealFolders) {
    HoldMail(u"\u00c9lodie@example.com");
    const std::u16string date = Date();
    const std::vector<std::u16string> stems = {u"report", u"REPORT", u"r\u00e9sum\u00e9", u"R\u00c9SUM\u00c9", u"\u0436\u0443\u0440"};
    const std::vector<std::u16string> middles = {u"", u" -- \u00c9lodie", u" -- \u00e9LODIE", u" -- " + date,
                                                 u" -- \u00c9lodie -- " + date, u" -- other"};
    std::mt19937 random(7);
    const auto pick = [&](const std::vector<std::u16string>& pool) { return pool[random() % pool.size()]; };
    int compared = 0;
    for (int round = 0; round < 12; ++round) {
        TempFolder here;
        for (int i = 0; i < 60; ++i) {
            std::u16string name = pick(stems) + pick(middles);
            if (random() % 4) name += u" -- " + U16(std::to_wstring(1 + random() % 8));
            name += pick({u".doc", u".DOC", u".txt", u"", u".doc."});
            if (GetFileAttributesW(Wide(here.Child(name)).c_str()) != INVALID_FILE_ATTRIBUTES) continue;
            if (random() % 6 == 0)
                here.AddFolder(name);
            else
                here.AddFile(name);
        }
        // The alias the system made for a long name, as a name to save under: taken by that alias.
        here.AddFile(u"a long name for an alias.doc");
        wchar_t shortPath[MAX_PATH] = {};
        GetShortPathNameW(Wide(here.Child(u"a long name for an alias.doc")).c_str(), shortPath, MAX_PATH);
        const std::wstring alias = std::wstring(shortPath).substr(std::wstring(shortPath).rfind(L'\\') + 1);
        for (const auto options : {addin::win::FindOptions::Classic, addin::win::FindOptions::Windows7}) {
            platform.options = options;
            // Listed at once as on a share, or after the tests up to the first name taken.
            platform.network = options == addin::win::FindOptions::Windows7;
            for (const std::u16string& fileName : Names{u"report.doc", u"R\u00e9sum\u00e9.txt", u"\u0416\u0423\u0420", U16(alias)}) {
                SCOPED_TRACE(Utf8(fileName));
                platform.tests = platform.listings = 0;
                const Names probed = mangler.GetFileNameMangling(fileName, here.Path(), FolderLookup::Probing);
                const int tests = platform.tests;
                platform.tests = 0;
                FileNameMangler lister(platform, 11);  // a mangler keeps where its last folder lies
                lister.mItem(mangler.mItem());
                EXPECT_EQ(lister.GetFileNameMangling(fileName, here.Path()), probed);
                EXPECT_LE(platform.listings, 1);
                EXPECT_LE(platform.tests, *platform.network ? 0 : tests);
                ++compared;
            }
        }
    }
    EXPECT_EQ(compared, 12 * 2 * 4);
}
