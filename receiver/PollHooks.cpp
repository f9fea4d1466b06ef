// Where other parts of the program join the poll cycle: the Set-time reply, the UCCM time of day,
// the decoding of the status answer and the timed outputs of the status step.
#include "app/ChildView.h"
#include "app/Globals.h"
#include "platform/TickCount.h"
#include "receiver/PollSequence.h"

// A reply of the Set-time sequence (the trimmed time code in m_strReply). Returns whether the
// poll timer runs on: false when the sequence has posted the next tick itself.
bool CChildView::SetTimeReply() {
    if (!SetTimeSequence(m_strReply))
        return false;
    NextPollStep();
    return true;
}

// The time of day ("hh:mm:ss") of a UCCM time string, for the Time view.
QString CChildView::UccmTimeOfDay(const QString& reply) {
    QString shown = reply;
    SetTimeFromCode(reply.left(19), false, shown);
    return shown.mid(11, 8);
}

// The lock state, satellites and position from the status answer.
void CChildView::DecodeStatus(const QString& rawStatus) {
    ParseLockState(rawStatus);
    if (g_nReceiverType != RECEIVER_DATUM) {
        ParseSatellites(rawStatus);
        ParsePosition(rawStatus);
    }
}

// The timed outputs after a status step, in this order, each when its interval has run out: the
// data-log line; in the HTML page's turn the FTP upload and the page; the image export; the
// clock setting. Export and clock setting are tested on every status step, so that they run on
// their own intervals also while the page is off.
void CChildView::RunTimedOutputs() {
    if (IntervalDue(platform::GetTickCount(), m_dwLastLog, m_nLogInterval))
        UpdateLogFile();
    // Update all makes the page and its upload due at once, whatever their intervals.
    const bool forced = m_bForceUpdate;
    if (m_bHtmlStatus && (forced || IntervalDue(platform::GetTickCount(), m_dwLastHtml, m_nStatusInterval))) {
        if (forced || IntervalDue(platform::GetTickCount(), m_dwLastFtp, m_nFtpInterval)) {
            // The uploaded copy refreshes on the upload's interval.
            const int statusInterval = m_nStatusInterval;
            m_nStatusInterval = m_nFtpInterval;
            UpdateHtml(FormatStatus(m_strRawStatus));
            m_nStatusInterval = statusInterval;
            FtpUpload();
        }
        UpdateHtml(FormatStatus(m_strRawStatus));
    }
    if (IntervalDue(platform::GetTickCount(), m_dwLastExport, m_nExportInterval))
        ExportImages();
    if (IntervalDue(platform::GetTickCount(), m_dwLastSetTime, m_nTimeInterval))
        OnSetTime();
    // With the page off the upload never ran: Update all is offered again.
    if (m_bForceUpdate) {
        m_bForceUpdate = false;
        m_bUpdateAllEnabled = true;
    }
}
