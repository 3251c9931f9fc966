#include "proppage/core/PageState.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <vector>

namespace {

using proppage::PageState;

TEST(PageStateInitialise, TakesThePreferenceWithoutBecomingDirty) {
    PageState page;
    page.Initialize(true);
    EXPECT_TRUE(page.Checked());
    EXPECT_FALSE(page.Dirty());
    EXPECT_TRUE(page.BoxEnabled());

    page.Initialize(false);
    EXPECT_FALSE(page.Checked());
    EXPECT_FALSE(page.Dirty());
}

TEST(PageStateInitialise, AHostThatKeepsNoShortcutsDisablesTheBoxAndKeepsThePreference) {
    PageState page;
    page.Initialize(true, true);
    EXPECT_TRUE(page.Checked());
    EXPECT_FALSE(page.Dirty());
    EXPECT_FALSE(page.BoxEnabled());
    EXPECT_TRUE(page.HasBridge());
    page.Initialize(true, false);
    EXPECT_TRUE(page.BoxEnabled());
}

TEST(PageStateInitialise, APolicyDisablesTheBoxSaysSoAndApplyWritesNothing) {
    struct Row {
        bool preference;
        bool refused;
    };
    for (const Row r : {Row{true, false}, Row{false, false}, Row{true, true}}) {
        PageState page;
        page.Initialize(r.preference, r.refused, true);
        EXPECT_EQ(page.Checked(), r.preference) << "the state the policy holds the box in";
        EXPECT_FALSE(page.BoxEnabled());
        EXPECT_TRUE(page.SetByAdministrator());
        EXPECT_FALSE(page.Dirty());
        int puts = 0;
        page.Apply([&](bool) { ++puts; });
        EXPECT_EQ(puts, 0);
    }
    PageState page;
    page.Initialize(std::nullopt, false, true);
    EXPECT_FALSE(page.SetByAdministrator()) << "only a bridge tells of a policy";
    page.Initialize(true, false, false);
    EXPECT_FALSE(page.SetByAdministrator());
    EXPECT_TRUE(page.BoxEnabled());
}

TEST(PageStateInitialise, WithoutBridgeIsUncheckedCleanAndDisabled) {
    PageState page;
    page.Initialize(std::nullopt);
    EXPECT_FALSE(page.Checked());
    EXPECT_FALSE(page.Dirty());
    EXPECT_FALSE(page.BoxEnabled());
    EXPECT_FALSE(page.HasBridge());
}

TEST(PageStateInitialise, CleansAPageThatWasDirty) {
    PageState page;
    page.Initialize(true);
    page.UserClicked(false);
    page.Initialize(true);
    EXPECT_FALSE(page.Dirty());
    EXPECT_TRUE(page.Checked());
}

TEST(PageStateClick, EveryClickMakesThePageDirty) {
    PageState page;
    page.Initialize(true);
    page.UserClicked(false);
    EXPECT_TRUE(page.Dirty());
    page.UserClicked(true);  // back to the first state: still a change by the user
    EXPECT_TRUE(page.Dirty());
    EXPECT_TRUE(page.Checked());
}

TEST(PageStateApply, WritesTheBoxAndCleans) {
    PageState page;
    page.Initialize(true);
    page.UserClicked(false);
    std::vector<bool> written;
    page.Apply([&](bool value) { written.push_back(value); });
    EXPECT_EQ(written, std::vector<bool>{false});
    EXPECT_FALSE(page.Dirty());
}

TEST(PageStateApply, TwoClicksWriteTheUnchangedValue) {
    PageState page;
    page.Initialize(true);
    page.UserClicked(false);
    page.UserClicked(true);
    std::vector<bool> written;
    page.Apply([&](bool value) { written.push_back(value); });
    EXPECT_EQ(written, std::vector<bool>{true});
    EXPECT_FALSE(page.Dirty());
}

TEST(PageStateApply, AFailedPutLeavesThePageDirty) {
    PageState page;
    page.Initialize(false);
    page.UserClicked(true);
    EXPECT_THROW(page.Apply([](bool) { throw std::runtime_error("put failed"); }), std::runtime_error);
    EXPECT_TRUE(page.Dirty());
    EXPECT_TRUE(page.Checked());
}

TEST(PageStateApply, OnACleanPageStillWritesTheBox) {
    PageState page;
    page.Initialize(true);
    std::vector<bool> written;
    page.Apply([&](bool value) { written.push_back(value); });
    EXPECT_EQ(written, std::vector<bool>{true});
    EXPECT_FALSE(page.Dirty());
}

}  // namespace
