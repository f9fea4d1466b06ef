// The simulated Proteus receiver: its frames checked by the program's decoder, and the program
// reading and polling it over a pseudo-terminal.
#include "app/ChildView.h"
#include "app/Globals.h"
#include "controls/DlgBar.h"
#include "platform/SerialPort.h"
#include "platform/TickCount.h"
#include "receiver/PollSequence.h"
#include "receiver/ProteusFrames.h"
#include "receiver/ProteusPackets.h"
#include "simulator/ReceiverSimulator.h"
#include "support/PtyPeer.h"

#include <QDateTime>
#include <QFile>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <gtest/gtest.h>

using sim::Misbehaviour;

namespace {

struct SimulatedProteus {
    SimulatedProteus() : simulator(sim::Family::Proteus) {
        started = simulator.start();
        if (started)
            client = std::make_unique<PtyPeer>(simulator.portPath());
    }
    // Sends a request and reads until `length` bytes have come (or the time is up).
    QByteArray Exchange(const QString& stored, qsizetype length) {
        client->write(ProteusWireBytes(stored));
        return client->readUntil([&](const QByteArray& got) { return got.size() >= length; }, 3000);
    }
    sim::ReceiverSimulator simulator;
    bool started = false;
    std::unique_ptr<PtyPeer> client;
};

// The program with its receiver port on the simulator.
class ProgramOnProteus : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_rx.started);
        m_rx.client.reset(); // the program takes the line
        platform::setTickSource(std::make_shared<platform::ManualTickSource>(5000));
        g_nReceiverType = RECEIVER_PROTEUS;
        m_view.m_pDlgBar = &m_bar;
        m_bar.m_pView = &m_view;
        m_view.SetReceiverDefaults();
        m_view.m_strComPort = m_rx.simulator.portPath();
        m_view.m_bBeepOnError = false;
        m_view.m_nRetries = 20;
        m_view.OnStart();
        ASSERT_TRUE(m_view.IsRunning());
    }
    void TearDown() override {
        m_view.OnStop();
        platform::setTickSource(nullptr);
    }

    // Sends a request at `step` as the poll cycle would and reads its frame.
    bool Poll(const QString& request, int step, QString& reply) {
        m_view.m_nPollStep = step;
        m_view.m_strRequest = request;
        m_view.WriteCommand(m_view.m_hActivePort, request);
        m_view.m_hActivePort->waitForReadyRead(1000); // returns as soon as bytes come
        return m_view.ReadProteus(reply);
    }

    QString DebugFile() const {
        QFile file(m_view.m_strDebugPath);
        return file.open(QIODevice::ReadOnly) ? QString::fromLatin1(file.readAll()) : QString();
    }

    SimulatedProteus m_rx;
    CvDlgBar m_bar;
    CChildView m_view;
    const QString m_efcPoll = ProteusPoll(kProteusEfcPollId);
    const QString m_statusPoll = ProteusPoll(kProteusStatusPollId);
};

} // namespace

TEST(ProteusSimulator, FramesPassTheDecoderAndStrayBytesAreSkipped) {
    SimulatedProteus rx;
    ASSERT_TRUE(rx.started);
    const QByteArray efc = rx.Exchange(ProteusPoll(kProteusEfcPollId), kProteusEfcFrameBytes);
    ASSERT_EQ(CheckProteusFrame(efc), ProteusFrameKind::Efc);
    const ProteusEfcFrame e = DecodeProteusEfcFrame(efc);
    EXPECT_EQ(e.receiverNumber, 42);
    const std::int64_t frameUnix = ProteusGpsSeconds(e.week, e.timeOfWeek, 18) + std::int64_t{315964800};
    EXPECT_LE(std::abs(frameUnix - QDateTime::currentSecsSinceEpoch()), 2);

    const QByteArray status = rx.Exchange(ProteusPoll(kProteusStatusPollId), kProteusStatusFrameBytes);
    ASSERT_EQ(CheckProteusFrame(status), ProteusFrameKind::Status);
    EXPECT_NEAR(DecodeProteusStatusFrame(status).latitude / 8388608.0, 47.3767, 1e-5);

    for (const ProteusCommand& command : g_ProteusCommands)
        EXPECT_EQ(CheckProteusFrame(rx.Exchange(command.packet, kProteusStatusFrameBytes)),
                  ProteusFrameKind::Status)
            << qPrintable(command.name);
    // Stray bytes and a poll with a wrong check word get no answer; the good poll after them does.
    rx.client->write(QByteArray("\x13\x37\x00\xA2\x00\x5F", 6));
    EXPECT_EQ(rx.Exchange(ProteusPoll(kProteusEfcPollId), kProteusEfcFrameBytes).size(),
              kProteusEfcFrameBytes);
    EXPECT_TRUE(rx.client->readFor(100).isEmpty());
}

