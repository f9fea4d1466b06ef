#pragma once
// The PC's real-time clock (UTC) and the right to set it. Everything that reads or sets the wall
// clock goes through here, so tests can replace it and never touch the machine's real clock.
#include <ctime>
#include <memory>

namespace platform {

enum class ClockSetResult {
    Ok,
    NoPrivilege, // the process lacks the right to set the clock (CAP_SYS_TIME)
    Failed,      // the system refused the time
};

class WallClock {
public:
    virtual ~WallClock() = default;
    // Current UTC time (CLOCK_REALTIME).
    virtual timespec now() const = 0;
    // Whether the process holds the right to set the clock.
    virtual bool hasSetTimePrivilege() const = 0;
    // Sets the clock to the given UTC time.
    virtual ClockSetResult setTime(const timespec& utc) = 0;
};

// The machine's clock: clock_gettime / clock_settime on CLOCK_REALTIME.
class SystemWallClock : public WallClock {
public:
    timespec now() const override;
    bool hasSetTimePrivilege() const override;
    ClockSetResult setTime(const timespec& utc) override;
};

// The clock used everywhere in the program.
WallClock& CurrentWallClock();

// Replaces the clock (nullptr restores the machine's clock).
void SetWallClock(std::shared_ptr<WallClock> clock);

// The local broken-down time of a UTC instant (localtime_r).
std::tm ToLocalTime(const timespec& utc);
// The UTC broken-down time of an instant (gmtime_r).
std::tm ToUtcTime(const timespec& utc);

} // namespace platform
