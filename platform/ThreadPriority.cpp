#include "platform/ThreadPriority.h"

#include <cerrno>
#include <mutex>
#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>
#include <unistd.h>

namespace platform {

namespace {
std::mutex g_schedulerMutex;
std::shared_ptr<ThreadScheduler> g_scheduler;

// Nice values are per thread on Linux when addressed by thread id.
constexpr int kAboveNormalNice = -5;

int CurrentNice() {
    errno = 0;
    const int nice = getpriority(PRIO_PROCESS, static_cast<id_t>(gettid()));
    return errno == 0 ? nice : 0;
}
} // namespace

ThreadScheduling SystemThreadScheduler::current() const {
    ThreadScheduling saved;
    sched_param param{};
    if (pthread_getschedparam(pthread_self(), &saved.policy, &param) == 0)
        saved.priority = param.sched_priority;
    saved.nice = CurrentNice();
    return saved;
}

bool SystemThreadScheduler::raise(ThreadPriority priority) {
    switch (priority) {
    case ThreadPriority::TimeCritical: {
        sched_param param{};
        param.sched_priority = sched_get_priority_max(SCHED_FIFO);
        return pthread_setschedparam(pthread_self(), SCHED_FIFO, &param) == 0;
    }
    case ThreadPriority::AboveNormal:
        return setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), kAboveNormalNice) == 0;
    case ThreadPriority::Normal: {
        sched_param param{};
        return pthread_setschedparam(pthread_self(), SCHED_OTHER, &param) == 0;
    }
    }
    return false;
}

bool SystemThreadScheduler::restore(const ThreadScheduling& saved) {
    sched_param param{};
    param.sched_priority = saved.priority;
    bool ok = pthread_setschedparam(pthread_self(), saved.policy, &param) == 0;
    if (CurrentNice() != saved.nice)
        ok = setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), saved.nice) == 0 && ok;
    return ok;
}

ThreadScheduler& CurrentThreadScheduler() {
    static SystemThreadScheduler system;
    std::lock_guard lock(g_schedulerMutex);
    return g_scheduler ? *g_scheduler : system;
}

void SetThreadScheduler(std::shared_ptr<ThreadScheduler> scheduler) {
    std::lock_guard lock(g_schedulerMutex);
    g_scheduler = std::move(scheduler);
}

} // namespace platform
