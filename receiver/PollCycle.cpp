// The poll cycle: the poll timer's send and receive phases, the user-command timer, the step
// order and the auxiliary answers.
#include "app/ChildView.h"
#include "app/Globals.h"
#include "app/TimerPeriod.h"
#include "controls/DlgBar.h"
#include "platform/MessageBox.h"
#include "platform/SerialPort.h"
#include "platform/TickCount.h"
#include "receiver/ControlNotation.h"
#include "receiver/PollSequence.h"
#include "receiver/ProteusPackets.h"
#include "receiver/ReplyText.h"

#include <QLineEdit>
#include <QPlainTextEdit>

namespace {

// A time-out line shows at most this much of the partial reply (its newest part).
constexpr int kTraceReplyChars = 2048;

} // namespace

int CChildView::PollPeriod() const {
    return ClampTimerPeriod(m_nViewMode == ViewModeTime ? m_nFastTimerValue : m_nTimerValue);
}

void CChildView::RearmPoll(int periodMs) {
    if (m_hComPort)
        SetTimer(IDT_POLL, ClampTimerPeriod(periodMs));
}

// ---- the user-command timer ----

void CChildView::UserCommandTick() {
    if (m_bDestroyed)
        return;
    CheckSetTimeExpiry();
    if (!m_bSetTimePending && m_strUserCommand.isEmpty() && !m_listCommands.isEmpty()) {
        const QString command = m_listCommands.takeFirst();
        if (!command.isEmpty()) {
            if (!IsRunning()) {
                // The port opens for this command alone and closes after its reply.
                m_bStopAfterCommand = true;
                OnStart();
            }
            if (IsRunning())
                m_strUserCommand = command;
            else
                m_bStopAfterCommand = false; // the port did not open: the command is dropped
        }
    }
    // Start's message box may have seen the program shut down.
    if (!m_bDestroyed)
        SetTimer(IDT_USER_COMMAND, ClampTimerPeriod(m_nRemoteInterval));
}

void CChildView::DoPseudoCommand(const QString& command) {
    const PseudoCommandResult result = ParsePseudoCommand(command);
    switch (result.flag) {
    case PseudoFlag::ComsDebug:
        m_bComsDebug = result.on;
        break;
    case PseudoFlag::VerboseDebug:
        m_bVerboseDebug = result.on;
        break;
    case PseudoFlag::FtpDebug:
        m_bFtpDebug = result.on;
        break;
    case PseudoFlag::None:
        break;
    }
    UserWindowLine(result.answer);
}

// ---- the poll timer ----

void CChildView::PollTick() {
    if (!m_hComPort)
        return; // stopped: the timer is not armed again
    if (ActOnLostLine())
        return;
    if (m_bPort2Enabled && !m_hAuxPort)
        m_bPort2Enabled = false;
    if (m_nWaitCount == 0)
        SendPhase();
    else
        ReceivePhase();
}

void CChildView::SendPhase() {
    const bool proteus = g_nReceiverType == RECEIVER_PROTEUS;
    m_strRequest.clear();

    if (!m_strUserCommand.isEmpty()) {
        m_strUserCommand = TrimLeftWhite(m_strUserCommand);
        if (m_strUserCommand.startsWith(QStringLiteral("@@"))) {
            DoPseudoCommand(m_strUserCommand);
            m_strUserCommand.clear();
        } else if (proteus) {
            m_strUserCommand = TranslateProteusCommand(m_strUserCommand, m_strPollCommand[PollStepTimeCode]);
        }
        if (m_strUserCommand.isEmpty()) {
            if (m_bStopAfterCommand)
                OnStop();
            else
                RearmPoll(PollPeriod());
            return;
        }
        m_nPollStep = PollStepUser;
    }

    // The operator's step with nothing left to send (a Set time given up after it had queued its
    // next request): the cycle moves on instead of sending an empty request.
    if (m_nPollStep == PollStepUser && m_strUserCommand.isEmpty()) {
        NextPollStep();
        if (!m_hComPort)
            return;
    }

    if (m_nPollStep == PollStepUser) {
        m_strRequest = m_strUserCommand;
        m_strUserCommand.clear();
    } else if (m_nPollStep == PollStepAux) {
        const int first = FirstAuxChannel();
        if (first >= 0) {
            if (m_nAuxIndex < 0 || m_nAuxIndex >= kAuxRequests || m_strAuxRequest[m_nAuxIndex].isEmpty())
                m_nAuxIndex = first;
            m_strRequest = m_strAuxRequest[m_nAuxIndex];
        } else {
            NextPollStep();
            if (!m_hComPort)
                return;
        }
    }
    if (m_strRequest.isEmpty() && m_nPollStep >= 0 && m_nPollStep < kPollSlots)
        m_strRequest = m_strPollCommand[m_nPollStep];

    // The receiver's LED toggles with every EFC request.
    if (g_nReceiverType == RECEIVER_HP && m_bFlashLED && m_nPollStep == PollStepFirstChannel &&
        !m_strRequest.isEmpty()) {
        m_strRequest.prepend(m_bLedOn ? QStringLiteral(":LED:ACTIVE OFF; ")
                                      : QStringLiteral(":LED:ACTIVE ON; "));
        m_bLedOn = !m_bLedOn;
    }

    // A request with the routing prefix goes to the auxiliary port, without the prefix.
    m_hActivePort = m_hComPort.get();
    if (m_strRequest.startsWith(m_strRequestPrefix)) {
        if (!m_bPort2Enabled || proteus) {
            if (m_bBeepOnError)
                platform::MessageBeep();
            const QString error = QStringLiteral("Aux prefix recognised but AUX not enabled !");
            Diagnostic(error);
            OnStop();
            return;
        }
        m_hActivePort = m_hAuxPort.get();
        m_strRequest.remove(0, m_strRequestPrefix.size());
    }

    // A Proteus request is a binary packet already; the text families' requests are in notation.
    if (!proteus)
        m_strRequest = ControlNamesToChars(m_strRequest);
    // A request that cannot be written means the line has gone: polling stops in every family,
    // and the port is reopened until it comes back.
    if (!WriteCommand(m_hActivePort, m_strRequest))
        OnPortFailure();
    m_strReply.clear();
    m_nWaitCount = std::max(1, m_nRetries);

    int period = PollPeriod();
    if (proteus) {
        period = m_nTimerValue;
        // Time for the request and a 180-byte status frame at 10 bits per byte.
        if (m_hActivePort == m_hComPort.get())
            period += static_cast<int>(ProteusReplyAllowance(m_strRequest.size(), m_nBaud));
    }
    RearmPoll(period);
}

