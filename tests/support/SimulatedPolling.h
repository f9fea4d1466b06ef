#pragma once
// A view set up to poll a simulated Hewlett Packard receiver, without the start-up extras (the
// leap-second query, the oscillator set-up, the LED flash) that would add to its exchange.
#include "app/ChildView.h"
#include "app/Globals.h"
#include "simulator/ReceiverSimulator.h"

inline void PollSimulatedHewlettPackard(CChildView& view, const sim::ReceiverSimulator& receiver) {
    g_nReceiverType = RECEIVER_HP;
    view.SetReceiverDefaults();
    view.m_strComPort = receiver.portPath();
    view.m_bAutoLeaps = false;
    view.m_bInitZ3816A = false;
    view.m_bFlashLED = false;
}
