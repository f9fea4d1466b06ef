#pragma once
// Counts the opens of a file (of what the path names when the counter is made): inotify reports
// each as it happens, as an event without a name.
#include <QFile>
#include <QString>
#include <cstddef>
#include <gtest/gtest.h>
#include <sys/inotify.h>
#include <unistd.h>

class OpenCounter {
public:
    explicit OpenCounter(const QString& path) : m_fd(inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {
        EXPECT_GE(inotify_add_watch(m_fd, QFile::encodeName(path).constData(), IN_OPEN), 0);
    }
    ~OpenCounter() { close(m_fd); }
    OpenCounter(const OpenCounter&) = delete;
    OpenCounter& operator=(const OpenCounter&) = delete;

    // The opens since the last call.
    int Opens() {
        int opens = 0;
        inotify_event events[64];
        for (ssize_t n; (n = read(m_fd, events, sizeof events)) > 0;) {
            for (std::size_t i = 0; i < static_cast<std::size_t>(n) / sizeof(inotify_event); ++i)
                opens += (events[i].mask & IN_OPEN) != 0;
        }
        return opens;
    }

private:
    int m_fd;
};
