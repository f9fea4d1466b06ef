// The data-log writer of the view: one record of the eight graph channels at the log interval.
#include "app/ChildView.h"
#include "platform/TickCount.h"
#include "platform/WaitCursor.h"
#include "platform/WallClock.h"
#include "publishing/DataLogFile.h"
#include "publishing/DataLogFormat.h"

namespace {
// A record carries the date and time after its values on every tenth line.
constexpr int kStampEveryLines = 10;
constexpr int kGraphRefreshDelayMs = 1000;
} // namespace

void CChildView::UpdateLogFile() {
    m_dwLastLog = platform::GetTickCount(); // a failed write also waits a full interval
    const QString path = GetLogPath();
    if (path.isEmpty())
        return;
    platform::WaitCursor wait;

    std::array<QString, kGraphChannels> values;
    for (int channel = 1; channel <= kGraphChannels; ++channel) {
        QString value = GetAuxAnswer(channel);
        if (!value.isEmpty()) {
            ValidateNumber(value);
        } else {
            // The stored value itself is trimmed, or emptied when it is no number, for every
            // later reader too.
            ValidateNumber(m_strChannelValue[channel - 1]);
            value = m_strChannelValue[channel - 1];
        }
        values[channel - 1] = value;
    }
    const std::int64_t now = platform::CurrentWallClock().now().tv_sec;
    const QByteArray line = FormatLogLine(now, values, m_nLogLines % kStampEveryLines == 0);

    QString reason;
    QString trimFailure;
    platform::TrimSyncs trimSyncs;
    const LogWriteResult result = AppendLogLine(path, line, m_nLogMaxSize, &reason, &trimFailure, &trimSyncs);
    if (result == LogWriteResult::Written) {
        ++m_nLogLines;
        ReportFileWrite(ReportedOutput::DataLog, true, {}, path, {}, trimFailure, trimSyncs);
        if (m_bFtpDebug)
            UserWindowLine(QStringLiteral("Log file update OK"));
    } else {
        // A trim made before the line failed is said all the same.
        ReportTrimSyncs(ReportedOutput::DataLog, path, trimSyncs);
        const bool opening = result == LogWriteResult::OpenFailed;
        // Said once, not at every interval, until the log is written again; the switches' own
        // line, without the reason, comes with it.
        if (ReportFileFailure(ReportedOutput::DataLog,
                              opening ? QStringLiteral("open log file:") : QStringLiteral("write log file"),
                              path, reason))
            Diagnostic((opening ? QStringLiteral("Unable to open log file: ")
                                : QStringLiteral("Unable to write log file: ")) +
                       path);
    }
    SetTimer(IDT_GRAPH_REFRESH, kGraphRefreshDelayMs);
}
