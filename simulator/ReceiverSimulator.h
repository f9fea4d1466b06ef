#pragma once
// A GPS timing receiver on a pseudo-terminal, for the tests and for trying the program without a
// receiver. It answers the family's requests in the family's own layout, with values that move
// over time, and on request misbehaves as a faulty receiver or line would.
#include "simulator/Dialect.h"
#include "simulator/Misbehaviour.h"
#include "simulator/ReceiverModel.h"

#include <QByteArray>
#include <QString>
#include <memory>
#include <vector>

namespace sim {

class ReceiverSimulator {
public:
    explicit ReceiverSimulator(Family family);
    ~ReceiverSimulator(); // stops and closes
    ReceiverSimulator(const ReceiverSimulator&) = delete;
    ReceiverSimulator& operator=(const ReceiverSimulator&) = delete;

    // Opens a pseudo-terminal pair in raw mode and answers on it from a thread of its own. False
    // when the pty cannot be had or the family cannot be played. After a Vanish, stop() and
    // start() again give a new line (with a new path).
    bool start();
    void stop();
    bool isRunning() const;
    // False once the line has vanished or the simulator stopped.
    bool lineOpen() const;

    Family family() const;
    // The slave device to open as the serial port (empty before start()).
    QString portPath() const;

    // Misbehave in the given way for the next `count` requests (-1: until set again). Setting any
    // misbehaviour ends an endless reply that is streaming.
    void setMisbehaviour(Misbehaviour misbehaviour, int count = -1);
    Misbehaviour misbehaviour() const;
    void setSlowPace(SlowPace pace);

    // Locked, holdover or unlocked, as the family's screens show it.
    void setLockState(LockState state);
    // Cycle through locked, holdover and unlocked every few minutes.
    void setLockCycle(bool cycle);
    LockState lockState() const;
    // How many times faster than real time the satellites move.
    void setSkySpeed(double factor);
    // Time codes give dates this many weeks back, as a receiver hit by the GPS week rollover.
    void setRolloverWeeks(int weeks);

    // Every request received, in order, exactly as received (terminator included).
    std::vector<QByteArray> received() const;
    void clearReceived();
    // Replies that went out in full (also shaped ones; not silence, endless or vanished ones).
    int repliesSent() const;

    // Whether a client has the line open (the simulator notices within a few milliseconds). A
    // client that leaves loses what was still on its way to it.
    bool clientConnected() const;

    // Bounded waits for tests: true once that many requests arrived / replies went out / the
    // client came or went.
    bool waitForRequests(std::size_t count, int timeoutMs) const;
    bool waitForReplies(int count, int timeoutMs) const;
    bool waitForClient(bool connected, int timeoutMs) const;

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

} // namespace sim
