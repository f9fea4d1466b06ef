// The simulated Proteus receiver: its frames checked by the program's decoder, and the program
// polling it end to end over a pseudo-terminal.
#include "app/ChildView.h"
#include "app/Globals.h"
#include "controls/DlgBar.h"
#include "platform/SerialPort.h"
#include "platform/TickCount.h"
#include "receiver/CommandTables.h"
#include "receiver/ProteusFrames.h"
#include "receiver/ProteusPackets.h"
#include "simulator/ReceiverSimulator.h"
#include "support/PtyClient.h"

#include <QDateTime>
#include <QPlainTextEdit>
#include <gtest/gtest.h>

using sim::Family;

namespace {

// Sends a request and reads until a frame of `length` bytes has come (or the time is up).
QByteArray Exchange(PtyClient& client, const QString& stored, qsizetype length) {
    client.send(ProteusWireBytes(stored));
    return client.readUntil([&](const QByteArray& got) { return got.size() >= length; }, 3000);
}

struct SimulatedProteus {
    SimulatedProteus() : simulator(Family::Proteus) {
        started = simulator.start();
        if (started)
            client = std::make_unique<PtyClient>(simulator.portPath());
    }
    sim::ReceiverSimulator simulator;
    bool started = false;
    std::unique_ptr<PtyClient> client;
};

} // namespace

TEST(ProteusSimulator, PollsGetFramesTheDecoderAccepts) {
    SimulatedProteus rx;
    ASSERT_TRUE(rx.started);
    const QByteArray efc = Exchange(*rx.client, ProteusPoll(kProteusEfcPollId), kProteusEfcFrameBytes);
    ASSERT_EQ(CheckProteusFrame(efc), ProteusFrameKind::Efc);
    const ProteusEfcFrame e = DecodeProteusEfcFrame(efc);
    EXPECT_EQ(e.receiverNumber, 42);
    EXPECT_EQ(ProteusLeapCorrection(e.gpsUtcOffset, 0), 18);
    const std::int64_t unixNow = QDateTime::currentSecsSinceEpoch();
    const std::int64_t frameUnix = ProteusGpsSeconds(e.week, e.timeOfWeek, 18) + std::int64_t{315964800};
    EXPECT_LE(std::abs(frameUnix - unixNow), 2);
    EXPECT_NEAR(e.efc / 6553.5 - 5.0, 2.5, 0.1);

    const QByteArray status =
        Exchange(*rx.client, ProteusPoll(kProteusStatusPollId), kProteusStatusFrameBytes);
    ASSERT_EQ(CheckProteusFrame(status), ProteusFrameKind::Status);
    const ProteusStatusFrame s = DecodeProteusStatusFrame(status);
    EXPECT_NEAR(s.latitude / 8388608.0, 47.3767, 1e-5);
    EXPECT_NEAR(s.longitude / 8388608.0, 8.541, 1e-5);
    EXPECT_TRUE(s.ppsSynchronised);
    EXPECT_GT(std::count_if(s.channels.begin(), s.channels.end(),
                            [](const ProteusChannel& c) { return c.tracking; }),
              3);
}

TEST(ProteusSimulator, CommandPacketsAreAnsweredAndGarbageIsSkipped) {
    SimulatedProteus rx;
    ASSERT_TRUE(rx.started);
    for (const ProteusCommand& command : g_ProteusCommands) {
        const QByteArray reply = Exchange(*rx.client, command.packet, kProteusStatusFrameBytes);
        EXPECT_EQ(CheckProteusFrame(reply), ProteusFrameKind::Status) << qPrintable(command.name);
    }
    // Stray bytes and a poll with a wrong check word come before a good poll: only the good one
    // is answered.
    rx.client->send(QByteArray("\x13\x37\x00\xA2\x00\x5F", 6));
    const QByteArray efc = Exchange(*rx.client, ProteusPoll(kProteusEfcPollId), kProteusEfcFrameBytes);
    EXPECT_EQ(CheckProteusFrame(efc), ProteusFrameKind::Efc);
    EXPECT_TRUE(rx.client->readFor(100).isEmpty());
    EXPECT_EQ(rx.simulator.received().size(), g_ProteusCommands.size() + 1);
}

TEST(ProteusSimulator, TheProgramPollsItEndToEnd) {
    SimulatedProteus rx;
    ASSERT_TRUE(rx.started);
    rx.client.reset(); // the program takes the line
    platform::setTickSource(std::make_shared<platform::ManualTickSource>(5000));
    g_nReceiverType = RECEIVER_PROTEUS;
    CvDlgBar bar;
    CChildView view;
    view.m_pDlgBar = &bar;
    bar.m_pView = &view;
    view.SetReceiverDefaults();
    view.m_strComPort = rx.simulator.portPath();
    view.m_bBeepOnError = false;
    view.m_nRetries = 20;
    view.OnStart();
    ASSERT_TRUE(view.IsRunning());

    // Poll until the EFC has been accepted, with an operator command on the way.
    view.m_strUserCommand = QStringLiteral("RESET ALL\r");
    for (int i = 0; i < 400 && view.IsRunning() && view.m_strChannelValue[0].isEmpty(); ++i) {
        view.OnTimer(IDT_POLL);
        if (view.m_nWaitCount > 0 && view.m_hActivePort)
            view.m_hActivePort->waitForReadyRead(500); // returns as soon as bytes come
    }
    EXPECT_EQ(view.m_nTimeouts, 0);
    EXPECT_FALSE(view.m_strChannelValue[0].isEmpty());
    EXPECT_NEAR(view.m_strChannelValue[0].toDouble() / 6553.5 - 5.0, 2.5, 0.1);
    EXPECT_EQ(view.m_strIdentity, QStringLiteral("___ NavSymm Proteus ___  42"));
    EXPECT_EQ(view.m_nLeapCorrection, 18);
    EXPECT_NEAR(view.m_dLatitude, 47.3767, 1e-3);
    // The command's answer, a status page, went to the user window.
    EXPECT_TRUE(bar.UserWindow()->toPlainText().contains(QStringLiteral("LAT      N 47:22:36.1")));
    const std::vector<QByteArray> heard = rx.simulator.received();
    EXPECT_NE(std::find(heard.begin(), heard.end(), ProteusWireBytes(g_ProteusCommands[3].packet)),
              heard.end());
    view.OnStop();
    platform::setTickSource(nullptr);
}
