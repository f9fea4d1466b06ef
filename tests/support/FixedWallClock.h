#pragma once
// A wall clock standing at a chosen UTC time, which tests may move; setting it only records.
#include "platform/WallClock.h"

#include <optional>

class FixedWallClock : public platform::WallClock {
public:
    explicit FixedWallClock(time_t utcSeconds, long nanoseconds = 0) : m_now{utcSeconds, nanoseconds} {}
    timespec now() const override { return m_now; }
    bool hasSetTimePrivilege() const override { return true; }
    platform::ClockSetResult setTime(const timespec& utc) override {
        lastSet = utc;
        m_now = utc;
        return platform::ClockSetResult::Ok;
    }
    void set(time_t utcSeconds, long nanoseconds = 0) { m_now = {utcSeconds, nanoseconds}; }

    std::optional<timespec> lastSet;

private:
    timespec m_now;
};
