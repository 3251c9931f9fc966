#include "addin/core/SizeText.h"

#include <iterator>

namespace addin {

namespace {

std::u16string Decimal(std::uint64_t value) {
    std::u16string digits;
    do {
        digits.insert(digits.begin(), static_cast<char16_t>(u'0' + value % 10));
        value /= 10;
    } while (value != 0);
    return digits;
}

}  // namespace

std::u16string SizeText(std::uint64_t bytes) {
    if (bytes < 1024) return Decimal(bytes) + (bytes == 1 ? u" byte" : u" bytes");
    constexpr const char16_t* kUnits[] = {u" KB", u" MB", u" GB", u" TB"};
    std::size_t unit = 0;
    // long double keeps the largest sizes exact enough for the rounding.
    long double value = static_cast<long double>(bytes) / 1024;
    for (;;) {
        const auto tenths = static_cast<std::uint64_t>(value * 10 + 0.5L);
        if (tenths < 100) {
            if (tenths % 10 == 0) return Decimal(tenths / 10) + kUnits[unit];
            return Decimal(tenths / 10) + u"." + Decimal(tenths % 10) + kUnits[unit];
        }
        const auto whole = static_cast<std::uint64_t>(value + 0.5L);
        if (whole < 1024 || unit + 1 == std::size(kUnits)) return Decimal(whole) + kUnits[unit];
        value /= 1024, ++unit;
    }
}

}  // namespace addin
