#include "proppage/core/Layout.h"

#include <gtest/gtest.h>

namespace {

using proppage::Box;
using proppage::Scale;
namespace Page = proppage::PageLayout;

bool Inside(const Box& inner, const Box& outer) {
    return inner.left >= outer.left && inner.top >= outer.top &&
           inner.left + inner.width <= outer.left + outer.width && inner.top + inner.height <= outer.top + outer.height;
}

TEST(LayoutScale, At96DpiIsTheTable) {
    EXPECT_EQ(Scale(Page::Frame, 96), Page::Frame);
    EXPECT_EQ(Scale(415, 96), 415);
}

TEST(LayoutScale, LargerDpiScalesEveryEdge) {
    EXPECT_EQ(Scale(Page::ReplaceWithLinks, 192), (Box{88, 114, 450, 50}));
    // 120 DPI: 44*1.25 = 55, 57*1.25 = 71.25 -> 71, right edge 269*1.25 = 336.25 -> 336,
    // bottom edge 82*1.25 = 102.5 -> 103.
    EXPECT_EQ(Scale(Page::ReplaceWithLinks, 120), (Box{55, 71, 281, 32}));
    EXPECT_EQ(Scale(5, 120), 6);  // 6.25 rounds down
    EXPECT_EQ(Scale(2, 120), 3);  // 2.5 rounds half up
}

TEST(LayoutScale, NeighboursStayAdjacentAtOddDpi) {
    const Box a{10, 10, 13, 7};
    const Box b{23, 17, 5, 5};
    for (int dpi : {72, 96, 110, 120, 144, 168}) {
        const Box sa = Scale(a, dpi), sb = Scale(b, dpi);
        EXPECT_EQ(sa.left + sa.width, sb.left) << dpi;
        EXPECT_EQ(sa.top + sa.height, sb.top) << dpi;
    }
}

TEST(LayoutFont, EightPointQuarterIsElevenPixelsAt96) {
    EXPECT_EQ(proppage::FontPixelHeight(96), 11);
    EXPECT_EQ(proppage::FontPixelHeight(120), 14);  // 13.75
    EXPECT_EQ(proppage::FontPixelHeight(144), 17);  // 16.5
}

TEST(LayoutPage, TheBoxLiesInsideTheFrameAndEverythingInsideThePage) {
    EXPECT_TRUE(Inside(Page::ReplaceWithLinks, Page::Frame));
    EXPECT_TRUE(Inside(Page::AdministratorNote, Page::Frame));
    EXPECT_GE(Page::AdministratorNote.top, Page::ReplaceWithLinks.top + Page::ReplaceWithLinks.height) << "below the box";
    const Box client{0, 0, Page::ClientWidth, Page::ClientHeight};
    for (const Box& b : {Page::ReplaceWithLinks, Page::Frame, Page::AboutButton}) EXPECT_TRUE(Inside(b, client));
}

TEST(LayoutAbout, EveryControlInsideTheClientArea) {
    namespace A = proppage::AboutLayout;
    const Box client{0, 0, A::ClientWidth, A::ClientHeight};
    for (const Box& b : {A::AppName, A::VersionLabel, A::VersionNumber, A::QuenmarkLink, A::SupportLabel, A::SupportEmail,
                         A::DocumentationLabel, A::DocumentationLink, A::OkButton})
        EXPECT_TRUE(Inside(b, client)) << b.left << "," << b.top;
}

}  // namespace
