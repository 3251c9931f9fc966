// Administrators' policies over "Replace with shortcut": the two hives resolved value by value, and
// their reading through the platform.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "addin/core/Policies.h"
#include "tests/core/FakePlatform.h"
#include "tests/core/Session.h"

using namespace addin;

namespace {

using Value = Policies::Value;
using Kind = Value::Kind;
using Hive = Platform::PolicyHive;

const Value kAbsent{};
Value Dword(uint32_t n) { return {Kind::Dword, n}; }
const Value kText{Kind::OtherType, 0};

std::string Narrow(const std::u16string& s) { return {s.begin(), s.end()}; }

struct Case {
    const char* name;
    Policies::Held replace;  // ReplaceWithLinks: machine, user
    Policies::Held allow;    // AllowReplace: machine, user
    std::optional<bool> lockedTo;
    bool allowed;
    std::vector<std::u16string> ignored;
};

constexpr char16_t kMachineReplace[] = u"HKLM\\Software\\Policies\\Quenmark\\Save Attachments\\ReplaceWithLinks";
constexpr char16_t kUserReplace[] = u"HKCU\\Software\\Policies\\Quenmark\\Save Attachments\\ReplaceWithLinks";
constexpr char16_t kMachineAllow[] = u"HKLM\\Software\\Policies\\Quenmark\\Save Attachments\\AllowReplace";
constexpr char16_t kUserAllow[] = u"HKCU\\Software\\Policies\\Quenmark\\Save Attachments\\AllowReplace";

std::u16string NotDword(const char16_t* where) {
    return u"Policy " + std::u16string(where) + u" ignored: not a REG_DWORD";
}
std::u16string OutOfRange(const char16_t* where, const char16_t* n) {
    return u"Policy " + std::u16string(where) + u" ignored: " + n + u" is neither 0 nor 1";
}

std::vector<Case> Cases() {
    return {
        {"nothing set: the preference applies, the box is offered", {}, {}, std::nullopt, true, {}},
        // Each value in each hive alone.
        {"machine ReplaceWithLinks 1", {Dword(1), kAbsent}, {}, true, true, {}},
        {"machine ReplaceWithLinks 0", {Dword(0), kAbsent}, {}, false, true, {}},
        {"user ReplaceWithLinks 1", {kAbsent, Dword(1)}, {}, true, true, {}},
        {"user ReplaceWithLinks 0", {kAbsent, Dword(0)}, {}, false, true, {}},
        {"machine AllowReplace 0", {}, {Dword(0), kAbsent}, std::nullopt, false, {}},
        {"user AllowReplace 0", {}, {kAbsent, Dword(0)}, std::nullopt, false, {}},
        {"machine AllowReplace 1 is the default", {}, {Dword(1), kAbsent}, std::nullopt, true, {}},
        // Both hives: the machine's value wins, value by value.
        {"both ReplaceWithLinks: the machine's wins (0 over 1)", {Dword(0), Dword(1)}, {}, false, true, {}},
        {"both ReplaceWithLinks: the machine's wins (1 over 0)", {Dword(1), Dword(0)}, {}, true, true, {}},
        {"both AllowReplace: the machine's 1 wins over the user's 0", {}, {Dword(1), Dword(0)}, std::nullopt, true, {}},
        {"both AllowReplace: the machine's 0 wins over the user's 1",
         {},
         {Dword(0), Dword(1)},
         std::nullopt,
         false,
         {}},
        {"each value from another hive", {Dword(1), kAbsent}, {kAbsent, Dword(0)}, true, false, {}},
        // Wrong types and values out of range count as absent, and are told.
        {"machine ReplaceWithLinks as text",
         {kText, kAbsent},
         {},
         std::nullopt,
         true,
         {NotDword(kMachineReplace)}},
        {"user AllowReplace as text", {}, {kAbsent, kText}, std::nullopt, true, {NotDword(kUserAllow)}},
        {"machine ReplaceWithLinks 2",
         {Dword(2), kAbsent},
         {},
         std::nullopt,
         true,
         {OutOfRange(kMachineReplace, u"2")}},
        {"user AllowReplace 4294967295",
         {},
         {kAbsent, Dword(0xFFFFFFFFu)},
         std::nullopt,
         true,
         {OutOfRange(kUserAllow, u"4294967295")}},
        // An ignored machine value does not count, so the user's valid one applies.
        {"machine text, user 0: the user's applies", {kText, Dword(0)}, {}, false, true, {NotDword(kMachineReplace)}},
        {"machine 7, user AllowReplace 0: the user's applies",
         {},
         {Dword(7), Dword(0)},
         std::nullopt,
         false,
         {OutOfRange(kMachineAllow, u"7")}},
        // An ignored user value is told even where the machine's wins.
        {"machine 1, user text", {Dword(1), kText}, {}, true, true, {NotDword(kUserReplace)}},
        {"all four wrong",
         {kText, Dword(3)},
         {Dword(2), kText},
         std::nullopt,
         true,
         {NotDword(kMachineReplace), OutOfRange(kUserReplace, u"3"), OutOfRange(kMachineAllow, u"2"),
          NotDword(kUserAllow)}},
    };
}

}  // namespace

