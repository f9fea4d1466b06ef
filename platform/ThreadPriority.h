#pragma once
// Scheduling priority of the calling thread: time-critical is SCHED_FIFO, above-normal a lower
// nice value, each only where the process is permitted. Replaceable, so tests never raise a real
// thread to real-time priority.
#include <memory>

namespace platform {

enum class ThreadPriority { Normal, AboveNormal, TimeCritical };

// What a thread ran with, so that a raised priority can be put back exactly.
struct ThreadScheduling {
    int policy = 0;   // SCHED_OTHER, SCHED_FIFO, ...
    int priority = 0; // the real-time priority (0 for SCHED_OTHER)
    int nice = 0;
};

class ThreadScheduler {
public:
    virtual ~ThreadScheduler() = default;
    virtual ThreadScheduling current() const = 0;
    // Raises the calling thread; false when the system refuses.
    virtual bool raise(ThreadPriority priority) = 0;
    // Puts the calling thread back; false when the system refuses.
    virtual bool restore(const ThreadScheduling& saved) = 0;
};

class SystemThreadScheduler : public ThreadScheduler {
public:
    ThreadScheduling current() const override;
    bool raise(ThreadPriority priority) override;
    bool restore(const ThreadScheduling& saved) override;
};

// The scheduler used everywhere in the program.
ThreadScheduler& CurrentThreadScheduler();

// Replaces the scheduler (nullptr restores the system's).
void SetThreadScheduler(std::shared_ptr<ThreadScheduler> scheduler);

} // namespace platform
