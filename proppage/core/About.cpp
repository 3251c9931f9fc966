#include "proppage/core/About.h"

namespace proppage::About {
namespace {

std::u16string Decimal(uint16_t n) {
    std::u16string digits;
    do {
        digits.insert(digits.begin(), static_cast<char16_t>(u'0' + n % 10));
        n = static_cast<uint16_t>(n / 10);
    } while (n != 0);
    return digits;
}

}  // namespace

std::u16string Caption() { return std::u16string(u"About ") + AppTitle; }

std::u16string FormatVersion(uint16_t major, uint16_t minor, uint16_t revision) {
    return Decimal(major) + u"." + Decimal(minor) + u"." + Decimal(revision);
}

}  // namespace proppage::About
