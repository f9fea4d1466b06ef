#pragma once
// A plain POSIX client of a serial device (a simulated receiver's pty): raw mode, bounded reads.
#include <QByteArray>
#include <QString>
#include <functional>

class PtyClient {
public:
    explicit PtyClient(const QString& path);
    ~PtyClient();
    PtyClient(const PtyClient&) = delete;
    PtyClient& operator=(const PtyClient&) = delete;

    bool isOpen() const { return m_fd >= 0; }
    void close();
    bool send(const QByteArray& bytes);
    // Reads until `done` holds for what has arrived, the line hangs up, or `timeoutMs` passes.
    QByteArray readUntil(const std::function<bool(const QByteArray&)>& done, int timeoutMs);
    // Everything that arrives within `ms`.
    QByteArray readFor(int ms);
    // Sends `request` and reads until the reply ends with `prompt` (or the time is up).
    QByteArray exchange(const QByteArray& request, const QByteArray& prompt, int timeoutMs = 3000);
    // The line hung up (end of file or an I/O error on read).
    bool hungUp() const { return m_hungUp; }

private:
    int m_fd = -1;
    bool m_hungUp = false;
};
