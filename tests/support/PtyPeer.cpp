#include "support/PtyPeer.h"

#include <QElapsedTimer>
#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <poll.h>
#include <stdexcept>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

PtyPeer::PtyPeer() {
    m_master = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (m_master < 0 || grantpt(m_master) != 0 || unlockpt(m_master) != 0)
        throw std::runtime_error("no pseudo-terminal");
    char name[128] = {};
    if (ptsname_r(m_master, name, sizeof name) != 0)
        throw std::runtime_error("no pseudo-terminal name");
    m_slavePath = QString::fromLocal8Bit(name);
    m_slaveKeeper = ::open(name, O_RDWR | O_NOCTTY | O_NONBLOCK);
    // The device end passes bytes as they are.
    termios raw{};
    if (tcgetattr(m_master, &raw) == 0) {
        cfmakeraw(&raw);
        tcsetattr(m_master, TCSANOW, &raw);
    }
}

PtyPeer::~PtyPeer() {
    stopResponder();
    if (m_slaveKeeper >= 0)
        ::close(m_slaveKeeper);
    if (m_master >= 0)
        ::close(m_master);
}

void PtyPeer::startResponder(Responder responder) {
    stopResponder();
    m_responder = std::move(responder);
    m_running = true;
    m_thread = std::thread([this] { responderLoop(); });
}

void PtyPeer::stopResponder() {
    m_running = false;
    if (m_thread.joinable())
        m_thread.join();
}

void PtyPeer::responderLoop() {
    while (m_running) {
        pump(5);
        QByteArray command;
        {
            std::lock_guard lock(m_mutex);
            const qsizetype cr = m_pending.indexOf('\r');
            if (cr < 0)
                continue;
            qsizetype end = cr + 1;
            if (end < m_pending.size() && m_pending[end] == '\n')
                ++end;
            command = m_pending.left(end);
            m_pending.remove(0, end);
        }
        const QByteArray answer = m_responder(command);
        if (!answer.isEmpty())
            write(answer);
    }
}

void PtyPeer::pump(int timeoutMs) {
    if (m_master < 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(timeoutMs));
        return;
    }
    pollfd fd{m_master, POLLIN, 0};
    const int ready = ::poll(&fd, 1, timeoutMs);
    if (ready <= 0 || !(fd.revents & POLLIN)) {
        if (ready > 0) // hung up while the program has the port closed
            std::this_thread::sleep_for(std::chrono::milliseconds(timeoutMs));
        return;
    }
    char buffer[4096];
    const ssize_t count = ::read(m_master, buffer, sizeof buffer);
    if (count > 0) {
        std::lock_guard lock(m_mutex);
        m_received.append(buffer, count);
        if (m_responder)
            m_pending.append(buffer, count);
    }
}

void PtyPeer::write(const QByteArray& bytes) {
    qsizetype done = 0;
    QElapsedTimer elapsed;
    elapsed.start();
    while (done < bytes.size() && m_master >= 0 && elapsed.elapsed() < 5000) {
        const ssize_t count = ::write(m_master, bytes.constData() + done, bytes.size() - done);
        if (count > 0)
            done += count;
        else if (count < 0 && errno != EAGAIN && errno != EINTR)
            return;
        else
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

QByteArray PtyPeer::received() {
    if (!m_running)
        pump(0);
    std::lock_guard lock(m_mutex);
    return m_received;
}

bool PtyPeer::waitForReceived(const QByteArray& needle, int ms) {
    QElapsedTimer elapsed;
    elapsed.start();
    do {
        if (!m_running)
            pump(5);
        else
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        std::lock_guard lock(m_mutex);
        if (m_received.contains(needle))
            return true;
    } while (elapsed.elapsed() < ms);
    return false;
}

void PtyPeer::clearReceived() {
    received();
    std::lock_guard lock(m_mutex);
    m_received.clear();
}

void PtyPeer::vanish() {
    stopResponder();
    if (m_slaveKeeper >= 0)
        ::close(m_slaveKeeper);
    m_slaveKeeper = -1;
    if (m_master >= 0)
        ::close(m_master);
    m_master = -1;
}
