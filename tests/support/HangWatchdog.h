#pragma once
// Ends the test process with a message when a scope runs past its limit: a test of something that
// must never block fails instead of holding ctest until its time-out.
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>

class HangWatchdog {
public:
    explicit HangWatchdog(std::string what, std::chrono::seconds limit = std::chrono::seconds(60))
        : m_thread([this, what = std::move(what), limit] {
              std::unique_lock lock(m_mutex);
              if (!m_finished.wait_for(lock, limit, [this] { return m_done; })) {
                  std::fprintf(stderr, "Blocked for %llds: %s\n", static_cast<long long>(limit.count()),
                               what.c_str());
                  std::_Exit(EXIT_FAILURE);
              }
          }) {}
    ~HangWatchdog() {
        {
            std::lock_guard lock(m_mutex);
            m_done = true;
        }
        m_finished.notify_one();
        m_thread.join();
    }
    HangWatchdog(const HangWatchdog&) = delete;
    HangWatchdog& operator=(const HangWatchdog&) = delete;

private:
    std::mutex m_mutex;
    std::condition_variable m_finished;
    bool m_done = false;
    std::thread m_thread; // last: it starts once the members it waits on exist
};
