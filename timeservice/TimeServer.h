#pragma once
// The SNTP service: one worker thread that answers time requests on a UDP port with the PC's
// clock while the receiver port is open and the service is switched on.
#include "app/ViewSettings.h"

#include <QString>
#include <atomic>
#include <cstdint>
#include <netinet/in.h>
#include <thread>

// What the service reads from the main view while the user-interface thread may change it; every
// read is atomic.
struct SntpServerState {
    const std::atomic<bool>& portOpen;              // the receiver port is open
    const std::atomic<bool>& enabled;               // SNTP/Enabled
    const std::atomic<NtpTimestamp>& lastCorrected; // the reference: when the clock was last set
    const std::atomic<int>& unreliableAfter;        // SNTP/UnreliableAfter, s
    const std::atomic<int>& port;                   // SNTP/Port
    const std::atomic<int>& interval;               // SNTP/Interval, ms: how often the flags are looked at
};

class TimeServer {
public:
    // `bindAddress` in host byte order; the program serves every interface.
    explicit TimeServer(const SntpServerState& state, in_addr_t bindAddress = INADDR_ANY);
    ~TimeServer();
    TimeServer(const TimeServer&) = delete;
    TimeServer& operator=(const TimeServer&) = delete;

    // Opens and binds the socket on the calling thread and starts the worker. Returns the message
    // for the operator when the socket cannot be made or bound, empty when the service runs (or
    // already ran).
    QString Start();
    // Ends the worker and waits for it; the port is free again when this returns.
    void Stop();
    // Whether the worker is still answering (it ends by itself when the port closes or the
    // service is switched off).
    bool IsRunning() const { return m_running.load(); }
    // The bound UDP port (the one the system chose when SNTP/Port is 0); 0 before Start.
    std::uint16_t Port() const { return m_boundPort; }
    // Answers sent (or, when the system refused one, tried) since the service was made.
    std::uint64_t AnswersSent() const { return m_answersSent.load(); }

private:
    void TimeServerThread();
    void AnswerWaitingRequests();

    SntpServerState m_state;
    in_addr_t m_bindAddress;
    int m_socket = -1;
    int m_wake = -1; // eventfd that Stop signals
    std::uint16_t m_boundPort = 0;
    std::thread m_thread;
    std::atomic<bool> m_stopRequested{false};
    std::atomic<bool> m_running{false};
    std::atomic<std::uint64_t> m_answersSent{0};
};

// The bind failure text; ports below 1024 also need privilege.
QString TimeServerBindFailure(int port);