TEST_F(ProgramOnProteus, PollCycleDecodesFramesAndSendsCommandPackets) {
    m_view.m_strUserCommand = QStringLiteral("RESET ALL\r");
    for (int i = 0; i < 400 && m_view.IsRunning() && m_view.m_strChannelValue[0].isEmpty(); ++i) {
        m_view.OnTimer(IDT_POLL);
        if (m_view.m_nWaitCount > 0 && m_view.m_hActivePort)
            m_view.m_hActivePort->waitForReadyRead(500);
    }
    EXPECT_EQ(m_view.m_nTimeouts, 0);
    EXPECT_NEAR(m_view.m_strChannelValue[0].toDouble() / 6553.5 - 5.0, 2.5, 0.1);
    EXPECT_EQ(m_view.m_strIdentity, QStringLiteral("___ NavSymm Proteus ___  42"));
    EXPECT_EQ(m_view.m_nLeapCorrection, 18);
    EXPECT_NEAR(m_view.m_dLatitude, 47.3767, 1e-3);
    // The command went out as its packet; its answer, a status page, went to the user window.
    const std::vector<QByteArray> heard = m_rx.simulator.received();
    EXPECT_NE(std::find(heard.begin(), heard.end(), ProteusWireBytes(g_ProteusCommands[3].packet)),
              heard.end());
    EXPECT_TRUE(m_bar.UserWindow()->toPlainText().contains(QStringLiteral("LAT      N 47:22:36.1")));
}

TEST_F(ProgramOnProteus, TimeStepAndSetTimeGetTheirReplies) {
    QString reply;
    ASSERT_TRUE(Poll(m_efcPoll, 8, reply));
    EXPECT_TRUE(reply.isEmpty()); // an EFC step leaves the reply as it is
    const QRegularExpression timeOfDay(QStringLiteral("^\\d\\d:\\d\\d:\\d\\d$"));
    ASSERT_TRUE(Poll(m_efcPoll, PollStepTime, reply));
    EXPECT_TRUE(timeOfDay.match(reply).hasMatch()) << qPrintable(reply);
    reply.clear();
    ASSERT_TRUE(Poll(m_statusPoll, PollStepTime, reply)); // not decoded at the time step
    EXPECT_TRUE(timeOfDay.match(reply).hasMatch()) << qPrintable(reply);
    EXPECT_TRUE(m_view.m_strIdentity.isEmpty());

    m_view.m_bSetTimePending = true;
    ASSERT_TRUE(Poll(m_view.m_strPollCommand[PollStepTimeCode], PollStepUser, reply));
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^T1#H\\d{10}\r\n$")).match(reply).hasMatch())
        << qPrintable(reply);
}

TEST_F(ProgramOnProteus, RefusedFramesAreReportedAndChangeNothing) {
    m_view.m_bDebugEnable = true;
    QString reply = QStringLiteral("before");
    m_rx.simulator.setMisbehaviour(Misbehaviour::Partial, 1);
    EXPECT_FALSE(Poll(m_efcPoll, 8, reply)); // cut before its check word
    m_rx.simulator.setMisbehaviour(Misbehaviour::Silence, 1);
    EXPECT_FALSE(Poll(m_statusPoll, PollStepStatus, reply));
    m_rx.simulator.setMisbehaviour(Misbehaviour::Overlong, 1);
    EXPECT_FALSE(Poll(m_statusPoll, PollStepStatus, reply));
    EXPECT_EQ(reply, QStringLiteral("before"));
    EXPECT_TRUE(m_view.m_strIdentity.isEmpty());
    EXPECT_EQ(m_view.m_nProteusEfc, (std::array<int, 4>{}));
    EXPECT_EQ(m_view.m_proteusEfc.week, 0u);
    const QString debug = DebugFile();
    EXPECT_TRUE(debug.contains(QStringLiteral("Wrong length for STATUS or EFC 70"))) << qPrintable(debug);
    EXPECT_TRUE(debug.contains(QStringLiteral("Overrun buffer")));
}
