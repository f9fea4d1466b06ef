#pragma once
// One end of a pseudo-terminal. Made fresh, it stands in for a device on a serial port: the
// program opens slavePath(); the test writes what the device says and reads what the program sent,
// or lets a responder thread answer each command (text up to a CR, with a following LF) by itself.
// Made on a path, it is a plain raw-mode client of that device (a simulated receiver's port).
#include "support/WaitBounds.h"

#include <QByteArray>
#include <QString>
#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

class PtyPeer {
public:
    using Responder = std::function<QByteArray(const QByteArray& command)>;

    PtyPeer();
    explicit PtyPeer(const QString& path);
    ~PtyPeer();
    PtyPeer(const PtyPeer&) = delete;
    PtyPeer& operator=(const PtyPeer&) = delete;

    QString slavePath() const { return m_slavePath; }
    bool isOpen() const { return m_fd >= 0; }
    void startResponder(Responder responder);
    bool write(const QByteArray& bytes);
    // Everything that has come so far.
    QByteArray received();
    // Everything that has come, once `done` holds for it or `timeoutMs` has passed.
    QByteArray receivedOnce(const std::function<bool(const QByteArray&)>& done, int timeoutMs);
    // What comes from now until `done` holds for it, the line hangs up, or `timeoutMs` passes.
    QByteArray readUntil(const std::function<bool(const QByteArray&)>& done, int timeoutMs);
    QByteArray readFor(int ms) {
        return readUntil([](const QByteArray&) { return false; }, ms);
    }
    // Writes `request` and reads until the reply ends with `prompt` (or the time is up).
    QByteArray exchange(const QByteArray& request, const QByteArray& prompt,
                        int timeoutMs = kBusyMachineWaitMs);
    // The far end hung up (end of file or an I/O error on read).
    bool hungUp() const { return m_hungUp; }
    // Closes this end: for a fresh terminal, the port vanishes under the program.
    void close();

private:
    void pump(int timeoutMs);
    void stopResponder();

    int m_fd = -1;
    int m_slaveKeeper = -1; // keeps a fresh terminal alive while the program has it closed
    QString m_slavePath;
    std::atomic<bool> m_hungUp{false};
    std::mutex m_mutex;
    std::condition_variable m_arrived; // m_received has grown
    QByteArray m_received;
    std::atomic<bool> m_running{false};
    std::thread m_thread;
};
