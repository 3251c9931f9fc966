// The add-in's Win32 services against the real system under Wine: the existence test on real files
// (non-ANSI names, letter case) and the date in the user's locale, also through the name mangler.
#include "win/WinServices.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "Host.h"
#include "core/FileNameMangler.h"
#include "base/HostError.h"
#include "core/HostVersion.h"
#include "core/Platform.h"
#include "tests/support/StrictPlatform.h"

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

// A fresh folder under the temporary folder, removed with its files at the end of the test.
class TempFolder {
public:
    TempFolder() {
        wchar_t temp[MAX_PATH];
        const DWORD n = GetTempPathW(MAX_PATH, temp);
        path_ = std::wstring(temp, n) + L"tallowby-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                std::to_wstring(GetTickCount());
        if (!CreateDirectoryW(path_.c_str(), nullptr)) ADD_FAILURE() << "cannot create the temporary folder";
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    ~TempFolder() {
        WIN32_FIND_DATAW found;
        const HANDLE find = FindFirstFileW((path_ + L"\\*").c_str(), &found);
        if (find != INVALID_HANDLE_VALUE) {
            do {
                const std::wstring child = path_ + L"\\" + found.cFileName;
                if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                    DeleteFileW(child.c_str());
                else if (found.cFileName[0] != L'.')
                    RemoveDirectoryW(child.c_str());
            } while (FindNextFileW(find, &found));
            FindClose(find);
        }
        RemoveDirectoryW(path_.c_str());
    }

    /// The folder as the Save As dialog reports it: no trailing backslash.
    std::u16string Path() const { return U16(path_); }
    std::u16string Child(const std::u16string& name) const { return Path() + u"\\" + name; }
    void Create(const std::u16string& name) const {
        const HANDLE file = CreateFileW(Wide(Child(name)).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                        FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE) << "cannot create a file, error " << GetLastError();
        CloseHandle(file);
    }
    void CreateFolder(const std::u16string& name) const {
        ASSERT_TRUE(CreateDirectoryW(Wide(Child(name)).c_str(), nullptr)) << "error " << GetLastError();
    }

private:
    std::wstring path_;
};

// The platform as the add-in binds it for file names, counting the folder's calls, with the query
// options a test chooses; any other service is a test failure.
class WinPlatform : public StrictPlatform {
public:
    winsvc::FindOptions options = winsvc::RunningFindOptions();
    std::optional<bool> network;  // the system's answer unless set
    int tests = 0;
    int listings = 0;

    int32_t FileExists(const std::u16string& path) override {
        ++tests;
        return winsvc::FileExists(path);
    }
    std::optional<std::vector<std::u16string>> ListFolder(const std::u16string& folder, const std::u16string& prefix,
                                                          bool withAliases) override {
        ++listings;
        return winsvc::ListFolder(folder, prefix, withAliases, options);
    }
    bool IsOnNetwork(const std::u16string& folder) override { return network ? *network : winsvc::IsOnNetwork(folder); }
    std::u16string FileSystemUpperCase(const std::u16string& name) override {
        return winsvc::FileSystemUpperCase(name);
    }
    std::u16string FormatDate(const host::DateTime& value, const std::u16string& pattern) override {
        return winsvc::FormatDate(value, pattern);
    }

protected:
    void Unexpected(const char* service) noexcept override { ADD_FAILURE() << "unexpected platform call " << service; }
};

bool UserLocaleIsEnglish() { return PRIMARYLANGID(LANGIDFROMLCID(GetUserDefaultLCID())) == LANG_ENGLISH; }

}  // namespace

// ---- the existence test

TEST(WinFileExists, ExistingFileIsOneMissingIsNot) {
    TempFolder folder;
    folder.Create(u"report.doc");
    EXPECT_EQ(winsvc::FileExists(folder.Child(u"report.doc")), 1);
    EXPECT_NE(winsvc::FileExists(folder.Child(u"report -- 1.doc")), 1);
    EXPECT_NE(winsvc::FileExists(folder.Path() + u"\\missing\\report.doc"), 1);
}

TEST(WinFileExists, LetterCaseIsIgnored) {
    TempFolder folder;
    folder.Create(u"REPORT -- 2.Doc");
    EXPECT_EQ(winsvc::FileExists(folder.Child(u"report -- 2.doc")), 1);
}

