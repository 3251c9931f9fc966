// The add-in's platform services against the real system under Wine: the settings store in the
// registry (round trip, defaults, values of the wrong kind), the preference through it, and the
// button pictures made from this program's copy of the add-in's resources.
#include "addin/win/WinPlatform.h"

#include <windows.h>
#include <olectl.h>

#include <gtest/gtest.h>

#include <string>

#include "addin/core/Preferences.h"
#include "addin/win/FileDialogManager.h"
#include "addin/win/FolderDialog.h"
#include "addin/win/HostAdapters.h"
#include "base/HostError.h"
#include "com/ComPtr.h"
#include "tests/win/TestSupport.h"

using namespace addin;
using namespace addin::win;

namespace {

const std::u16string kApp = u"Tallowby Test Settings";
const std::wstring kKey = L"Software\\VB and VBA Program Settings\\Tallowby Test Settings\\Section";

class SettingsTest : public ::testing::Test {
protected:
    void TearDown() override {
        (void)RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\VB and VBA Program Settings\\Tallowby Test Settings");
        (void)RegDeleteKeyW(HKEY_CURRENT_USER, L"Software\\VB and VBA Program Settings\\Tallowby Test Settings");
    }

    void writeRaw(DWORD type, const void* data, DWORD size) {
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, kKey.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        EXPECT_EQ(RegSetValueExW(key, L"Value", 0, type, static_cast<const BYTE*>(data), size), ERROR_SUCCESS);
        RegCloseKey(key);
    }

    void expectMismatch() {
        try {
            (void)platform.GetSetting(kApp, u"Section", u"Value", u"True");
            ADD_FAILURE() << "expected a type mismatch";
        } catch (const HostError& e) {
            EXPECT_EQ(e.status, HostStatus::TypeMismatch);
        }
    }

    addin::win::WinPlatform platform{GetModuleHandleW(nullptr)};
};

TEST(PolicyValues, EachHiveIsReadApartAndOnlyADwordIsOne) {
    const std::u16string key = u"Software\\Tallowby Test Policies";
    const wchar_t* const wideKey = L"Software\\Tallowby Test Policies";
    WinPlatform platform{GetModuleHandleW(nullptr)};
    using Kind = Platform::PolicyValue::Kind;
    for (HKEY hive : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) (void)RegDeleteTreeW(hive, wideKey);
    EXPECT_EQ(platform.ReadPolicyValue(Platform::PolicyHive::Machine, key, u"Number").kind, Kind::Absent) << "no key";

    HKEY machine = nullptr, user = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, wideKey, 0, nullptr, 0, KEY_WRITE, nullptr, &machine, nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, wideKey, 0, nullptr, 0, KEY_WRITE, nullptr, &user, nullptr),
              ERROR_SUCCESS);
    const DWORD seven = 7, zero = 0;
    const unsigned long long wide = 1;
    const wchar_t text[] = L"1";
    EXPECT_EQ(RegSetValueExW(machine, L"Number", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&seven), 4), 0);
    EXPECT_EQ(RegSetValueExW(user, L"Number", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&zero), 4), 0);
    EXPECT_EQ(RegSetValueExW(user, L"Text", 0, REG_SZ, reinterpret_cast<const BYTE*>(text), sizeof text), 0);
    EXPECT_EQ(RegSetValueExW(user, L"Wide", 0, REG_QWORD, reinterpret_cast<const BYTE*>(&wide), 8), 0);
    RegCloseKey(machine);
    RegCloseKey(user);

    const auto m = platform.ReadPolicyValue(Platform::PolicyHive::Machine, key, u"Number");
    EXPECT_EQ(m.kind, Kind::Dword);
    EXPECT_EQ(m.number, 7u);
    const auto u = platform.ReadPolicyValue(Platform::PolicyHive::User, key, u"Number");
    EXPECT_EQ(u.kind, Kind::Dword);
    EXPECT_EQ(u.number, 0u);
    EXPECT_EQ(platform.ReadPolicyValue(Platform::PolicyHive::User, key, u"Text").kind, Kind::OtherType);
    EXPECT_EQ(platform.ReadPolicyValue(Platform::PolicyHive::User, key, u"Wide").kind, Kind::OtherType);
    EXPECT_EQ(platform.ReadPolicyValue(Platform::PolicyHive::Machine, key, u"Text").kind, Kind::Absent);
    for (HKEY hive : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) (void)RegDeleteTreeW(hive, wideKey);
}

