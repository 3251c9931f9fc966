#pragma once
// A calendar date and time of day as the host reports it (e.g. a message's SentOn).
#include <cstdint>

namespace host {

/// A local date and time, to the second, without time zone. Months and days count from 1.
struct DateTime {
    int16_t year = 1899;
    int16_t month = 12;
    int16_t day = 30;
    int16_t hour = 0;
    int16_t minute = 0;
    int16_t second = 0;

    friend bool operator==(const DateTime&, const DateTime&) = default;
};

}  // namespace host
