#include <gtest/gtest.h>

#include <thread>

#include "addin/core/Preferences.h"
#include "tests/core/FakePlatform.h"

using namespace addin;

namespace {

struct PreferencesTest : testing::Test {
    void SetUp() override { Preferences::SetReplaceWithLinks(false); }
    bool LoadFrom(const std::u16string& stored) {
        platform.Store(stored);
        Preferences::LoadPreferences(platform);
        return Preferences::ReplaceWithLinks();
    }
    FakePlatform platform;
};

}  // namespace

TEST_F(PreferencesTest, NothingStoredLoadsTrueAndTheFirstSaveWritesIt) {
    Preferences::LoadPreferences(platform);
    EXPECT_TRUE(Preferences::ReplaceWithLinks());
    Preferences::SavePreferences(platform);
    EXPECT_EQ(platform.settings.at({u"Quenmark Save Attachments", u"Preferences", u"ReplaceWithLinks"}), u"True");
}

TEST_F(PreferencesTest, WordsInAnyCaseAndNumbers) {
    for (const char16_t* text : {u"False", u"false", u"FALSE", u"0", u"0.0", u" 0 "}) {
        Preferences::SetReplaceWithLinks(true);
        EXPECT_FALSE(LoadFrom(text)) << std::string(text, text + std::char_traits<char16_t>::length(text));
    }
    for (const char16_t* text : {u"True", u"TRUE", u"tRuE", u"1", u"-1", u"2.5"})
        EXPECT_TRUE(LoadFrom(text)) << std::string(text, text + std::char_traits<char16_t>::length(text));
}

TEST_F(PreferencesTest, OtherTextIsATypeMismatchAndKeepsTheValue) {
    for (const char16_t* text : {u"yes", u"", u"Tru", u" True", u"1x"}) {
        Preferences::SetReplaceWithLinks(true);
        try {
            LoadFrom(text);
            ADD_FAILURE() << "accepted";
        } catch (const HostError& e) {
            EXPECT_EQ(e.status, HostStatus::TypeMismatch);
        }
        EXPECT_TRUE(Preferences::ReplaceWithLinks());
    }
}

TEST_F(PreferencesTest, SavesExactlyTrueOrFalse) {
    Preferences::SetReplaceWithLinks(false);
    Preferences::SavePreferences(platform);
    Preferences::SetReplaceWithLinks(true);
    Preferences::SavePreferences(platform);
    EXPECT_EQ(platform.saved, (std::vector<std::u16string>{u"False", u"True"}));
}

TEST_F(PreferencesTest, FailingWriteIsThrown) {
    platform.failSave = true;
    EXPECT_THROW(Preferences::SavePreferences(platform), HostError);
}

TEST_F(PreferencesTest, EachThreadHasItsOwnValue) {
    Preferences::SetReplaceWithLinks(true);
    bool seen = true;
    std::thread([&] { seen = Preferences::ReplaceWithLinks(); }).join();
    EXPECT_FALSE(seen);
    EXPECT_TRUE(Preferences::ReplaceWithLinks());
}
