#pragma once
// The shortest period the view arms its repeating timers with. A stored period of 0 or less
// would fire on every pass of the event loop and starve the user interface.
#include <algorithm>

constexpr int kMinTimerPeriodMs = 10;

constexpr int ClampTimerPeriod(int periodMs) {
    return std::max(kMinTimerPeriodMs, periodMs);
}
