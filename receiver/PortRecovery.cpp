// A receiver port that fails while polling (an adapter unplugged, a line gone): polling stops, the
// live values leave the screen, and the port is reopened every few seconds until it comes back,
// when polling starts again as the operator's Start would. The operator's Stop ends the retrying.
#include "app/ChildView.h"
#include "app/MainFrame.h"
#include "platform/MessageBox.h"

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
    // An unattended retry: no box to wait for an operator; the latest reason stays in view.
    if (receiverPort)
        ShowLinkStatus(QStringLiteral("Receiver port lost, ") + RetryingText() + QStringLiteral(": ") + text);
    else
        UserWindowLine(text);
    if (m_bDebugEnable)
        DebugToFile(text);
}

void CChildView::OnPortFailure() {
    OnStop();
    ClearLiveValues();
    m_bReconnecting = true;
    SetTimer(IDT_RECONNECT, kReconnectIntervalMs);
    const QString line =
        QStringLiteral("Receiver port %1 failed: polling stopped, ").arg(m_strComPort) + RetryingText();
    UserWindowLine(line);
    if (m_bDebugEnable)
        DebugToFile(line);
    ShowLinkStatus(QStringLiteral("Receiver port %1 lost, ").arg(m_strComPort) + RetryingText());
}

void CChildView::ReconnectTick() {
    if (!m_bReconnecting)
        return;
    // A port opened meanwhile for a queued command is left to it; the next try comes later.
    if (!IsRunning()) {
        m_bQuietStart = true;
        OnStart(); // ends the retrying when the port opens
        m_bQuietStart = false;
    }
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
    ShowLinkStatus({});
}

void CChildView::OnStopCommand() {
    OnStop();
    if (m_bReconnecting) {
        m_bReconnecting = false;
        KillTimer(IDT_RECONNECT);
        ShowLinkStatus({});
    }
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

void CChildView::ShowLinkStatus(const QString& text) {
    if (m_pMainFrame)
        m_pMainFrame->ShowLinkStatus(text);
}
