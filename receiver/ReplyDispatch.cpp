// What a completed answer means: identity, status answers, graph channel values, auxiliary
// answers.
#include "app/ChildView.h"
#include "app/Globals.h"
#include "receiver/ControlNotation.h"
#include "receiver/NumberText.h"
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
    case 1:
        // A Hewlett Packard unit that is no Z3816A does not want the Z3816A set-up at Start.
        if (family == RECEIVER_HP && m_bInitZ3816A && !answer.isEmpty() &&
            !answer.contains(QStringLiteral("Z3816A")) &&
            (answer.contains(QStringLiteral("HEWL")) || answer.contains(QStringLiteral("SYMM")))) {
            m_bInitZ3816A = false;
            SaveSettings();
        }
        m_strIdentity = TruncateAtCR(answer);
        break;
    case 2:
        if (family == RECEIVER_DATUM)
            DecodePosition(answer);
        else
            m_strLifeCount = answer;
        break;
    case 3:
        m_strStep3Reply = answer;
        break;
    case 4:
        m_strFeeReply = answer;
        break;
    case 5:
        m_strHealthReply = answer;
        break;
    case 6:
        m_strMeasReply = answer;
        break;
    case 8:
        if (family == RECEIVER_DATUM)
            m_strChannelValue[0] = DatumEfcValue(answer);
        else if (family != RECEIVER_PROTEUS)
            m_strChannelValue[0] = answer;
        break;
    case 9:
        m_strChannelValue[1] = TimeIntervalValue(family, answer);
        break;
    case 10:
        switch (family) {
        case RECEIVER_HP:
        case RECEIVER_JACKSON:
            m_strChannelValue[2] = LastCommaValue(answer);
            break;
        case RECEIVER_DATUM:
            DecodeSatellites(answer);
            break;
        case RECEIVER_UCCM:
            m_strChannelValue[2] = UccmTemperatureValue(answer, m_strChannelValue[2]);
            break;
        default:
            break;
        }
        break;
    case 19:
        if (m_nAuxIndex >= 0 && m_nAuxIndex < kAuxRequests)
            m_strAuxAnswer[m_nAuxIndex] = TruncateAtCR(answer);
        break;
    default:
        break;
    }

    if (m_nPollStep < 8 || m_nPollStep > 15)
        return;
    QString& value = m_strChannelValue[m_nPollStep - 8];
    if (!ValidateNumber(value) && m_bDebugEnable)
        DebugToFile(QStringLiteral("Err: [s]") + ControlCharsToNames(m_strRequest) + QStringLiteral("[r]") +
                    ControlCharsToNames(m_strReply));
    // A time interval beyond half a second is no measurement.
    if (m_nPollStep == 9 && !value.isEmpty() && std::abs(value.toDouble()) > 0.5)
        value.clear();
}
