#pragma once
// Calendar times as the clock-setting code handles them, and their conversion to NTP timestamps
// (seconds since 1900 in the high 32 bits, the fraction of a second in units of 2^-32 s below).
#include "app/ViewSettings.h"

#include <cstdint>
#include <ctime>
#include <optional>

// A UTC calendar time with milliseconds. Fields are kept as read, so a parsed time may be out of
// range until IsValidSystemTime says otherwise.
struct SystemTime {
    std::uint32_t wYear = 0;
    std::uint32_t wMonth = 0;
    std::uint32_t wDayOfWeek = 0;
    std::uint32_t wDay = 0;
    std::uint32_t wHour = 0;
    std::uint32_t wMinute = 0;
    std::uint32_t wSecond = 0;
    std::uint32_t wMilliseconds = 0;

    friend bool operator==(const SystemTime&, const SystemTime&) = default;
};

// Every field in its range, the day within its month, the year within 1601..30827 (what the PC's
// clock accepts).
bool IsValidSystemTime(const SystemTime& time);

// Milliseconds since 1970-01-01 UTC of a valid time.
std::int64_t SystemTimeToUnixMs(const SystemTime& time);
// The calendar time of milliseconds since 1970 (day of the week 0).
SystemTime UnixMsToSystemTime(std::int64_t unixMs);
// A valid time moved by a number of milliseconds; nothing when the result leaves the valid range.
std::optional<SystemTime> ShiftSystemTime(const SystemTime& time, std::int64_t ms);
timespec SystemTimeToTimespec(const SystemTime& time);

// The timestamp of a calendar time, to the millisecond.
NtpTimestamp SystemTimeToNtp(const SystemTime& time);
// The timestamp of a clock reading, to the nanosecond's nearest fraction.
NtpTimestamp TimespecToNtp(const timespec& time);

constexpr std::uint32_t NtpSeconds(NtpTimestamp t) {
    return static_cast<std::uint32_t>(t >> 32);
}
constexpr std::uint32_t NtpFraction(NtpTimestamp t) {
    return static_cast<std::uint32_t>(t);
}
constexpr NtpTimestamp MakeNtp(std::uint32_t seconds, std::uint32_t fraction) {
    return (static_cast<NtpTimestamp>(seconds) << 32) | fraction;
}