TEST_F(SettingsTest, AbsentKeyOrValueGivesTheDefault) {
    EXPECT_EQ(platform.GetSetting(kApp, u"Section", u"Value", u"True"), u"True");
    platform.SaveSetting(kApp, u"Section", u"Other", u"x");
    EXPECT_EQ(platform.GetSetting(kApp, u"Section", u"Value", u"fallback"), u"fallback");
}

TEST_F(SettingsTest, SavedTextIsAStringValueReadBackUnchanged) {
    const std::u16string text = u"Вложение № 5";
    platform.SaveSetting(kApp, u"Section", u"Value", text);
    EXPECT_EQ(platform.GetSetting(kApp, u"Section", u"Value", u"True"), text);

    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, kKey.c_str(), 0, KEY_READ, &key), ERROR_SUCCESS);
    DWORD type = 0;
    wchar_t stored[64] = {};
    DWORD size = sizeof stored;
    EXPECT_EQ(RegQueryValueExW(key, L"Value", nullptr, &type, reinterpret_cast<BYTE*>(stored), &size), ERROR_SUCCESS);
    RegCloseKey(key);
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(size, (text.size() + 1) * sizeof(wchar_t)) << "with its terminating NUL";
    EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t*>(stored)), text);

    platform.SaveSetting(kApp, u"Section", u"Value", u"");
    EXPECT_EQ(platform.GetSetting(kApp, u"Section", u"Value", u"True"), u"") << "empty text is a value, not absence";
}

TEST_F(SettingsTest, TextStoredWithoutItsNulIsReadWhole) {
    const wchar_t text[] = {L'F', L'a', L'l', L's', L'e'};
    writeRaw(REG_SZ, text, sizeof text);
    EXPECT_EQ(platform.GetSetting(kApp, u"Section", u"Value", u"True"), u"False");
}

TEST_F(SettingsTest, AValueOfAnotherTypeIsATypeMismatch) {
    const DWORD number = 1;
    writeRaw(REG_DWORD, &number, sizeof number);
    expectMismatch();
    const wchar_t expand[] = L"True";
    writeRaw(REG_EXPAND_SZ, expand, sizeof expand);
    expectMismatch();
    const BYTE binary[] = {'T', 0, 'r', 0};
    writeRaw(REG_BINARY, binary, sizeof binary);
    expectMismatch();
}

TEST_F(SettingsTest, TextOfAnOddNumberOfBytesIsATypeMismatch) {
    const BYTE broken[] = {'T', 0, 'r'};
    writeRaw(REG_SZ, broken, sizeof broken);
    expectMismatch();
}

// The preference's own key, restored afterwards: other tests and runs may rely on it.
class PreferenceStoreTest : public ::testing::Test {
protected:
    static constexpr wchar_t kPreferences[] =
        L"Software\\VB and VBA Program Settings\\Quenmark Save Attachments\\Preferences";

    void SetUp() override {
        Preferences::SetReplaceWithLinks(false);
        had = testing_support::stringValue(HKEY_CURRENT_USER, kPreferences, L"ReplaceWithLinks");
        (void)RegDeleteKeyValueW(HKEY_CURRENT_USER, kPreferences, L"ReplaceWithLinks");
    }
    void TearDown() override {
        if (had)
            platform.SaveSetting(Preferences::AppName, Preferences::Section, Preferences::Key,
                                 std::u16string(had->begin(), had->end()));
        else
            (void)RegDeleteKeyValueW(HKEY_CURRENT_USER, kPreferences, L"ReplaceWithLinks");
    }

    addin::win::WinPlatform platform{GetModuleHandleW(nullptr)};
    std::optional<std::wstring> had;
};

TEST_F(PreferenceStoreTest, NothingStoredLoadsTrueAndSavesTrue) {
    Preferences::LoadPreferences(platform);
    EXPECT_TRUE(Preferences::ReplaceWithLinks());
    Preferences::SavePreferences(platform);
    EXPECT_EQ(testing_support::stringValue(HKEY_CURRENT_USER, kPreferences, L"ReplaceWithLinks"), std::wstring(L"True"));
}

