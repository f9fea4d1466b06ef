#pragma once
// A wall clock standing at a chosen UTC time, which tests may move. Setting it records the time
// asked for and the machine's real time at that moment and, when the setting is to succeed, moves
// the clock there.
#include "platform/WallClock.h"

#include <vector>

class FixedWallClock : public platform::WallClock {
public:
    explicit FixedWallClock(time_t utcSeconds, long nanoseconds = 0) : m_now{utcSeconds, nanoseconds} {}
    timespec now() const override { return m_now; }
    bool hasSetTimePrivilege() const override { return privileged; }
    platform::ClockSetResult setTime(const timespec& utc) override {
        sets.push_back(utc);
        setAt.push_back(platform::SystemWallClock().now());
        if (result == platform::ClockSetResult::Ok)
            m_now = utc;
        return result;
    }
    void set(time_t utcSeconds, long nanoseconds = 0) { m_now = {utcSeconds, nanoseconds}; }

    bool privileged = true;
    platform::ClockSetResult result = platform::ClockSetResult::Ok;
    std::vector<timespec> sets;
    std::vector<timespec> setAt; // the real time of each setting

private:
    timespec m_now;
};
