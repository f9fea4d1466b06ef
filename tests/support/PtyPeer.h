#pragma once
// The far end of a pseudo-terminal, standing in for a device on a serial port: the program opens
// slavePath(); the test writes what the device says and reads what the program sent. An optional
// responder thread answers each command (text up to a CR, with a following LF) by itself.
#include <QByteArray>
#include <QString>
#include <atomic>
#include <functional>
#include <mutex>
#include <thread>

class PtyPeer {
public:
    using Responder = std::function<QByteArray(const QByteArray& command)>;

    PtyPeer();
    ~PtyPeer();
    PtyPeer(const PtyPeer&) = delete;
    PtyPeer& operator=(const PtyPeer&) = delete;

    QString slavePath() const { return m_slavePath; }
    void startResponder(Responder responder);
    void write(const QByteArray& bytes);
    // Everything the program has sent so far.
    QByteArray received();
    // Closes the device end: the port vanishes under the program.
    void vanish();

private:
    void pump(int timeoutMs);
    void stopResponder();

    int m_master = -1;
    int m_slaveKeeper = -1; // keeps the terminal alive while the program has it closed
    QString m_slavePath;
    std::mutex m_mutex;
    QByteArray m_received;
    std::atomic<bool> m_running{false};
    std::thread m_thread;
};
