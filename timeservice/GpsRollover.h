#pragma once
// GPS week-number rollover. Many receivers count the GPS week in ten bits and report dates 1024
// weeks (7168 days), or a multiple of that, in the past. No receiver can truly report a date
// earlier than this program's release, so such a date is taken as a rollover and moved forward by
// whole periods of 1024 weeks until it is not earlier.
#include <cstdint>

constexpr std::int64_t kGpsRolloverWeeks = 1024;
constexpr std::int64_t kGpsRolloverMs = kGpsRolloverWeeks * 7 * 86'400'000;

// Milliseconds since 1970 of the release date's first moment (00:00:00 UTC).
std::int64_t ReleaseDateUnixMs();

// How many periods of 1024 weeks must be added to a receiver's time (milliseconds since 1970)
// so that it is not earlier than the release date; 0 for a time at or after it.
std::int64_t GpsRolloversToRelease(std::int64_t unixMs);