void CChildView::ReceivePhase() {
    const bool proteusFrame = g_nReceiverType == RECEIVER_PROTEUS && m_hActivePort == m_hComPort.get();
    const int receivePeriod = g_nReceiverType == RECEIVER_PROTEUS ? m_nTimerValue : PollPeriod();

    bool readFailed = false;
    if (proteusFrame) {
        if (!ReadProteus(m_strReply)) {
            readFailed = true;
            m_nWaitCount = 0;
            m_nProteusEfc.fill(0);
        }
    } else {
        // At most one buffer's worth per tick, so a device that streams cannot hold the tick.
        QString chunk;
        qsizetype taken = 0;
        while (taken < kMaxReplyChars && ReadText(m_hActivePort, chunk)) {
            AppendToReply(m_strReply, chunk);
            taken += chunk.size();
        }
    }
    // The reads' waits may be where the hang-up shows.
    if (ActOnLostLine())
        return;
    if (m_nWaitCount > 0)
        --m_nWaitCount;
    ShowDebugFields();

    // A reply that completes on the tick the wait runs out is still a reply.
    int matched = kNoReplyEnd;
    if (proteusFrame)
        matched = readFailed ? kNoReplyEnd : 0;
    else
        matched = MatchReplyEnd(m_strReply, m_hActivePort == m_hAuxPort.get() && m_hAuxPort ? m_strOKPrompt
                                                                                            : m_strPrompts);
    if (matched < 0) {
        if (m_nWaitCount == 0)
            ReplyTimeout();
        else
            RearmPoll(receivePeriod);
        return;
    }

    m_nWaitCount = 0;
    if (m_nPollStep == PollStepWakeUp) {
        NextPollStep();
        RearmPoll(receivePeriod);
        return;
    }
    // An operator command's reply is shown whole.
    if (m_nPollStep != PollStepUser || m_bSetTimePending)
        m_strReply = TrimReply(m_strReply, matched, m_strRequest);

    if (IsSetTimeReply()) {
        if (SetTimeReply())
            RearmPoll(receivePeriod);
        return;
    }

    switch (m_nPollStep) {
    case PollStepTime:
        TimeStep(m_strReply);
        break;
    case PollStepStatus:
        StatusStep();
        break;
    case PollStepUser:
        UserStep();
        break;
    default:
        HandleReply();
        NextPollStep();
        break;
    }
    RearmPoll(receivePeriod);
}

void CChildView::ReplyTimeout() {
    if (m_bBeepOnError)
        platform::MessageBeep();
    ++m_nTimeouts;
    m_nPollStep = PollStepWakeUp;
    const bool auxiliary = m_hAuxPort && m_hActivePort == m_hAuxPort.get();
    QString line = auxiliary ? QStringLiteral("LTo:") : QStringLiteral("RTo:");
    if (auxiliary || g_nReceiverType != RECEIVER_PROTEUS) {
        const QString partial = m_strReply.size() > kTraceReplyChars
                                    ? QStringLiteral("...") + m_strReply.right(kTraceReplyChars)
                                    : m_strReply;
        line += QStringLiteral("[s]") + ControlCharsToNames(m_strRequest) + QStringLiteral("[r]") +
                ControlCharsToNames(partial);
    }
    if (m_bDebugEnable)
        DebugToFile(line);
    UserWindowLine(line);
    if (m_bSetTimePending)
        AbandonSetTime(QStringLiteral("Set time abandoned: no reply"));
    // A port opened for one command closes again when that command gets no answer.
    if (m_bStopAfterCommand) {
        OnStop();
        return;
    }
    RearmPoll(g_nReceiverType == RECEIVER_PROTEUS ? m_nTimerValue : PollPeriod());
}