TEST_F(PreferenceStoreTest, StoredFalseLoadsFalseAndAChangeIsWrittenBack) {
    platform.SaveSetting(Preferences::AppName, Preferences::Section, Preferences::Key, u"false");
    Preferences::LoadPreferences(platform);
    EXPECT_FALSE(Preferences::ReplaceWithLinks());
    Preferences::SetReplaceWithLinks(true);
    Preferences::SavePreferences(platform);
    EXPECT_EQ(testing_support::stringValue(HKEY_CURRENT_USER, kPreferences, L"ReplaceWithLinks"), std::wstring(L"True"));
}

TEST_F(PreferenceStoreTest, AWordThatIsNoBooleanFailsTheLoadAndKeepsTheValue) {
    platform.SaveSetting(Preferences::AppName, Preferences::Section, Preferences::Key, u"yes");
    Preferences::SetReplaceWithLinks(true);
    try {
        Preferences::LoadPreferences(platform);
        ADD_FAILURE() << "expected a type mismatch";
    } catch (const HostError& e) {
        EXPECT_EQ(e.status, HostStatus::TypeMismatch);
    }
    EXPECT_TRUE(Preferences::ReplaceWithLinks());
}

// The bitmap inside a picture object the platform made.
BITMAP bitmapOf(const std::shared_ptr<host::Picture>& picture) {
    BITMAP info{};
    const auto* ours = dynamic_cast<const addin::win::Picture*>(picture.get());
    if (!ours) {
        ADD_FAILURE() << "not a picture object of the platform";
        return info;
    }
    auto object = ours->object().query<IPicture>();
    SHORT type = PICTYPE_UNINITIALIZED;
    EXPECT_EQ(object->get_Type(&type), S_OK);
    EXPECT_EQ(type, PICTYPE_BITMAP);
    OLE_HANDLE handle = 0;
    EXPECT_EQ(object->get_Handle(&handle), S_OK);
    EXPECT_EQ(GetObjectW(reinterpret_cast<HGDIOBJ>(static_cast<UINT_PTR>(handle)), sizeof info, &info),
              static_cast<int>(sizeof info));
    return info;
}

COLORREF pixel(const BITMAP& bitmap, int x, int y) {
    // A bottom-up 24-bit DIB section: rows of BGR triples padded to four bytes.
    const auto* bits = static_cast<const BYTE*>(bitmap.bmBits);
    const BYTE* p = bits + (bitmap.bmHeight - 1 - y) * bitmap.bmWidthBytes + x * 3;
    return RGB(p[2], p[1], p[0]);
}

TEST(PictureTest, ButtonPictureAndMaskAre16By16TrueColourBitmaps) {
    testing_support::Apartment apartment;
    addin::win::WinPlatform platform{GetModuleHandleW(nullptr)};
    const auto picture = platform.LoadPicture(106);
    const auto mask = platform.LoadPicture(110);
    ASSERT_TRUE(picture);
    ASSERT_TRUE(mask);
    for (const auto& loaded : {picture, mask}) {
        const BITMAP bitmap = bitmapOf(loaded);
        EXPECT_EQ(bitmap.bmWidth, 16);
        EXPECT_EQ(bitmap.bmHeight, 16);
        EXPECT_EQ(bitmap.bmBitsPixel, 24);
        ASSERT_NE(bitmap.bmBits, nullptr) << "loaded as a DIB section";
    }
    // The mask is white where the picture is clear (the top-left corner) and black where it draws.
    const BITMAP pictureBits = bitmapOf(picture);
    const BITMAP maskBits = bitmapOf(mask);
    EXPECT_EQ(pixel(maskBits, 0, 0), RGB(255, 255, 255));
    EXPECT_EQ(pixel(maskBits, 0, 1), RGB(0, 0, 0));
    EXPECT_EQ(pixel(pictureBits, 0, 0), RGB(0xC0, 0xC0, 0xC0));
    EXPECT_EQ(pixel(pictureBits, 0, 1), RGB(0x1C, 0x2A, 0x4A));
}