TEST(WinFileExists, NonAnsiNamesRoundTrip) {
    TempFolder folder;
    for (const std::u16string name : {u"Вложение № 5.txt", u"添付ファイル.txt", u"Отчёт 報告 -- 1.doc"}) {
        SCOPED_TRACE(Utf8(name));
        folder.Create(name);
        EXPECT_EQ(winsvc::FileExists(folder.Child(name)), 1);
    }
    // Names that differ only outside the ANSI code page are different files.
    EXPECT_NE(winsvc::FileExists(folder.Child(u"Вложения № 5.txt")), 1);
    EXPECT_NE(winsvc::FileExists(folder.Child(u"添付ファイラ.txt")), 1);
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

TEST(WinMarkAsFromInternet, WritesTheZoneIdentifierStreamBesideTheContent) {
    TempFolder folder;
    for (const std::u16string name : {u"report.doc", u"Отчёт 報告.txt"}) {
        SCOPED_TRACE(Utf8(name));
        folder.Create(name);
        EXPECT_TRUE(winsvc::MarkAsFromInternet(folder.Child(name)));
        // Under Wine the stream is a file named "<file>:Zone.Identifier"; on NTFS the same path opens the stream.
        EXPECT_EQ(ReadAll(folder.Child(name) + u":Zone.Identifier"), "[ZoneTransfer]\r\nZoneId=3\r\n");
        EXPECT_EQ(ReadAll(folder.Child(name)), "") << "the file's own content is untouched";
        // Marking again replaces the mark rather than adding to it.
        EXPECT_TRUE(winsvc::MarkAsFromInternet(folder.Child(name)));
        EXPECT_EQ(ReadAll(folder.Child(name) + u":Zone.Identifier"), "[ZoneTransfer]\r\nZoneId=3\r\n");
    }
}

TEST(WinMarkAsFromInternet, WhereNoStreamCanBeWrittenItIsNoFailure) {
    TempFolder folder;
    EXPECT_FALSE(winsvc::MarkAsFromInternet(folder.Path() + u"\\no such folder\\report.doc"));
    EXPECT_FALSE(winsvc::MarkAsFromInternet(folder.Child(u"not written.doc")));
    EXPECT_FALSE(winsvc::MarkAsFromInternet(folder.Path())) << "a folder is no file";
    EXPECT_FALSE(winsvc::MarkAsFromInternet(u""));
    EXPECT_EQ(GetFileAttributesW(Wide(folder.Child(u"not written.doc:Zone.Identifier")).c_str()), INVALID_FILE_ATTRIBUTES);
}

// ---- the date

TEST(WinFormatDate, KnownDatesInEnglish) {
    if (!UserLocaleIsEnglish()) GTEST_SKIP() << "the user's locale is not English";
    EXPECT_EQ(winsvc::FormatDate({2004, 3, 5}, u"d-mmm-yyyy"), u"5-Mar-2004");
    EXPECT_EQ(winsvc::FormatDate({2004, 12, 25, 23, 59, 59}, u"d-mmm-yyyy"), u"25-Dec-2004");
    EXPECT_EQ(winsvc::FormatDate({1999, 1, 31}, u"d-mmm-yyyy"), u"31-Jan-1999");
}

TEST(WinFormatDate, MonthNameComesFromTheUserLocale) {
    wchar_t march[80];
    ASSERT_GT(GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SABBREVMONTHNAME3, march, 80), 0);
    EXPECT_EQ(winsvc::FormatDate({2004, 3, 5, 8, 0, 0}, u"d-mmm-yyyy"), u"5-" + U16(march) + u"-2004");
}

