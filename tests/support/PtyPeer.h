#pragma once
// The far end of a pseudo-terminal, standing in for a device on a serial port. The program opens
// slavePath() as its port; the test reads what the program sent and writes what the device says.
// An optional responder thread answers each command (text up to a CR) by itself.
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

    // Answers every command (ending with CR) with responder(command) from a thread of its own.
    void startResponder(Responder responder);
    void stopResponder();

    void write(const QByteArray& bytes);
    // What the program has sent so far (all of it, also what the responder answered).
    QByteArray received();
    // Waits up to ms for the program's traffic to contain needle.
    bool waitForReceived(const QByteArray& needle, int ms);
    void clearReceived();

    // Closes the device end: the port vanishes under the program.
    void vanish();

private:
    void pump(int timeoutMs);
    void responderLoop();

    int m_master = -1;
    int m_slaveKeeper = -1; // keeps the terminal alive while the program has it closed
    QString m_slavePath;
    std::mutex m_mutex;
    QByteArray m_received;
    QByteArray m_pending; // bytes not yet ended by a CR, for the responder
    Responder m_responder;
    std::atomic<bool> m_running{false};
    std::thread m_thread;
};
