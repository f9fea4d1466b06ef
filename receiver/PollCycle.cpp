// The receiver link and the poll cycle.
#include "app/ChildView.h"
#include "platform/SerialPort.h"

void CChildView::OnStart() {}

void CChildView::OnStop() {
    KillTimer(IDT_POLL);
    m_hComPort.reset();
    m_hAuxPort.reset();
    m_hActivePort = nullptr;
    m_bPortOpen = false;
}

void CChildView::PollTick() {}

void CChildView::UserCommandTick() {
    SetTimer(IDT_USER_COMMAND, std::max(10, m_nRemoteInterval));
}