TEST(WinFormatDate, ImpossibleDateIsAHostError) {
    // The month 13, and a year before 1601, where the system's dates begin.
    for (const host::DateTime date : {host::DateTime{2004, 13, 5}, host::DateTime{1600, 12, 31}}) {
        SCOPED_TRACE(date.year);
        try {
            (void)winsvc::FormatDate(date, u"d-mmm-yyyy");
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
    std::u16string Date() { return winsvc::FormatDate({2004, 3, 5}, u"d-mmm-yyyy"); }

    TempFolder folder;
    WinPlatform platform;
    standin::Host host;
    FileNameMangler mangler{platform, 11};
};

TEST_F(ManglerInFolder, NumberedNameSkipsTakenNamesWhateverTheirCase) {
    EXPECT_EQ(Suggest(u"report.doc"), (Names{u"report -- 1.doc"}));
    folder.Create(u"report.doc");
    folder.Create(u"report -- 1.doc");
    folder.Create(u"REPORT -- 2.DOC");
    folder.Create(u"Report -- 3.Doc");
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
    folder.Create(u"report -- jane roe.doc");
    folder.Create(u"REPORT -- " + date + u".doc");
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
    folder.Create(names[1]);
    EXPECT_EQ(Suggest(u"report.doc")[1], u"report -- .._.._Startup_x -- 1.doc");
}

TEST_F(ManglerInFolder, NonAnsiNamesAndSenderRoundTrip) {
    HoldMail(u"Иван Петров@example.ru");
    folder.Create(u"Отчёт 報告 -- 1.doc");
    Names names = Suggest(u"Отчёт 報告.doc");
    ASSERT_EQ(names.size(), 4u);
    EXPECT_EQ(names[0], u"Отчёт 報告 -- 2.doc");
    EXPECT_EQ(names[1], u"Отчёт 報告 -- Иван Петров.doc");
    folder.Create(names[1]);
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
        folder.Create(name);
    folder.CreateFolder(u"REPORT -- 2.doc");
    folder.Create(u"report summer holiday.document");
    wchar_t alias[MAX_PATH] = {};
    GetShortPathNameW(Wide(folder.Child(u"report summer holiday.document")).c_str(), alias, MAX_PATH);
    const std::u16string aliasName = U16(std::wstring(alias).substr(std::wstring(alias).rfind(L'\\') + 1));
    for (const auto options : {winsvc::FindOptions::Classic, winsvc::FindOptions::Windows7}) {
        SCOPED_TRACE(options == winsvc::FindOptions::Classic ? "classic" : "Windows 7");
        auto names = winsvc::ListFolder(folder.Path(), u"rEPORT", false, options);
        ASSERT_TRUE(names);
        std::sort(names->begin(), names->end());
        EXPECT_EQ(*names, (Names{u"REPORT -- 2.doc", u"Report -- 1.DOC", u"report summer holiday.document",
                                 u"report.doc"}));
        // Outside ASCII too, by the file system's casing.
        EXPECT_EQ(winsvc::ListFolder(folder.Path(), u"\u00e9T\u00c9", false, options), (Names{u"\u00c9t\u00e9 -- 1.txt"}));
        EXPECT_EQ(winsvc::ListFolder(folder.Path(), u"none", false, options), Names{});
        EXPECT_EQ(winsvc::ListFolder(folder.Path() + u"\\not there", u"report", false, options), Names{});
        // The long name's alias comes with it when asked for, where the system makes one.
        names = winsvc::ListFolder(folder.Path(), u"report s", true, options);
        ASSERT_TRUE(names);
        const bool hasAlias = aliasName != u"report summer holiday.document";
        EXPECT_EQ(names->size(), hasAlias ? 2u : 1u);
        if (hasAlias) {
            EXPECT_EQ(names->back(), aliasName);
        }
    }
    EXPECT_EQ(winsvc::FileSystemUpperCase(u"r\u00e9sum\u00e9 \u0436\u0451"), u"R\u00c9SUM\u00c9 \u0416\u0401");
    // Wine's drives are local; a UNC path names a share whether or not it can be reached.
    EXPECT_FALSE(winsvc::IsOnNetwork(folder.Path()));
    EXPECT_TRUE(winsvc::IsOnNetwork(u"\\\\server\\share\\folder"));
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
        folder.Create(name);
        const bool foldedAlike = winsvc::FileSystemUpperCase(name) == winsvc::FileSystemUpperCase(other);
        EXPECT_EQ(winsvc::FileExists(folder.Child(other)) == 1, foldedAlike);
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
                here.CreateFolder(name);
            else
                here.Create(name);
        }
        // The alias the system made for a long name, as a name to save under: taken by that alias.
        here.Create(u"a long name for an alias.doc");
        wchar_t shortPath[MAX_PATH] = {};
        GetShortPathNameW(Wide(here.Child(u"a long name for an alias.doc")).c_str(), shortPath, MAX_PATH);
        const std::wstring alias = std::wstring(shortPath).substr(std::wstring(shortPath).rfind(L'\\') + 1);
        for (const auto options : {winsvc::FindOptions::Classic, winsvc::FindOptions::Windows7}) {
            platform.options = options;
            // Listed at once as on a share, or after the tests up to the first name taken.
            platform.network = options == winsvc::FindOptions::Windows7;
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
