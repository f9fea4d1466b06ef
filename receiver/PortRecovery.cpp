// A receiver port that fails while polling (an adapter unplugged, a line gone), or that is not
// there when the program starts polling by itself: polling stops, the live values leave the
// screen, and the port is reopened every few seconds until it comes back, when polling starts
// again as the operator's Start would. The operator's Stop ends the retrying.
#include "app/ChildView.h"
#include "app/MainFrame.h"
#include "platform/MessageBox.h"
#include "platform/SerialPort.h"

namespace {

QString RetryingText() {
    return QStringLiteral("reopening it every %1 s").arg(kReconnectIntervalMs / 1000);
}

} // namespace

void CChildView::ReportOpenFailure(const QString& text, bool receiverPort) {
    if (!m_bQuietStart) {
        platform::MessageBox(text, platform::MessageIcon::None);
        return;
    }
    // An unattended start: no box to wait for an operator; the latest reason stands.
    if (receiverPort) {
        ShowPortFailure(QStringLiteral("Receiver port %1 not open, ").arg(m_strComPort) + RetryingText() +
                        QStringLiteral(": ") + text);
        // A receiver missing at an automatic start is retried as a line that dropped.
        if (!m_bReconnecting) {
            BeginReconnect(QStringLiteral("Receiver port %1 not opened at start, ").arg(m_strComPort) +
                           RetryingText() + QStringLiteral(": ") + text);
            return;
        }
    } else {
        UserWindowLine(text);
    }
    if (m_bDebugEnable)
        DebugToFile(text);
}

void CChildView::StartUnattended() {
    m_bQuietStart = true;
    OnStart();
    m_bQuietStart = false;
}

void CChildView::BeginReconnect(const QString& line) {
    m_bReconnecting = true;
    SetTimer(IDT_RECONNECT, kReconnectIntervalMs);
    UserWindowLine(line);
    if (m_bDebugEnable)
        DebugToFile(line);
}

bool CChildView::ActOnLostLine() {
    // Seen gone, the line is said lost at once: a reply being waited for would otherwise hold the
    // news until its wait ran out (150 ticks, 9 s at the defaults).
    if (!m_hComPort || !m_hComPort->failed())
        return false;
    OnPortFailure();
    return true;
}

void CChildView::OnPortFailure() {
    // A port opened for one queued command just closes: nothing was polling.
    if (m_bStopAfterCommand) {
        OnStop();
        return;
    }
    OnStop();
    ClearLiveValues();
    BeginReconnect(QStringLiteral("Receiver port %1 failed: polling stopped, ").arg(m_strComPort) +
                   RetryingText());
    ShowPortFailure(QStringLiteral("Receiver port %1 lost, ").arg(m_strComPort) + RetryingText());
}

void CChildView::ShowPortFailure(const QString& text) {
    // Said in the user window once, as the retries begin; the reason of the latest try stands.
    m_saidFailures.Remember(ReportedOutput::ReceiverPort, text);
    ShowStandingFailure();
}

void CChildView::ReconnectTick() {
    if (!m_bReconnecting)
        return;
    // A port opened meanwhile for a queued command is left to it; the next try comes later.
    if (!IsRunning())
        StartUnattended(); // ends the retrying when the port opens
    if (m_bReconnecting)
        SetTimer(IDT_RECONNECT, kReconnectIntervalMs);
}

void CChildView::EndReconnect() {
    m_bReconnecting = false;
    KillTimer(IDT_RECONNECT);
    const QString line = QStringLiteral("Receiver port %1 reopened: polling again").arg(m_strComPort);
    UserWindowLine(line);
    if (m_bDebugEnable)
        DebugToFile(line);
    EndFailures(ReportedOutput::ReceiverPort);
}

void CChildView::OnStopCommand() {
    OnStop();
    AbortFtpUpload();
    if (m_bReconnecting) {
        m_bReconnecting = false;
        KillTimer(IDT_RECONNECT);
        EndFailures(ReportedOutput::ReceiverPort);
    }
    // The SNTP service is not tried again until the next Start.
    EndFailures(ReportedOutput::TimeServer);
}

void CChildView::ClearLiveValues() {
    // Nothing on the screen may look live: the status or time text, the lock, the channel values
    // and the sky.
    m_wndText.m_strText.clear();
    m_wndText.update();
    m_strRawStatus.clear();
    for (QString& value : m_strChannelValue)
        value.clear();
    m_bTimeValid = false;
    for (CSatInfo& sat : m_sat)
        sat.Empty();
    for (QString& extra : m_strSatExtra)
        extra.clear();
    m_nSatsInReply = 0;
    InvalidateMap();
}
