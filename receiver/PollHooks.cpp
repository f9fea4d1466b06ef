// Where other parts of the program join the poll cycle. Each of these stands in until its part
// exists, and then calls it.
#include "app/ChildView.h"
#include "receiver/PollSequence.h"
#include "receiver/ProteusPackets.h"

// The Proteus frame reader: fills m_strReply from one frame; false when no valid frame came.
bool CChildView::ReadProteusReply() {
    return false;
}

// Proteus command words to a command packet; empty when the words are no command.
QString CChildView::TranslateUserCommand(const QString& command) {
    return TranslateProteusCommand(command, m_strPollCommand[PollStepTimeCode]);
}

// A reply of the Set-time sequence (the trimmed time code in m_strReply). Returns whether the
// poll timer runs on: false when the sequence has posted the next tick itself.
bool CChildView::SetTimeReply() {
    m_bSetTimePending = false;
    m_bSetTimeEnabled = true;
    NextPollStep();
    return true;
}

// The time of day ("hh:mm:ss") of a UCCM time string, for the Time view.
QString CChildView::UccmTimeOfDay(const QString& reply) {
    return reply;
}

// Translates hexadecimal time stamps in the user window.
void CChildView::DeHexUserWindow() {}

// Starts the SNTP service thread.
void CChildView::StartTimeService() {}

// The status screen as the text window shows it.
QString CChildView::StatusText(const QString& rawStatus) {
    return rawStatus;
}

// The lock state, satellites and position from the status answer.
void CChildView::DecodeStatus(const QString& rawStatus) {
    Q_UNUSED(rawStatus);
}

// The position answer of a Datum 2000.
void CChildView::DecodePosition(const QString& answer) {
    Q_UNUSED(answer);
}

// The satellite answer of a Datum 2000.
void CChildView::DecodeSatellites(const QString& answer) {
    Q_UNUSED(answer);
}

// The timed outputs after a status step, each when its interval has run out: the data-log line;
// in the HTML page's turn the FTP upload, the page, the image export and the clock setting.
void CChildView::RunTimedOutputs() {}
