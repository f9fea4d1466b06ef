// What a completed answer means: identity, status answers, graph channel values, auxiliary
// answers.
#include "app/ChildView.h"
#include "app/Globals.h"
#include "receiver/ControlNotation.h"
#include "receiver/NumberText.h"
#include "receiver/PollSequence.h"
#include "receiver/ReplyText.h"
#include "receiver/ReplyValues.h"

bool CChildView::ValidateNumber(QString& text) {
    return ::ValidateNumber(text);
}

QString CChildView::FormatPeakTroughCN(bool peak) const {
    return PeakTroughLevel(m_sat, peak);
}

void CChildView::HandleReply() {
    const QString& answer = m_strReply;
    const int family = g_nReceiverType;
    switch (m_nPollStep) {
    case PollStepIdentify:
        // A Hewlett Packard unit that is no Z3816A does not want the Z3816A set-up at Start.
        if (family == RECEIVER_HP && m_bInitZ3816A && !answer.isEmpty() &&
            !answer.contains(QStringLiteral("Z3816A")) &&
            (answer.contains(QStringLiteral("HEWL")) || answer.contains(QStringLiteral("SYMM")))) {
            m_bInitZ3816A = false;
            SaveSettings();
        }
        m_strIdentity = TruncateAtCR(answer);
        break;
    case PollStepLifeCount:
        if (family == RECEIVER_DATUM)
            ParsePosition(answer);
        else
            m_strLifeCount = answer;
        break;
    case PollStepErrors:
        m_strStep3Reply = answer;
        break;
    case PollStepFee:
        m_strFeeReply = answer;
        break;
    case PollStepHealth:
        m_strHealthReply = answer;
        break;
    case PollStepMeasurements:
        m_strMeasReply = answer;
        break;
    case PollStepFirstChannel:
        if (family == RECEIVER_DATUM)
            m_strChannelValue[0] = DatumEfcValue(answer);
        else if (family != RECEIVER_PROTEUS)
            m_strChannelValue[0] = answer;
        break;
    case PollStepTimeInterval:
        m_strChannelValue[1] = TimeIntervalValue(family, answer);
        break;
    case PollStepThirdChannel:
        switch (family) {
        case RECEIVER_HP:
        case RECEIVER_JACKSON:
            m_strChannelValue[2] = LastCommaValue(answer);
            break;
        case RECEIVER_DATUM:
            ParseSatellites(answer);
            break;
        case RECEIVER_UCCM:
            m_strChannelValue[2] = UccmTemperatureValue(answer, m_strChannelValue[2]);
            break;
        default:
            break;
        }
        break;
    case PollStepAux:
        if (m_nAuxIndex >= 0 && m_nAuxIndex < kAuxRequests)
            m_strAuxAnswer[m_nAuxIndex] = TruncateAtCR(answer);
        break;
    default:
        break;
    }

    if (m_nPollStep < PollStepFirstChannel || m_nPollStep > PollStepLastChannel)
        return;
    QString& value = m_strChannelValue[m_nPollStep - PollStepFirstChannel];
    if (!ValidateNumber(value) && m_bDebugEnable)
        DebugToFile(QStringLiteral("Err: [s]") + ControlCharsToNames(m_strRequest) + QStringLiteral("[r]") +
                    ControlCharsToNames(m_strReply));
    // A time interval beyond half a second is no measurement.
    if (m_nPollStep == PollStepTimeInterval && !value.isEmpty() && std::abs(value.toDouble()) > 0.5)
        value.clear();
}
