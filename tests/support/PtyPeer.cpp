#include "support/PtyPeer.h"

#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <poll.h>
#include <stdexcept>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

namespace {

void MakeRaw(int fd) {
    termios raw{};
    if (tcgetattr(fd, &raw) == 0) {
        cfmakeraw(&raw);
        tcsetattr(fd, TCSANOW, &raw);
    }
}

} // namespace

PtyPeer::PtyPeer() {
    m_fd = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    char name[128] = {};
    if (m_fd < 0 || grantpt(m_fd) != 0 || unlockpt(m_fd) != 0 || ptsname_r(m_fd, name, sizeof name))
        throw std::runtime_error("no pseudo-terminal");
    m_slavePath = QString::fromLocal8Bit(name);
    m_slaveKeeper = ::open(name, O_RDWR | O_NOCTTY | O_NONBLOCK);
    MakeRaw(m_fd);
}

PtyPeer::PtyPeer(const QString& path) {
    m_fd = ::open(path.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (m_fd < 0)
        return;
    MakeRaw(m_fd);
    tcflush(m_fd, TCIOFLUSH);
}

PtyPeer::~PtyPeer() {
    close();
}

void PtyPeer::startResponder(Responder responder) {
    stopResponder();
    qsizetype taken = 0; // bytes of m_received already answered
    {
        std::lock_guard lock(m_mutex);
        taken = m_received.size();
    }
    m_running = true;
    m_thread = std::thread([this, taken, responder = std::move(responder)]() mutable {
        while (m_running) {
            pump(5);
            QByteArray command;
            {
                std::lock_guard lock(m_mutex);
                const qsizetype cr = m_received.indexOf('\r', taken);
                if (cr < 0)
                    continue;
                const qsizetype end =
                    cr + 1 < m_received.size() && m_received[cr + 1] == '\n' ? cr + 2 : cr + 1;
                command = m_received.mid(taken, end - taken);
                taken = end;
            }
            write(responder(command));
        }
    });
}

void PtyPeer::stopResponder() {
    m_running = false;
    if (m_thread.joinable())
        m_thread.join();
}

void PtyPeer::pump(int timeoutMs) {
    pollfd fd{m_fd, POLLIN, 0};
    const int ready = ::poll(&fd, 1, timeoutMs);
    if (ready <= 0)
        return;
    if (!(fd.revents & POLLIN)) {
        if (m_slaveKeeper < 0)
            m_hungUp = true;
        else // a fresh terminal whose port the program has closed: nothing to read for now
            std::this_thread::sleep_for(std::chrono::milliseconds(timeoutMs));
        return;
    }
    char buffer[4096];
    const ssize_t count = ::read(m_fd, buffer, sizeof buffer);
    if (count > 0) {
        {
            std::lock_guard lock(m_mutex);
            m_received.append(buffer, count);
        }
        m_arrived.notify_all();
    } else if (count == 0 || (fd.revents & POLLHUP)) {
        m_hungUp = true;
    }
}

bool PtyPeer::write(const QByteArray& bytes) {
    qsizetype done = 0;
    while (m_fd >= 0 && done < bytes.size()) {
        const ssize_t count = ::write(m_fd, bytes.constData() + done, bytes.size() - done);
        if (count > 0) {
            done += count;
            continue;
        }
        if (count < 0 && errno != EAGAIN && errno != EINTR)
            return false;
        pollfd fd{m_fd, POLLOUT, 0};
        if (::poll(&fd, 1, 5000) <= 0 || !(fd.revents & POLLOUT))
            return false;
    }
    return m_fd >= 0;
}

QByteArray PtyPeer::received() {
    if (!m_running && m_fd >= 0)
        pump(20);
    std::lock_guard lock(m_mutex);
    return m_received;
}

QByteArray PtyPeer::receivedOnce(const std::function<bool(const QByteArray&)>& done, int timeoutMs) {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    if (m_running) { // the responder reads
        std::unique_lock lock(m_mutex);
        m_arrived.wait_until(lock, deadline, [&] { return done(m_received); });
        return m_received;
    }
    while (m_fd >= 0 && !m_hungUp && !done(m_received)) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0)
            break;
        pump(static_cast<int>(left));
    }
    return m_received;
}

QByteArray PtyPeer::readUntil(const std::function<bool(const QByteArray&)>& done, int timeoutMs) {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    const qsizetype from = m_received.size();
    const auto got = [&] { return m_received.mid(from); };
    while (m_fd >= 0 && !m_hungUp && !done(got())) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0)
            break;
        pump(static_cast<int>(left));
    }
    return got();
}

QByteArray PtyPeer::exchange(const QByteArray& request, const QByteArray& prompt, int timeoutMs) {
    if (!write(request))
        return {};
    return readUntil([&prompt](const QByteArray& got) { return got.endsWith(prompt); }, timeoutMs);
}

void PtyPeer::close() {
    stopResponder();
    for (int* fd : {&m_slaveKeeper, &m_fd}) {
        if (*fd >= 0)
            ::close(*fd);
        *fd = -1;
    }
}
