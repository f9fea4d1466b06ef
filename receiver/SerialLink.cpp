// The serial link: opening and closing the ports, the byte-level routines, Start and Stop.
#include "app/ChildView.h"
#include "app/Globals.h"
#include "controls/DlgBar.h"
#include "platform/MessageBox.h"
#include "platform/PowerManagement.h"
#include "platform/SerialPort.h"
#include "platform/TickCount.h"
#include "receiver/PollSequence.h"
#include "receiver/ReplyText.h"

#include <QElapsedTimer>
#include <QThread>

namespace {

// One read takes at most this many bytes.
constexpr int kReadChunkBytes = 2048;
// The start-up exchange reads an answer for at most this long after its wait, so a device that
// never stops sending cannot hold the program.
constexpr int kAnswerLimitMs = 1000;

platform::SerialLine ReceiverLine(const ViewSettings& s) {
    return {s.m_nBaud, s.m_byParity, s.m_byStopBits, s.m_byDataBits, s.m_byPacing};
}

platform::SerialLine AuxiliaryLine(const ViewSettings& s) {
    return {s.m_nBaud2, s.m_byParity2, s.m_byStopBits2, s.m_byDataBits2, s.m_byPacing2};
}

// A port that cannot be opened is named, with the system's reason: "... com port
// /dev/ttyUSB0: Permission denied".
QString OpenFailureText(const QString& words, const QString& port, const QString& reason) {
    QString text = words + QLatin1Char(' ') + port;
    if (!reason.isEmpty())
        text += QStringLiteral(": ") + reason;
    return text;
}

} // namespace

// ---- byte-level routines ----

void CChildView::EchoTraffic(const QString& text) {
    if (m_pDlgBar && m_pDlgBar->GetDlgItem(IDC_USER_WINDOW))
        m_pDlgBar->AppendToUserWindow(text);
    AppendUserFile(text);
}

bool CChildView::WriteCommand(platform::SerialPort* port, const QString& text) {
    if (text.isEmpty())
        return true;
    const bool proteus = g_nReceiverType == RECEIVER_PROTEUS;
    QByteArray bytes(text.size(), '\0');
    for (qsizetype i = 0; i < text.size(); ++i) {
        const auto byte = static_cast<char>(text[i].unicode() & 0xFF);
        // The Proteus tables store 0xFF for a NUL byte, which a string cannot hold.
        bytes[i] = proteus && byte == '\xFF' ? '\0' : byte;
    }
    if (!port || !port->write(bytes)) {
        const QString error = QStringLiteral("Wrong data length written");
        Diagnostic(error);
        return false;
    }
    if (m_bVerboseDebug && !proteus)
        EchoTraffic(text.endsWith(QLatin1Char('\r')) ? text + QLatin1Char('\n') : text);
    return true;
}

bool CChildView::ReadText(platform::SerialPort* port, QString& text) {
    text.clear();
    if (!port)
        return false;
    const std::optional<QByteArray> bytes = port->read(kReadChunkBytes);
    if (!bytes || bytes->isEmpty())
        return false;
    text.reserve(bytes->size());
    for (const char byte : *bytes)
        if (byte != '\0')
            text += QChar(static_cast<unsigned char>(byte));
    if (m_bVerboseDebug && !text.isEmpty())
        EchoTraffic(text);
    return !text.isEmpty();
}

bool CChildView::ReadBinary(platform::SerialPort* port, QByteArray& bytes, int maxBytes) {
    bytes.clear();
    std::optional<QByteArray> read;
    for (int attempt = 0; attempt < 3 && port && !read; ++attempt)
        read = port->read(std::max(0, maxBytes));
    if (read)
        bytes = *read;
    const bool reporting = m_bComsDebug || m_bVerboseDebug || m_bDebugEnable;
    if (!reporting || (read && !bytes.isEmpty() && !m_bVerboseDebug))
        return read && !bytes.isEmpty();
    if (!read || bytes.isEmpty()) {
        const QString error = read ? QStringLiteral("Read OK, no data") : QStringLiteral("Read failed");
        Diagnostic(error);
        return false;
    }
    // A hex dump of the whole lines of 16 bytes that fit the buffer size, then the total.
    const int lines = std::min<int>(maxBytes / 16, static_cast<int>((bytes.size() + 15) / 16));
    for (int line = 0; line < lines; ++line) {
        QString text;
        for (qsizetype i = line * 16; i < std::min<qsizetype>(bytes.size(), (line + 1) * 16); ++i)
            text += QString::asprintf("%02X ", static_cast<unsigned char>(bytes[i]));
        EchoTraffic(text + QStringLiteral("\r\n"));
    }
    UserWindowLine(QStringLiteral("TOTAL=%1").arg(bytes.size()));
    return true;
}

void CChildView::WaitOnPort(platform::SerialPort* port, int ms) {
    // Bytes arrive only while the port is waited on, so the wait is spent there.
    QElapsedTimer elapsed;
    elapsed.start();
    for (qint64 left = ms; left > 0; left = ms - elapsed.elapsed()) {
        if (!port || !port->waitForReadyRead(static_cast<int>(left))) {
            const qint64 rest = ms - elapsed.elapsed();
            if (rest > 0)
                QThread::msleep(static_cast<unsigned long>(std::min<qint64>(rest, 5)));
        }
    }
}

