// Starting and stopping the SNTP service with polling.
#include "app/ChildView.h"
#include "platform/MessageBox.h"

#include <QMetaObject>

void CChildView::StartTimeServer() {
    if (!m_bSntpEnabled)
        return;
    if (!m_timeServer)
        m_timeServer = std::make_unique<TimeServer>(
            SntpServerState{m_bPortOpen, m_bSntpEnabled, m_ntpLastCorrected, m_nSntpUnreliableAfter,
                            m_nSntpPort, m_nSntpInterval});
    const QString failure = m_timeServer->Start();
    if (failure.isEmpty()) {
        // Serving again: a failure said quietly before is over, and is said again should it return.
        ReportWorking(ReportedOutput::TimeServer);
        return;
    }
    // An unattended start (auto-run, resume, a reopen after a dropped line) comes back again and
    // again while the port stays held: a box for each would pile up, none of them answered.
    if (m_bQuietStart) {
        ReportFailure(ReportedOutput::TimeServer, failure);
        return;
    }
    // Shown once Start has finished, so that the message box does not hold up the start of polling.
    QMetaObject::invokeMethod(
        this, [failure] { platform::MessageBox(failure, platform::MessageIcon::Information); },
        Qt::QueuedConnection);
}

void CChildView::StopTimeServer() {
    if (m_timeServer)
        m_timeServer->Stop();
}