TEST(PictureTest, TheRibbonPictureIs32By32WithItsTransparencyInTheAlphaChannel) {
    testing_support::Apartment apartment;
    addin::win::WinPlatform platform{GetModuleHandleW(nullptr)};
    const auto picture = platform.LoadPicture(107);  // owns the bitmap: kept while its bits are read
    const BITMAP bitmap = bitmapOf(picture);
    EXPECT_EQ(bitmap.bmWidth, 32);
    EXPECT_EQ(bitmap.bmHeight, 32);
    EXPECT_EQ(bitmap.bmBitsPixel, 32);
    ASSERT_NE(bitmap.bmBits, nullptr) << "loaded as a DIB section, alpha channel kept";
    // Every pixel fully clear (and black, so premultiplied or not reads the same) or fully drawn.
    int clear = 0, drawn = 0;
    for (int y = 0; y < 32; ++y) {
        const auto* row = static_cast<const BYTE*>(bitmap.bmBits) + y * bitmap.bmWidthBytes;
        for (int x = 0; x < 32; ++x) {
            const BYTE* p = row + x * 4;
            if (p[3] == 0) {
                ++clear;
                EXPECT_EQ(p[0] | p[1] | p[2], 0) << x << "," << y;
            } else {
                ++drawn;
                EXPECT_EQ(p[3], 255) << x << "," << y;
            }
        }
    }
    EXPECT_GT(clear, 100);
    EXPECT_GT(drawn, 600);
    // Bottom-up rows: the top-left corner is clear, the diskette's outline below it drawn.
    const auto at = [&](int x, int y) { return static_cast<const BYTE*>(bitmap.bmBits) + (31 - y) * bitmap.bmWidthBytes + x * 4; };
    EXPECT_EQ(at(0, 0)[3], 0);
    EXPECT_EQ(RGB(at(0, 31)[2], at(0, 31)[1], at(0, 31)[0]), RGB(0x1C, 0x2A, 0x4A));
    EXPECT_EQ(at(0, 31)[3], 255);
}

TEST(PictureTest, AMissingResourceFails) {
    testing_support::Apartment apartment;
    addin::win::WinPlatform platform{GetModuleHandleW(nullptr)};
    EXPECT_THROW((void)platform.LoadPicture(999), HostError);
}

TEST(SaveAsPromptTest, IsTheFileDialogManagerWithThisModulesTemplate) {
    addin::win::WinPlatform platform{GetModuleHandleW(nullptr)};
    const auto prompt = std::dynamic_pointer_cast<FileDialogManager>(platform.CreateSaveAsPrompt());
    ASSERT_TRUE(prompt);
    EXPECT_FALSE(prompt->DialogTemplate().empty());
    EXPECT_EQ(prompt->LastFolder(), u"");
}

TEST(SaveAsPromptTest, ModuleWithoutTheTemplateFails) {
    addin::win::WinPlatform platform{GetModuleHandleW(L"kernel32.dll")};
    EXPECT_THROW((void)platform.CreateSaveAsPrompt(), HostError);
}

TEST(SaveAsPromptTest, ARememberedFolderIsWhereTheNextDialogStarts) {
    addin::win::WinPlatform platform{GetModuleHandleW(nullptr)};
    const auto prompt = platform.CreateSaveAsPrompt();
    prompt->RememberFolder(u"C:\\chosen");
    EXPECT_EQ(prompt->LastFolder(), u"C:\\chosen");
}

TEST(FolderPromptTest, IsTheFolderDialog) {
    addin::win::WinPlatform platform{GetModuleHandleW(nullptr)};
    EXPECT_TRUE(std::dynamic_pointer_cast<FolderDialog>(platform.CreateFolderPrompt()));
}

TEST(ProgressTest, TheSystemsProgressWindowTakesUpdatesAndIsNotCancelledByItself) {
    testing_support::Apartment apartment;
    addin::win::WinPlatform platform{GetModuleHandleW(nullptr)};
    auto progress = platform.ShowProgress(u"Save All Attachments");
    ASSERT_TRUE(progress);
    progress->Update(1, 3, u"report.txt");
    progress->Update(2, 3, u"notes.txt");
    EXPECT_FALSE(progress->Cancelled());
    progress.reset();  // closes the window
}

TEST(ClockTest, MillisecondsNeverGoBackAndFollowTheSystemsSleep) {
    addin::win::WinPlatform platform{GetModuleHandleW(nullptr)};
    const int64_t before = platform.Milliseconds();
    Sleep(50);
    const int64_t after = platform.Milliseconds();
    EXPECT_GE(after - before, 40);
    EXPECT_LT(after - before, 5000);
}

}  // namespace