QString CChildView::SendAndWait(platform::SerialPort* port, const QString& command, int waitMs) {
    QString answer;
    if (!port)
        return answer;
    if (!command.isEmpty() && !WriteCommand(port, command))
        return answer;
    WaitOnPort(port, waitMs);
    QElapsedTimer reading;
    reading.start();
    QString chunk;
    while (ReadText(port, chunk)) {
        AppendToReply(answer, chunk);
        if (reading.elapsed() >= kAnswerLimitMs)
            break;
        port->waitForReadyRead(50);
    }
    return answer;
}

// ---- Start and Stop ----

bool CChildView::OpenPorts() {
    platform::SerialOpenResult receiver = platform::OpenSerialPort(m_strComPort, ReceiverLine(*this));
    switch (receiver.error) {
    case platform::SerialOpenError::None:
        break;
    case platform::SerialOpenError::CannotOpen:
        ReportOpenFailure(
            OpenFailureText(QStringLiteral("CreateFile failed for com port"), m_strComPort, receiver.reason),
            true);
        return false;
    case platform::SerialOpenError::CannotConfigure:
        ReportOpenFailure(QStringLiteral("Unable to configure the serial port"), true);
        return false;
    case platform::SerialOpenError::CannotSetTimeouts:
        ReportOpenFailure(QStringLiteral("Unable to set the serial port timeouts"), true);
        return false;
    }
    m_hComPort = std::move(receiver.port);
    m_bPortOpen = true;

    if (m_bPort2Enabled) {
        platform::SerialOpenResult aux = platform::OpenSerialPort(m_strComPort2, AuxiliaryLine(*this));
        switch (aux.error) {
        case platform::SerialOpenError::None:
            m_hAuxPort = std::move(aux.port);
            break;
        case platform::SerialOpenError::CannotOpen:
            ReportOpenFailure(OpenFailureText(QStringLiteral("CreateFile failed for auxiliary com port"),
                                              m_strComPort2, aux.reason),
                              false);
            break;
        case platform::SerialOpenError::CannotConfigure:
            ReportOpenFailure(QStringLiteral("Unable to configure the auxiliary serial port"), false);
            break;
        case platform::SerialOpenError::CannotSetTimeouts:
            ReportOpenFailure(QStringLiteral("Unable to set the serial port 2 timeouts"), false);
            break;
        }
        if (!m_hAuxPort)
            m_bPort2Enabled = false;
    }
    return true;
}

void CChildView::OnStart() {
    if (IsRunning() || m_bDestroyed)
        return;
    UpdateTitle();
    if (m_pDlgBar)
        if (QWidget* box = m_pDlgBar->GetDlgItem(IDC_DEBUG_BOX1))
            box->hide();

    if (!OpenPorts())
        return;
    // The auxiliary port's message box runs an event loop: the program may have been stopped or
    // shut down meanwhile.
    if (m_bDestroyed || !IsRunning())
        return;

    m_bUpdateAllEnabled = true;
    m_nWaitCount = 0;
    m_nLogLines = 0;
    m_nTimeouts = 0;
    m_nProteusEfc.fill(0);
    m_strIdentity.clear();
    m_strStep3Reply.clear();
    m_strFeeReply.clear();
    m_strHealthReply.clear();
    m_strMeasReply.clear();
    m_strRawStatus.clear();
    for (QString& value : m_strChannelValue)
        value.clear();
    for (QString& answer : m_strAuxAnswer)
        answer.clear();
    RequeueUserCommand();
    m_nAuxIndex = m_nAuxFirst = FirstAuxChannel();

    if (!m_bStopAfterCommand) {
        if (static_cast<unsigned>(g_nReceiverType) >= static_cast<unsigned>(kReceiverFamilies)) {
            OnStop();
            return;
        }
        RunStartupExchange();
    }

    m_nPollStep = PollStepWakeUp;
    m_hActivePort = m_hComPort.get();
    SetTimer(IDT_POLL, PollPeriod());
    // Polling runs again: a failed port being reopened is back. Said before the SNTP service
    // starts, so that the status bar keeps a failure of the service.
    if (m_bReconnecting && !m_bStopAfterCommand)
        EndReconnect();
    if (m_bSntpEnabled)
        StartTimeServer();
    const DWORD now = platform::GetTickCount();
    m_dwLastLog = m_dwLastHtml = m_dwLastFtp = m_dwLastExport = m_dwLastSetTime = m_dwLastTrack = now;
    platform::KeepAwake(m_bKeepAwake);
    m_bResumeAfterSuspend = false;
}

void CChildView::RequeueUserCommand() {
    // An operator command taken but not yet sent goes back to the head of the queue: left in
    // place it would hold up the queue while stopped, and Start would drop one taken while its
    // message box was up. The next user-command tick takes it again.
    if (!m_strUserCommand.isEmpty()) {
        m_listCommands.prepend(m_strUserCommand);
        m_strUserCommand.clear();
    }
}

void CChildView::OnStop() {
    m_bStopAfterCommand = false;
    for (std::unique_ptr<platform::SerialPort>* port : {&m_hComPort, &m_hAuxPort}) {
        if (*port) {
            (*port)->purge();
            port->reset();
        }
    }
    m_hActivePort = nullptr;
    m_bPortOpen = false;
    KillTimer(IDT_POLL);
    AbandonSetTime();
    RequeueUserCommand();
    m_bSetTimePending = false;
    m_bSetTimeEnabled = false;
    m_bUpdateAllEnabled = false;
    // The SNTP thread has ended and freed its port when Stop returns, so a quick Start can bind it.
    StopTimeServer();
    platform::KeepAwake(false);
}
