#include "timeservice/GpsRollover.h"

#include "app/ReleaseDate.h"

std::int64_t ReleaseDateUnixMs() {
    const auto days = std::chrono::sys_days{kReleaseDate}.time_since_epoch().count();
    return static_cast<std::int64_t>(days) * 86'400'000;
}

std::int64_t GpsRolloversToRelease(std::int64_t unixMs) {
    const std::int64_t release = ReleaseDateUnixMs();
    if (unixMs >= release)
        return 0;
    return (release - unixMs + kGpsRolloverMs - 1) / kGpsRolloverMs;
}
