#include "support/PtyClient.h"

#include <chrono>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

PtyClient::PtyClient(const QString& path) {
    m_fd = ::open(path.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (m_fd < 0)
        return;
    termios settings{};
    if (tcgetattr(m_fd, &settings) == 0) {
        cfmakeraw(&settings);
        tcsetattr(m_fd, TCSANOW, &settings);
    }
    tcflush(m_fd, TCIOFLUSH);
}

PtyClient::~PtyClient() {
    close();
}

void PtyClient::close() {
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}

bool PtyClient::send(const QByteArray& bytes) {
    qsizetype at = 0;
    while (m_fd >= 0 && at < bytes.size()) {
        const ssize_t n = ::write(m_fd, bytes.constData() + at, static_cast<std::size_t>(bytes.size() - at));
        if (n > 0) {
            at += n;
            continue;
        }
        pollfd fd{m_fd, POLLOUT, 0};
        if (::poll(&fd, 1, 1000) <= 0)
            return false;
    }
    return m_fd >= 0;
}

QByteArray PtyClient::readUntil(const std::function<bool(const QByteArray&)>& done, int timeoutMs) {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    QByteArray got;
    while (m_fd >= 0 && !m_hungUp && !done(got)) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0)
            break;
        pollfd fd{m_fd, POLLIN, 0};
        if (::poll(&fd, 1, static_cast<int>(left)) <= 0)
            continue;
        char buffer[4096];
        const ssize_t n = ::read(m_fd, buffer, sizeof buffer);
        if (n > 0)
            got.append(buffer, n);
        else if (n == 0 || (fd.revents & POLLHUP))
            m_hungUp = true;
    }
    return got;
}

QByteArray PtyClient::readFor(int ms) {
    return readUntil([](const QByteArray&) { return false; }, ms);
}

QByteArray PtyClient::exchange(const QByteArray& request, const QByteArray& prompt, int timeoutMs) {
    if (!send(request))
        return {};
    return readUntil([&prompt](const QByteArray& got) { return got.endsWith(prompt); }, timeoutMs);
}
