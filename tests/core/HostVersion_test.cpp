#include <gtest/gtest.h>

#include "addin/core/HostVersion.h"
#include "tests/core/Session.h"

using namespace addin;

namespace {

int16_t Overflowing(const std::u16string& version) {
    try {
        return MajorVersionOf(version);
    } catch (const HostError& e) {
        EXPECT_EQ(e.status, HostStatus::Overflow);
        throw;
    }
}

}  // namespace

TEST(MajorVersionOf, TextBeforeTheFirstDot) {
    EXPECT_EQ(MajorVersionOf(u"9.0.0.2711"), 9);
    EXPECT_EQ(MajorVersionOf(u"11.0.5510"), 11);
    EXPECT_EQ(MajorVersionOf(u"16.0"), 16);
}

TEST(MajorVersionOf, NoDotGivesMinusOne) {
    EXPECT_EQ(MajorVersionOf(u"abc"), -1);
    EXPECT_EQ(MajorVersionOf(u"11"), -1);
    EXPECT_EQ(MajorVersionOf(u""), -1);
}

TEST(MajorVersionOf, ReadsTheLeadingNumberOnly) {
    EXPECT_EQ(MajorVersionOf(u"  10.0"), 10);
    EXPECT_EQ(MajorVersionOf(u"\t12abc.0"), 12);
    EXPECT_EQ(MajorVersionOf(u"abc.0"), 0);
    EXPECT_EQ(MajorVersionOf(u".5"), 0);
    EXPECT_EQ(MajorVersionOf(u"1 2.0"), 1);
    EXPECT_EQ(MajorVersionOf(u"-3.0"), -3);
    EXPECT_EQ(MajorVersionOf(u"7e.0"), 7);
}

TEST(MajorVersionOf, ExponentsRoundToNearestHalvesToEven) {
    EXPECT_EQ(MajorVersionOf(u"25e-1.0"), 2);
    EXPECT_EQ(MajorVersionOf(u"35e-1.0"), 4);
    EXPECT_EQ(MajorVersionOf(u"26e-1.0"), 3);
    EXPECT_EQ(MajorVersionOf(u"1e1.0"), 10);
}

TEST(MajorVersionOf, OutsideSixteenBitsOverflows) {
    EXPECT_EQ(MajorVersionOf(u"32767.0"), 32767);
    EXPECT_EQ(MajorVersionOf(u"-32768.0"), -32768);
    EXPECT_THROW(Overflowing(u"32768.0"), HostError);
    EXPECT_THROW(Overflowing(u"99999.5"), HostError);
    EXPECT_THROW(Overflowing(u"1e400.0"), HostError);
}

TEST(HostVersionRead, FailureLeavesMinusOne) {
    standin::Host good(std::make_shared<standin::CommandBarStore>(), {u"11.0.5510"});
    HostVersion version;
    version.Read(*good.Application());
    EXPECT_EQ(version.Major(), 11);
    standin::Host bad(std::make_shared<standin::CommandBarStore>(), {u"40000.1"});
    EXPECT_THROW(version.Read(*bad.Application()), HostError);
    EXPECT_EQ(version.Major(), -1);
}
