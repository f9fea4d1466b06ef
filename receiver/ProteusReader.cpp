// Reading a NavSymm Proteus frame from the receiver port into the view's state and the reply.
#include "app/ChildView.h"
#include "platform/SerialPort.h"
#include "receiver/PollSequence.h"
#include "receiver/ProteusFrames.h"

namespace {

// The wait for a further piece of a frame; a wait that brings nothing ends the frame.
constexpr int kFramePieceWaitMs = 20;

} // namespace

bool CChildView::ReadProteus(QString& reply) {
    platform::SerialPort* port = m_hActivePort;
    if (!port)
        return false;
    // Pieces are joined while each short wait brings more; the buffer's size bounds the rounds.
    const ProteusRead read = CollectProteusFrame(
        [&](qsizetype room) {
            QByteArray bytes;
            ReadBinary(port, bytes, static_cast<int>(room));
            return bytes;
        },
        [&] { port->waitForReadyRead(kFramePieceWaitMs); });
    const ProteusFrameKind kind = read.result == ProteusReadResult::Frame ? CheckProteusFrame(read.bytes)
                                                                          : ProteusFrameKind::WrongLength;
    if (kind != ProteusFrameKind::Efc && kind != ProteusFrameKind::Status) {
        if (const QString failure = ProteusFailureText(read.result, kind, read.bytes.size()); !failure.isEmpty())
            Diagnostic(failure);
        return false;
    }

    QString& shown = m_proteusEfc.shownDateTime;
    if (kind == ProteusFrameKind::Status) {
        if (m_nPollStep == PollStepTime) {
            reply = shown.right(8);
            return true;
        }
        m_strIdentity = ProteusIdentity(m_proteusEfc.receiverNumber);
        reply = ProteusStatusPage(DecodeProteusStatusFrame(read.bytes), m_proteusEfc);
        return true;
    }

    const ProteusEfcFrame frame = DecodeProteusEfcFrame(read.bytes);
    const ProteusChannelValues values = ApplyProteusEfcFrame(frame, m_proteusEfc, m_nProteusEfc);
    for (int i = 0; i < 3; ++i)
        m_strChannelValue[i] = values.values[i];
    m_nLeapCorrection = ProteusLeapCorrection(frame.gpsUtcOffset, m_nLeapCorrection);
    const QString code = ProteusTimeCode(ProteusGpsSeconds(frame.week, frame.timeOfWeek, m_nLeapCorrection));
    SetTimeFromCode(code, false, shown);

    // During a Set time the reply is the time code itself, which the sequence compares and parses.
    if (IsSetTimeReply())
        reply = code + QStringLiteral("\r\n");
    else if (m_nPollStep == PollStepTime)
        reply = shown.right(8);
    return true;
}
