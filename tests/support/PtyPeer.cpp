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
    char name[128] = {};
    if (m_master < 0 || grantpt(m_master) != 0 || unlockpt(m_master) != 0 ||
        ptsname_r(m_master, name, sizeof name))
        throw std::runtime_error("no pseudo-terminal");
    m_slavePath = QString::fromLocal8Bit(name);
    m_slaveKeeper = ::open(name, O_RDWR | O_NOCTTY | O_NONBLOCK);
    termios raw{};
    if (tcgetattr(m_master, &raw) == 0) {
        cfmakeraw(&raw);
        tcsetattr(m_master, TCSANOW, &raw);
    }
}

PtyPeer::~PtyPeer() {
    vanish();
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
    pollfd fd{m_master, POLLIN, 0};
    const int ready = ::poll(&fd, 1, timeoutMs);
    if (ready > 0 && !(fd.revents & POLLIN)) // hung up while the program has the port closed
        std::this_thread::sleep_for(std::chrono::milliseconds(timeoutMs));
    if (ready <= 0 || !(fd.revents & POLLIN))
        return;
    char buffer[4096];
    const ssize_t count = ::read(m_master, buffer, sizeof buffer);
    std::lock_guard lock(m_mutex);
    if (count > 0)
        m_received.append(buffer, count);
}

void PtyPeer::write(const QByteArray& bytes) {
    QElapsedTimer elapsed;
    elapsed.start();
    for (qsizetype done = 0; done < bytes.size() && m_master >= 0 && elapsed.elapsed() < 5000;) {
        const ssize_t count = ::write(m_master, bytes.constData() + done, bytes.size() - done);
        if (count < 0 && errno != EAGAIN && errno != EINTR)
            return;
        if (count > 0)
            done += count;
        else
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

QByteArray PtyPeer::received() {
    if (!m_running && m_master >= 0)
        pump(20);
    std::lock_guard lock(m_mutex);
    return m_received;
}

void PtyPeer::vanish() {
    stopResponder();
    for (int* fd : {&m_slaveKeeper, &m_master}) {
        if (*fd >= 0)
            ::close(*fd);
        *fd = -1;
    }
}