void CChildView::ShowDebugFields() {
    if (!m_pDlgBar)
        return;
    auto* waitBox = qobject_cast<QLineEdit*>(m_pDlgBar->GetDlgItem(IDC_DEBUG_BOX1));
    auto* stepBox = qobject_cast<QLineEdit*>(m_pDlgBar->GetDlgItem(IDC_DEBUG_BOX2));
    for (QLineEdit* box : {waitBox, stepBox})
        if (box)
            box->setVisible(m_bComsDebug);
    if (!m_bComsDebug)
        return;
    m_pDlgBar->SetDebugFieldTexts(QString::number(m_nWaitCount),
                                  QString::asprintf("%02d:%d", m_nPollStep, m_nAuxIndex));
}

// ---- dispatch of the steps the cycle handles itself ----

void CChildView::TimeStep(const QString& reply) {
    const QString text = g_nReceiverType == RECEIVER_UCCM ? (reply.size() >= 3 ? UccmTimeOfDay(reply) : reply)
                                                          : TimeTextFromReply(g_nReceiverType, reply);
    // A time reply that arrives after a switch out of the Time view leaves the status screen alone.
    if (m_nViewMode == ViewModeTime && text != m_wndText.m_strText) {
        m_wndText.m_strText = text;
        m_wndText.update();
    }
    // The Time view runs one ordinary round when a data-log line falls due.
    if (m_bHtmlStatus && IntervalDue(platform::GetTickCount(), m_dwLastLog, m_nLogInterval)) {
        m_bLogDue = true;
        m_nPollStep = PollStepStatus;
        NextPollStep();
    } else if (m_nViewMode != ViewModeTime) {
        NextPollStep();
    }
}

void CChildView::StatusStep() {
    m_strRawStatus = m_strReply;
    // In the Time view (a round run for the data log) the time stays up.
    if (m_nViewMode != ViewModeTime) {
        m_wndText.m_strText = FormatStatus(m_strRawStatus);
        if (m_nViewMode != ViewModeMap && m_nViewMode != ViewModeGraph)
            m_wndText.update();
    }
    DecodeStatus(m_strRawStatus);
    RunTimedOutputs();
    if (m_bLogDue) {
        m_nPollStep = PollStepTime;
        m_bLogDue = false;
    } else {
        NextPollStep();
    }
}

void CChildView::UserStep() {
    if (m_pDlgBar)
        if (QPlainTextEdit* userWindow = m_pDlgBar->UserWindow()) {
            QString shown = m_strReply;
            shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
            userWindow->setPlainText(shown);
        }
    AppendUserFile(m_strReply);
    if (m_bDeHex)
        DeHexTimeStamps();
    m_nPollStep = PollStepStatus; // the status step follows every user command
    if (m_bStopAfterCommand)
        OnStop();
}

// ---- step order and auxiliary answers ----

int CChildView::FirstAuxChannel() {
    for (int i = 0; i < kAuxRequests; ++i)
        if (!m_strAuxRequest[i].isEmpty())
            return i;
    for (QString& answer : m_strAuxAnswer)
        answer.clear();
    m_nAuxIndex = m_nAuxFirst = -1;
    return -1;
}

void CChildView::NextPollStep() {
    PollPlan plan;
    for (int slot = 0; slot < kPollSlots; ++slot)
        plan.slotUsable[slot] = m_bCommandEnabled[slot] && !m_strPollCommand[slot].isEmpty();
    for (int i = 0; i < kAuxRequests; ++i)
        plan.auxInUse[i] = !m_strAuxRequest[i].isEmpty();
    plan.timeView = m_nViewMode == ViewModeTime;

    const PollPosition next =
        NextPollPosition({m_nPollStep, m_nAuxIndex, m_nAuxFirst, m_bLogDue, false}, plan);
    m_nPollStep = next.step;
    m_nAuxIndex = next.auxIndex;
    m_nAuxFirst = next.auxFirst;
    m_bLogDue = next.logDue;
    if (m_nAuxIndex < 0)
        FirstAuxChannel();
    if (next.stopPolling)
        OnStop(); // nothing left to poll
}

QString CChildView::GetAuxAnswer(int channel) {
    if (channel == m_nPeakSSTrace)
        return FormatPeakTroughCN(true);
    if (channel == m_nTroughSSTrace)
        return FormatPeakTroughCN(false);
    for (int i = 0; i < kAuxRequests; ++i) {
        if (m_nAuxTrace[i] == channel) {
            const QString value = FirstAnswerField(m_strAuxAnswer[i]);
            m_strAuxAnswer[i].clear(); // each answer is logged once
            return value;
        }
    }
    return {};
}
