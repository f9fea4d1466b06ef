#include "platform/WallClock.h"

#include <linux/capability.h>
#include <mutex>
#include <sys/syscall.h>
#include <unistd.h>

namespace platform {

namespace {
std::mutex g_clockMutex;
std::shared_ptr<WallClock> g_clock;
} // namespace

timespec SystemWallClock::now() const {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    return now;
}

bool SystemWallClock::hasSetTimePrivilege() const {
    // The effective capability set of this process, read with capget (no libcap needed).
    __user_cap_header_struct header{};
    header.version = _LINUX_CAPABILITY_VERSION_3;
    header.pid = 0;
    __user_cap_data_struct data[_LINUX_CAPABILITY_U32S_3] = {};
    if (syscall(SYS_capget, &header, data) != 0)
        return false;
    const unsigned index = CAP_TO_INDEX(CAP_SYS_TIME);
    return (data[index].effective & CAP_TO_MASK(CAP_SYS_TIME)) != 0;
}

ClockSetResult SystemWallClock::setTime(const timespec& utc) {
    if (!hasSetTimePrivilege())
        return ClockSetResult::NoPrivilege;
    return clock_settime(CLOCK_REALTIME, &utc) == 0 ? ClockSetResult::Ok : ClockSetResult::Failed;
}

WallClock& CurrentWallClock() {
    static SystemWallClock system;
    std::lock_guard lock(g_clockMutex);
    return g_clock ? *g_clock : system;
}

void SetWallClock(std::shared_ptr<WallClock> clock) {
    std::lock_guard lock(g_clockMutex);
    g_clock = std::move(clock);
}

std::tm ToLocalTime(const timespec& utc) {
    std::tm result{};
    const time_t seconds = utc.tv_sec;
    localtime_r(&seconds, &result);
    return result;
}

std::tm ToUtcTime(const timespec& utc) {
    std::tm result{};
    const time_t seconds = utc.tv_sec;
    gmtime_r(&seconds, &result);
    return result;
}

} // namespace platform
