#include "proppage/core/About.h"

#include <gtest/gtest.h>

#include "proppage/core/URLs.h"

namespace {

TEST(AboutTexts, CaptionIsAboutAndTheTitle) {
    EXPECT_EQ(proppage::About::Caption(), u"About Quenmark Save Attachments");
    EXPECT_EQ(std::u16string(proppage::About::AppTitle), u"Quenmark Save Attachments");
}

TEST(AboutVersion, PlainDecimalWithoutLeadingZeros) {
    EXPECT_EQ(proppage::About::FormatVersion(1, 2, 0), u"1.2.0");
    EXPECT_EQ(proppage::About::FormatVersion(1, 0, 0), u"1.0.0");
    EXPECT_EQ(proppage::About::FormatVersion(0, 0, 0), u"0.0.0");
    EXPECT_EQ(proppage::About::FormatVersion(10, 20, 305), u"10.20.305");
    EXPECT_EQ(proppage::About::FormatVersion(65535, 1, 9), u"65535.1.9");
}

TEST(AboutAddresses, AreUnderTheReservedExampleDomain) {
    for (std::u16string address : {proppage::URLs::WebSite, proppage::URLs::Documentation, proppage::URLs::SupportEmail}) {
        SCOPED_TRACE(std::string(address.begin(), address.end()));
        EXPECT_NE(address.find(u".example"), std::u16string::npos);
    }
    EXPECT_EQ(std::u16string(proppage::URLs::WebSite).rfind(u"https://", 0), 0u);
    EXPECT_EQ(std::u16string(proppage::URLs::Documentation).rfind(u"https://", 0), 0u);
    EXPECT_NE(std::u16string(proppage::URLs::SupportEmail).find(u'@'), std::u16string::npos);
}

}  // namespace
