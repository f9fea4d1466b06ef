// Setting the PC clock from the receiver's time code: the "Set time" command, its sequence in the
// poll cycle, and the translation of hexadecimal time stamps in the user window.
#include "app/ChildView.h"
#include "app/Globals.h"
#include "controls/DlgBar.h"
#include "platform/SettingsStore.h"
#include "platform/TickCount.h"
#include "platform/WallClock.h"
#include "receiver/PollSequence.h"
#include "settings/SettingsKeys.h"
#include "timeservice/TimeCode.h"

#include <QAction>
#include <QPlainTextEdit>

void CChildView::OnSetTime() {
    if (m_bSetTimePending)
        return;
    m_dwLastSetTime = platform::GetTickCount();
    if (!m_bTimeValid) {
        Diagnostic(QStringLiteral("Time not valid or not UTC"));
        return;
    }
    const QString& timeRequest = m_strPollCommand[PollStepTimeCode];
    if (timeRequest.isEmpty()) {
        // Nothing would ever answer: the sequence would wait for good.
        Diagnostic(QStringLiteral("No time code request for this receiver"));
        return;
    }
    if (!platform::CurrentWallClock().hasSetTimePrivilege()) {
        Diagnostic(QStringLiteral("Failed to set privilege"));
        return;
    }
    m_setTimeSession = std::make_unique<SetTimeSession>(
        *this, [this](const QString& text) { Diagnostic(text); }, m_dwLastSetTime);
    // An operator command waiting to be sent goes back to the head of the queue, not lost.
    if (!m_strUserCommand.isEmpty())
        m_listCommands.prepend(m_strUserCommand);
    m_strUserCommand = timeRequest;
}

void CChildView::OnUpdateSetTime(QAction& action) {
    action.setEnabled(m_bSetTimeEnabled);
}

bool CChildView::IsSetTimeReply() const {
    const QString& timeRequest = m_strPollCommand[PollStepTimeCode];
    return m_bSetTimePending && m_nPollStep == PollStepUser && !timeRequest.isEmpty() &&
           m_strRequest.contains(timeRequest);
}

bool CChildView::SetTimeSequence(const QString& reply) {
    if (m_strSetTimeReply.isEmpty() || reply == m_strSetTimeReply) {
        if (m_strSetTimeReply.isEmpty())
            m_strSetTimeReply = reply;
        else if (m_setTimeSession && m_setTimeSession->Expired(platform::GetTickCount())) {
            AbandonSetTime(QStringLiteral("Set time abandoned: the receiver's time did not change"));
            return true;
        }
        // Ask again at once: the clock is set just after the receiver's second changes.
        m_strUserCommand = m_strPollCommand[PollStepTimeCode];
        PostTimer(IDT_POLL);
        return false;
    }
    // The time changed: set the clock from the code that names the second now begun, the one
    // before the change where a family's code names the coming second.
    m_strUserCommand.clear();
    QString unused;
    SetTimeFromCode(TimeCodeNamesComingSecond(g_nReceiverType) ? m_strSetTimeReply : reply, true, unused);
    m_setTimeSession.reset();
    return true;
}

void CChildView::AbandonSetTime(const QString& reason) {
    if (!m_setTimeSession && !m_bSetTimePending)
        return;
    if (m_strUserCommand == m_strPollCommand[PollStepTimeCode])
        m_strUserCommand.clear();
    m_setTimeSession.reset();
    m_bSetTimePending = false;
    m_strSetTimeReply.clear();
    if (!reason.isEmpty())
        Diagnostic(reason);
}

void CChildView::CheckSetTimeExpiry() {
    // Only between requests: a time request still waiting for its reply is left to finish, and
    // the sequence ends on that reply (or on its time-out), so the reply is never taken for an
    // operator command's.
    if (m_nWaitCount > 0 && IsSetTimeReply())
        return;
    if (m_setTimeSession && m_setTimeSession->Expired(platform::GetTickCount()))
        AbandonSetTime(QStringLiteral("Set time abandoned: the receiver's time did not change"));
}

void CChildView::SetTimeFromCode(const QString& code, bool set, QString& shown) {
    const TimeCodeResult result =
        ParseTimeCode(g_nReceiverType, code, {m_nFineCorrection, m_nLeapCorrection.load()});
    if (result.outcome != TimeCodeOutcome::Ok) {
        if (const QString problem = TimeCodeProblem(result); !problem.isEmpty())
            Diagnostic(problem);
        return;
    }
    // Told once: the Time view and the periodic setting would repeat it every time.
    if (result.rolloverWeeks != 0 && !m_bRolloverReported) {
        m_bRolloverReported = true;
        Diagnostic(RolloverMessage(result));
    }
    if (!set) {
        shown = FormatShownTime(result.time);
        return;
    }
    if (platform::CurrentWallClock().setTime(SystemTimeToTimespec(result.time)) !=
        platform::ClockSetResult::Ok) {
        Diagnostic(FailedToSetMessage(result.form));
        return;
    }
    const NtpTimestamp corrected = SystemTimeToNtp(result.time);
    m_ntpLastCorrected = corrected;
    // Stored at once, so that the reference time of the SNTP answers survives a crash too.
    const auto store = platform::OpenSettingsStore();
    store->setValue(SettingsKey::LastCorrectedSeconds, static_cast<uint>(NtpSeconds(corrected)));
    store->setValue(SettingsKey::LastCorrectedFraction, static_cast<uint>(NtpFraction(corrected)));
}

void CChildView::DeHexTimeStamps() {
    if (!m_pDlgBar || !m_pDlgBar->UserWindow())
        return;
    QPlainTextEdit* window = m_pDlgBar->UserWindow();
    const QString text = window->toPlainText();
    const QString translated = ::DeHexTimeStamps(text, g_nReceiverType == RECEIVER_PROTEUS);
    if (translated != text)
        window->setPlainText(translated);
}