TEST(Policies, ResolveEachValueEachHiveBothAndWrongTypes) {
    for (const Case& c : Cases()) {
        SCOPED_TRACE(c.name);
        const Policies::Effective effective = Policies::Resolve(c.replace, c.allow);
        EXPECT_EQ(effective.replaceWithLinks, c.lockedTo);
        EXPECT_EQ(effective.replaceAllowed, c.allowed);
        std::vector<std::string> got, want;
        for (const auto& line : effective.ignored) got.push_back(Narrow(line));
        for (const auto& line : c.ignored) want.push_back(Narrow(line));
        EXPECT_EQ(got, want);
        EXPECT_EQ(effective.Locked(), c.lockedTo.has_value() || !c.allowed);
    }
}

TEST(Policies, TheStartStateIsThePolicysOrThePreferenceAndNeverTickedWhenWithdrawn) {
    struct Row {
        std::optional<bool> lockedTo;
        bool allowed;
        bool preference;
        bool ticked;
    };
    const Row rows[] = {
        {std::nullopt, true, true, true},   {std::nullopt, true, false, false}, {true, true, false, true},
        {false, true, true, false},         {std::nullopt, false, true, false}, {true, false, true, false},
    };
    for (const Row& r : rows) {
        Policies::Effective effective;
        effective.replaceWithLinks = r.lockedTo;
        effective.replaceAllowed = r.allowed;
        EXPECT_EQ(effective.StartsTicked(r.preference), r.ticked)
            << r.lockedTo.value_or(-1) << " " << r.allowed << " " << r.preference;
    }
}

TEST(Policies, ReadAsksBothHivesForBothValuesUnderTheAddInsKeyAndTellsWhatItIgnores) {
    Session session;  // connects the tolerated-failure record
    FakePlatform platform;
    platform.policies[{Hive::Machine, u"ReplaceWithLinks"}] = Dword(0);
    platform.policies[{Hive::User, u"ReplaceWithLinks"}] = Dword(1);
    platform.policies[{Hive::User, u"AllowReplace"}] = kText;
    const Policies::Effective effective = Policies::Read(platform);
    EXPECT_EQ(effective.replaceWithLinks, false);
    EXPECT_TRUE(effective.replaceAllowed);

    const std::u16string key = u"Software\\Policies\\Quenmark\\Save Attachments\\";
    const std::vector<std::pair<Hive, std::u16string>> reads = {{Hive::Machine, key + u"ReplaceWithLinks"},
                                                                {Hive::User, key + u"ReplaceWithLinks"},
                                                                {Hive::Machine, key + u"AllowReplace"},
                                                                {Hive::User, key + u"AllowReplace"}};
    EXPECT_EQ(platform.policyReads, reads);
    EXPECT_EQ(Tolerated::Statuses(), std::vector<int32_t>{HostStatus::TypeMismatch}) << "the text value, told once";
}

TEST(Policies, AKeyThatCannotBeReadHoldsNoPolicyAndIsTold) {
    Session session;
    FakePlatform platform;
    platform.policies[{Hive::Machine, u"AllowReplace"}] = Dword(0);
    platform.failPolicyRead = true;
    const Policies::Effective effective = Policies::Read(platform);
    EXPECT_FALSE(effective.replaceWithLinks.has_value());
    EXPECT_TRUE(effective.replaceAllowed);
    EXPECT_EQ(Tolerated::Statuses(), std::vector<int32_t>(4, HostStatus::NoAccess));
}
