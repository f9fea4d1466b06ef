#include "platform/TickCount.h"

#include <ctime>
#include <mutex>

namespace platform {

namespace {
std::mutex g_sourceMutex;
std::shared_ptr<TickSource> g_source;
} // namespace

std::uint32_t MonotonicTickSource::ticks() const {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    const auto ms =
        static_cast<std::uint64_t>(now.tv_sec) * 1000u + static_cast<std::uint64_t>(now.tv_nsec) / 1000000u;
    return static_cast<std::uint32_t>(ms);
}

std::uint32_t GetTickCount() {
    std::shared_ptr<TickSource> source;
    {
        std::lock_guard lock(g_sourceMutex);
        source = g_source;
    }
    if (source)
        return source->ticks();
    static const MonotonicTickSource monotonic;
    return monotonic.ticks();
}

void SetTickSource(std::shared_ptr<TickSource> source) {
    std::lock_guard lock(g_sourceMutex);
    g_source = std::move(source);
}

} // namespace platform
