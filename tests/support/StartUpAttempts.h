#pragma once
// The start-up exchange gives each of the receiver's answers a fixed time, and a busy machine can
// deliver a simulated receiver's answer after it (or an earlier answer late enough to spoil the next
// one): the exchange then goes on without what the answer held (the leap seconds, a probe's result),
// through no fault of the program. A test of what the exchange takes from the answers starts again
// when that is missing, twice at most; a program that never takes it fails every time.
#include <functional>

constexpr int kStartUpAttempts = 3;

// Runs `start` until `took` holds after it, kStartUpAttempts times at most, with `undo` before each
// further start; true once `took` holds.
inline bool StartUntilTaken(const std::function<void()>& start, const std::function<bool()>& took,
                            const std::function<void()>& undo) {
    for (int attempt = 0; attempt < kStartUpAttempts; ++attempt) {
        if (attempt > 0)
            undo();
        start();
        if (took())
            return true;
    }
    return false;
}
