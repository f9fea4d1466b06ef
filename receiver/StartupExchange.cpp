// The one-off exchange that each receiver family needs before polling.
#include "app/ChildView.h"
#include "app/Globals.h"
#include "receiver/CommandTables.h"
#include "receiver/ReplyText.h"
#include "receiver/ReplyValues.h"

#include <QElapsedTimer>

namespace {

const QString kCr = QStringLiteral("\r");
const QString kCrLf = QStringLiteral("\r\n");
// The time-of-day messages are collected for at most this long, whatever the device sends.
constexpr qint64 kUccmCollectLimitMs = 6000;

// Does an answer to a channel-2 probe count: something came and it is no error.
bool ProbeAnswered(const QString& answer) {
    return !answer.isEmpty() && !answer.toUpper().contains(QStringLiteral("ER"));
}

} // namespace

void CChildView::RunStartupExchange() {
    platform::SerialPort* port = m_hComPort.get();
    switch (g_nReceiverType) {
    case RECEIVER_HP:
        if (m_bInitZ3816A) {
            SendAndWait(port, g_StartupCommands[RECEIVER_HP], 500);
            SendAndWait(port, g_StartupCommands2[RECEIVER_HP], 100);
            SendAndWait(port, m_strPollCommand[3], 100);
            SendAndWait(port, m_strPollCommand[3], 100);
        }
        if (m_bAutoLeaps) {
            ReadLeapSeconds(QStringLiteral(":PTIM:LEAP:ACC?") + kCrLf, 3, 1);
            SendAndWait(port, m_strPollCommand[3], 100);
        }
        break;
    case RECEIVER_DATUM:
        for (const char* query : {"CVT?0", "TCO?0", "HIS?0", "ERR?0", "SAT?0", "LTR?0", "AUX?0"})
            SendAndWait(port, QLatin1String(query) + kCr, 100);
        break;
    case RECEIVER_JACKSON:
        m_bSaasmGps = SendAndWait(port, QStringLiteral("GPS:TYPE?") + kCr, 200)
                          .toUpper()
                          .contains(QStringLiteral("ROCKWELL"));
        ProbeJacksonChannel2();
        if (m_bAutoLeaps)
            ReadLeapSeconds(QStringLiteral(":PTIM:LEAP?") + kCrLf, 2, 2);
        break;
    case RECEIVER_UCCM:
        if (m_bAutoLeaps)
            ReadUccmLeapSeconds();
        for (int i = 0; i < 3; ++i)
            SendAndWait(port, g_StartupCommands[RECEIVER_UCCM], 100);
        break;
    default:
        break; // the Proteus family needs nothing
    }
}

void CChildView::ReadLeapSeconds(const QString& command, int digits, int tries) {
    QString query = command;
    for (int attempt = 0; attempt < tries; ++attempt) {
        const QString answer = SendAndWait(m_hComPort.get(), query, 100);
        const int leap = LeapSecondsFromAnswer(answer, query, digits);
        if (leap != 0) {
            m_nLeapCorrection = leap;
            return;
        }
        // A long answer without a value: the accurate form of the query may answer instead.
        if (answer.size() > 8)
            query = QStringLiteral(":PTIM:LEAP:ACC?") + kCrLf;
    }
}

void CChildView::ReadUccmLeapSeconds() {
    platform::SerialPort* port = m_hComPort.get();
    SendAndWait(port, QStringLiteral("TOD EN") + kCr, 50);
    QElapsedTimer elapsed;
    elapsed.start();
    QString messages;
    for (int i = 0; i < 100 && elapsed.elapsed() < kUccmCollectLimitMs; ++i) {
        messages += SendAndWait(port, QString(), 50);
        if (const std::optional<int> leap = UccmLeapSecondsFromMessages(messages)) {
            if (*leap != 0)
                m_nLeapCorrection = *leap;
            return;
        }
        // Only the unfinished last line matters from here on (its line end kept as its start).
        const qsizetype lastLineEnd = messages.lastIndexOf(QLatin1Char('\n'));
        if (lastLineEnd > 0)
            messages.remove(0, lastLineEnd);
        else if (messages.size() > kMaxReplyChars)
            messages.clear(); // a line that long is no time-of-day message
    }
}

void CChildView::ProbeJacksonChannel2() {
    platform::SerialPort* port = m_hComPort.get();
    const QString kept = m_strPollCommand[10];
    m_strPollCommand[11].clear();

    static const QString kDegrees = QStringLiteral("\u00B0C");
    struct Probe {
        QString command;
        QString label;
        QStringList otherLabels;
        double min;
        double max;
        bool hold;
    };
    const Probe probes[] = {
        {QStringLiteral("CSAC:TEMP?\r"),
         kDegrees,
         {QStringLiteral("FEE"), QStringLiteral("I")},
         -50.0,
         100.0,
         false},
        {QStringLiteral("MEAS:CURR?\r"),
         QStringLiteral("I"),
         {QStringLiteral("FEE"), kDegrees},
         -50.0,
         100.0,
         false},
        {QStringLiteral("SYNC:FEE?\r"),
         QStringLiteral("FEE"),
         {kDegrees, QStringLiteral("I")},
         -1e-10,
         1e-10,
         true},
    };
    for (const Probe& probe : probes) {
        if (!ProbeAnswered(SendAndWait(port, probe.command, 200)))
            continue;
        m_strPollCommand[10] = probe.command;
        if (probe.command != kept && probe.otherLabels.contains(m_strLabel[2])) {
            m_strLabel[2] = probe.label;
            m_dMin[2] = probe.min;
            m_dMax[2] = probe.max;
            m_bPlot[2] = true;
            m_bHoldMin[2] = probe.hold;
            m_bHoldMax[2] = probe.hold;
        }
        return;
    }
    m_bPlot[2] = false;
}
