#pragma once
// Poll ticks given by hand, for tests that decide when the program sends and reads. Each receive
// tick counts against the reply's wait as the poll timer's tick does, and on a busy machine the far
// end of the line (a simulated receiver, a test's responder) may start its answer later than the
// few ticks that a test's short wait allows. After a tick that sends a request, PollTick waits until
// the answer has begun to come (returning as soon as it does), so that a wait runs out only on a
// line that stays silent, never because the test ticked faster than the machine could answer.
#include "app/ChildView.h"
#include "platform/SerialPort.h"
#include "support/WaitBounds.h"

// One poll tick; after a tick that sent a request, waits up to `answerStartMs` for its first bytes.
// A test that expects silence passes the short wait that it lets the silence last.
inline void PollTick(CChildView& view, int answerStartMs = kBusyMachineWaitMs) {
    const bool sends = view.m_nWaitCount == 0;
    view.OnTimer(IDT_POLL);
    if (sends && view.IsRunning() && view.m_nWaitCount > 0 && view.m_hActivePort)
        view.m_hActivePort->waitForReadyRead(answerStartMs);
}
