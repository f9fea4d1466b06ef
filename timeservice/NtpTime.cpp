#include "timeservice/NtpTime.h"

#include <array>
#include <chrono>

namespace {

constexpr std::uint32_t kMinYear = 1601;
constexpr std::uint32_t kMaxYear = 30827;
constexpr std::int64_t kMsPerDay = 86'400'000;
constexpr std::uint32_t kSecondsFrom1900To1970 = 2'208'988'800u;

std::chrono::year_month_day CalendarDate(const SystemTime& time) {
    return std::chrono::year_month_day{std::chrono::year{static_cast<int>(time.wYear)},
                                       std::chrono::month{time.wMonth}, std::chrono::day{time.wDay}};
}

// Entry i is round(i * 2^32 / 1000): the fraction of a second of i milliseconds.
constexpr std::array<std::uint32_t, 1000> MakeMillisecondFractions() {
    std::array<std::uint32_t, 1000> table{};
    for (std::uint64_t i = 0; i < table.size(); ++i)
        table[i] = static_cast<std::uint32_t>(((i << 32) + 500) / 1000);
    return table;
}
constexpr auto kMillisecondFractions = MakeMillisecondFractions();

} // namespace

bool IsValidSystemTime(const SystemTime& time) {
    if (time.wYear < kMinYear || time.wYear > kMaxYear || time.wMonth < 1 || time.wMonth > 12)
        return false;
    if (time.wHour > 23 || time.wMinute > 59 || time.wSecond > 59 || time.wMilliseconds > 999)
        return false;
    return time.wDay >= 1 && time.wDay <= 31 && CalendarDate(time).ok();
}

std::int64_t SystemTimeToUnixMs(const SystemTime& time) {
    const auto days = std::chrono::sys_days{CalendarDate(time)}.time_since_epoch().count();
    return static_cast<std::int64_t>(days) * kMsPerDay +
           ((time.wHour * 60 + time.wMinute) * 60 + time.wSecond) * std::int64_t{1000} + time.wMilliseconds;
}

SystemTime UnixMsToSystemTime(std::int64_t unixMs) {
    std::int64_t days = unixMs / kMsPerDay;
    std::int64_t msOfDay = unixMs % kMsPerDay;
    if (msOfDay < 0) {
        msOfDay += kMsPerDay;
        --days;
    }
    const std::chrono::year_month_day date{std::chrono::sys_days{std::chrono::days{days}}};
    SystemTime time;
    time.wYear = static_cast<std::uint32_t>(static_cast<int>(date.year()));
    time.wMonth = static_cast<unsigned>(date.month());
    time.wDay = static_cast<unsigned>(date.day());
    time.wHour = static_cast<std::uint32_t>(msOfDay / 3'600'000);
    time.wMinute = static_cast<std::uint32_t>(msOfDay / 60'000 % 60);
    time.wSecond = static_cast<std::uint32_t>(msOfDay / 1000 % 60);
    time.wMilliseconds = static_cast<std::uint32_t>(msOfDay % 1000);
    return time;
}

std::optional<SystemTime> ShiftSystemTime(const SystemTime& time, std::int64_t ms) {
    if (!IsValidSystemTime(time))
        return std::nullopt;
    if (ms == 0)
        return time;
    const std::int64_t shifted = SystemTimeToUnixMs(time) + ms;
    SystemTime result = UnixMsToSystemTime(shifted);
    if (!IsValidSystemTime(result))
        return std::nullopt;
    result.wDayOfWeek = time.wDayOfWeek;
    return result;
}

timespec SystemTimeToTimespec(const SystemTime& time) {
    const std::int64_t ms = SystemTimeToUnixMs(time);
    timespec result{};
    result.tv_sec = static_cast<time_t>(ms / 1000);
    result.tv_nsec = static_cast<long>(ms % 1000) * 1'000'000;
    return result;
}

NtpTimestamp SystemTimeToNtp(const SystemTime& time) {
    // Days from 1900-01-01, counting March as the first month so that the leap day falls last.
    std::int64_t year = time.wYear;
    const std::int64_t month = time.wMonth;
    if (month < 3)
        --year;
    const std::int64_t century = year / 100;
    const std::int64_t yearOfCentury = year - 100 * century;
    std::int64_t days = month > 2 ? (153 * month - 457) / 5 : (153 * month + 1379) / 5;
    days += time.wDay + (yearOfCentury * 1461) / 4 + (century * 146097) / 4 - 693'902;
    const std::int64_t seconds = ((days * 24 + time.wHour) * 60 + time.wMinute) * 60 + time.wSecond;
    const std::uint32_t fraction = kMillisecondFractions[time.wMilliseconds % 1000];
    return MakeNtp(static_cast<std::uint32_t>(seconds), fraction);
}

NtpTimestamp TimespecToNtp(const timespec& time) {
    const auto seconds =
        static_cast<std::uint32_t>(static_cast<std::uint64_t>(time.tv_sec) + kSecondsFrom1900To1970);
    const auto fraction = static_cast<std::uint32_t>(
        ((static_cast<std::uint64_t>(time.tv_nsec) << 32) + 500'000'000u) / 1'000'000'000u);
    return MakeNtp(seconds, fraction);
}
