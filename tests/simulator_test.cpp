#include "receiver/ProteusFrames.h"
#include "receiver/ProteusPackets.h"
#include "simulator/ReceiverSimulator.h"
#include "simulator/TextRequests.h"
#include "support/PtyPeer.h"
#include "support/WaitBounds.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QList>
#include <QMap>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <csignal>
#include <gtest/gtest.h>
#include <map>
#include <random>
#include <set>

using sim::Family;
using sim::LockState;
using sim::Misbehaviour;
using sim::ReceiverSimulator;

namespace {

const QByteArray kScpiPrompt = "scpi > ";

// A started Hewlett Packard simulator with a client on its line.
class HpLine : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(simulator.start());
        client = std::make_unique<PtyPeer>(simulator.portPath());
        ASSERT_TRUE(client->isOpen());
    }
    ReceiverSimulator simulator{Family::HewlettPackard};
    std::unique_ptr<PtyPeer> client;
};

bool isNumber(const QByteArray& text) {
    bool ok = false;
    text.trimmed().toDouble(&ok);
    return ok;
}

// The answer between the echo of `request` and the prompt.
QByteArray answerOf(const QByteArray& reply, const QByteArray& request, const QByteArray& prompt) {
    QByteArray text = reply;
    if (text.endsWith(prompt))
        text.chop(prompt.size());
    const QByteArray echo = sim::EchoOf(request);
    if (text.startsWith(echo))
        text.remove(0, echo.size());
    return text;
}

} // namespace

// The decoded values of the poll answers are simulator_dialogue_test's; here the echo, the prompt
// and the answers the start-up and the error queue rely on.
TEST_F(HpLine, AnswersStartUpAndOperatorRequestsWithEchoAndPrompt) {
    const QList<QByteArray> requests = {"\r",
                                        "*IDN?\r",
                                        ":SYST:ERR?\r",
                                        ":SYSTEM:STATUS?\r",
                                        ":SYNC:HOLD:TUNC:PRED?\r",
                                        "PTIME:TCOD:CONT 0\r",
                                        ":SYST:COMM:SER1:FDUP 0\r",
                                        ":PTIM:LEAP:ACC?\r\n",
                                        ":LED:ACTIVE ON; :DIAG:ROSC:EFC:ABS?\r"};
    QMap<QByteArray, QByteArray> answers;
    for (const QByteArray& request : requests) {
        const QByteArray reply = client->exchange(request, kScpiPrompt);
        ASSERT_TRUE(reply.endsWith(kScpiPrompt)) << request.constData() << " -> " << reply.constData();
        EXPECT_TRUE(reply.startsWith(sim::EchoOf(request))) << reply.constData();
        answers[request] = sim::WithoutTerminator(answerOf(reply, request, kScpiPrompt));
    }
    EXPECT_TRUE(answers["*IDN?\r"].contains("Z3816A"));
    EXPECT_EQ(answers[":SYST:ERR?\r"], "+0,\"No error\"");
    EXPECT_TRUE(isNumber(answers[":LED:ACTIVE ON; :DIAG:ROSC:EFC:ABS?\r"]));
    const QByteArray prediction = answers[":SYNC:HOLD:TUNC:PRED?\r"];
    EXPECT_TRUE(isNumber(prediction.left(prediction.lastIndexOf(',')))) << prediction.constData();
    EXPECT_EQ(answers[":PTIM:LEAP:ACC?\r\n"], "+18");
    EXPECT_TRUE(answers["PTIME:TCOD:CONT 0\r"].isEmpty());
    EXPECT_EQ(simulator.received(), std::vector<QByteArray>(requests.begin(), requests.end()));
}

TEST_F(HpLine, UnknownCommandsRaiseTheErrorPromptUntilTheQueueIsRead) {
    const QByteArray bad = client->exchange("BOGUS:CMD?\r", "E-113> ");
    EXPECT_EQ(bad, "BOGUS:CMD?\r\nE-113> ");
    const QByteArray error = client->exchange(":SYST:ERR?\r", kScpiPrompt);
    EXPECT_EQ(error, ":SYST:ERR?\r\n-113,\"Undefined header\"\r\nscpi > ");
}

TEST_F(HpLine, TimeCodeInTheF1FormCountsFromTheGpsEpoch) {
    ASSERT_TRUE(client->exchange(":PTIM:TCOD:FORM F1\r", kScpiPrompt).endsWith(kScpiPrompt));
    const QByteArray f1 =
        answerOf(client->exchange(":PTIM:TCOD?\r", kScpiPrompt), ":PTIM:TCOD?\r", kScpiPrompt);
    ASSERT_TRUE(f1.startsWith("T1#H")) << f1.constData();
    bool ok = false;
    const qint64 gpsSeconds = f1.mid(4, 8).toLongLong(&ok, 16);
    ASSERT_TRUE(ok);
    // The F1 count is on the UTC scale from the GPS epoch.
    EXPECT_NEAR(static_cast<double>(gpsSeconds + 315964800),
                static_cast<double>(QDateTime::currentSecsSinceEpoch()), 2.0);
}

TEST_F(HpLine, ContinuousTimeCodeComesEverySecondWhenSwitchedOn) {
    client->exchange("PTIME:TCOD:CONT 1\r", kScpiPrompt);
    const QRegularExpression code("^T2\\d{16}\r\n$");
    QElapsedTimer elapsed;
    elapsed.start();
    const QByteArray first =
        client->readUntil([](const QByteArray& got) { return got.endsWith("\r\n"); }, kBusyMachineWaitMs);
    const QByteArray second =
        client->readUntil([](const QByteArray& got) { return got.endsWith("\r\n"); }, kBusyMachineWaitMs);
    EXPECT_TRUE(code.match(QString(first)).hasMatch()) << first.constData();
    EXPECT_TRUE(code.match(QString(second)).hasMatch()) << second.constData();
    EXPECT_LT(elapsed.elapsed(), 3500);
    EXPECT_NE(first, second);
    EXPECT_TRUE(client->exchange("PTIME:TCOD:CONT 0\r", kScpiPrompt).endsWith(kScpiPrompt));
    EXPECT_TRUE(client->readFor(1200).isEmpty());
}

// Silence, garbage, endless, cut and vanishing replies are checked through the program in
// poll_cycle_test, whose outcomes (time-outs, the traced partial reply, the stop) show that they happened.
TEST_F(HpLine, SlowNulAndOverlongRepliesStillEndInThePrompt) {
    const QByteArray plain = client->exchange("*IDN?\r", kScpiPrompt);
    ASSERT_TRUE(plain.endsWith(kScpiPrompt));

    const sim::SlowPace pace{2, std::chrono::milliseconds(10)};
    simulator.setSlowPace(pace);
    simulator.setMisbehaviour(Misbehaviour::Slow, 1);
    client->write("*IDN?\r");
    QByteArray slow =
        client->readUntil([](const QByteArray& got) { return !got.isEmpty(); }, kBusyMachineWaitMs);
    QElapsedTimer trickle;
    trickle.start();
    slow += client->readUntil([&](const QByteArray& got) { return (slow + got).endsWith(kScpiPrompt); },
                              kBusyMachineWaitMs);
    EXPECT_EQ(slow, plain);
    // Each piece waits its gap after the one before, however busy the machine.
    const auto pieces = (plain.size() + pace.chunkBytes - 1) / pace.chunkBytes;
    EXPECT_GE(trickle.elapsed(), (pieces - 1) * pace.gap.count() * 9 / 10);

    simulator.setMisbehaviour(Misbehaviour::NulBytes, 1);
    client->write("*IDN?\r");
    QByteArray withNuls = client->readUntil(
        [](QByteArray got) { return got.replace('\0', QByteArray()).endsWith(kScpiPrompt); },
        kBusyMachineWaitMs);
    EXPECT_GT(withNuls.count('\0'), 5);
    EXPECT_EQ(withNuls.replace('\0', QByteArray()), plain);

    simulator.setMisbehaviour(Misbehaviour::Overlong, 1);
    const QByteArray overlong = client->exchange("*IDN?\r", kScpiPrompt);
    EXPECT_GE(overlong.size(), sim::kOverlongReplyBytes);
    EXPECT_TRUE(overlong.startsWith(plain.left(plain.size() - kScpiPrompt.size())));
    EXPECT_TRUE(overlong.endsWith(kScpiPrompt));
    // The count moves once write() has returned, which may be after the client has read it all.
    EXPECT_TRUE(simulator.waitForReplies(4, kBusyMachineWaitMs)) << simulator.repliesSent();
    EXPECT_EQ(simulator.repliesSent(), 4);
}

TEST_F(HpLine, SurvivesGarbageInputAndClientsThatDisappear) {
    std::mt19937 random(7);
    QByteArray noise(20000, '\0');
    for (char& c : noise)
        c = static_cast<char>(random() & 0xFF);
    client->write(noise);
    // Whatever the noise left half-received is ended by the first CR; the errors it raised are
    // cleared, so the prompt is the plain one again.
    const QByteArray idn = QByteArray("*IDN?\r\nHEWLETT-PACKARD,Z3816A,3542A01234,3524\r\n") + kScpiPrompt;
    EXPECT_TRUE(client->exchange("\r*CLS\r*IDN?\r", idn).endsWith(idn));

    // A client that leaves in the middle of a slow reply, and one that leaves before reading its
    // answer: the next client finds the line clean (once it has purged it, as the program does).
    simulator.setSlowPace({1, std::chrono::milliseconds(20)});
    simulator.setMisbehaviour(Misbehaviour::Slow, 1);
    client->write(":SYSTEM:STATUS?\r");
    client->readUntil([](const QByteArray& got) { return got.size() > 2; }, kBusyMachineWaitMs);
    client->close();
    ASSERT_TRUE(simulator.waitForClient(false, kBusyMachineWaitMs));
    const int repliesBefore = simulator.repliesSent();
    {
        PtyPeer brief(simulator.portPath());
        brief.write("*IDN?\r");
        EXPECT_TRUE(simulator.waitForReplies(repliesBefore + 1, kBusyMachineWaitMs));
    }
    ASSERT_TRUE(simulator.waitForClient(false, kBusyMachineWaitMs));
    PtyPeer next(simulator.portPath());
    next.readFor(100);
    EXPECT_EQ(next.exchange("*IDN?\r", kScpiPrompt), idn);
    EXPECT_TRUE(next.readFor(100).isEmpty());
    EXPECT_TRUE(simulator.lineOpen());
    EXPECT_TRUE(simulator.clientConnected());
}

TEST(ProteusSimulator, FramesPassTheDecoderAndStrayBytesAreSkipped) {
    ReceiverSimulator simulator(Family::Proteus);
    ASSERT_TRUE(simulator.start());
    PtyPeer client(simulator.portPath());
    // Sends a request and reads until `length` bytes have come (or the time is up).
    const auto exchange = [&](const QString& stored, qsizetype length) {
        client.write(ProteusWireBytes(stored));
        return client.readUntil([&](const QByteArray& got) { return got.size() >= length; },
                                kBusyMachineWaitMs);
    };
    const QByteArray efc = exchange(ProteusPoll(kProteusEfcPollId), kProteusEfcFrameBytes);
    ASSERT_EQ(CheckProteusFrame(efc), ProteusFrameKind::Efc);
    const ProteusEfcFrame e = DecodeProteusEfcFrame(efc);
    const std::int64_t frameUnix = ProteusGpsSeconds(e.week, e.timeOfWeek, 18) + std::int64_t{315964800};
    EXPECT_LE(std::abs(frameUnix - QDateTime::currentSecsSinceEpoch()), 2);

    // Its status frame is decoded through the poll cycle in family_polling_test.
    for (const ProteusCommand& command : g_ProteusCommands)
        EXPECT_EQ(CheckProteusFrame(exchange(command.packet, kProteusStatusFrameBytes)),
                  ProteusFrameKind::Status)
            << qPrintable(command.name);
    // Stray bytes and a poll with a wrong check word get no answer; the good poll after them does.
    client.write(QByteArray("\x13\x37\x00\xA2\x00\x5F", 6));
    EXPECT_EQ(exchange(ProteusPoll(kProteusEfcPollId), kProteusEfcFrameBytes).size(), kProteusEfcFrameBytes);
    EXPECT_TRUE(client.readFor(100).isEmpty());
}

TEST(SimulatedSky, SatellitesRiseSetAndMoveWhileValuesWander) {
    sim::ReceiverModel model;
    const auto start = sim::ReceiverModel::Clock::now();
    std::set<int> seen;
    std::map<int, int> firstElevation;
    bool moved = false;
    std::set<double> efc;
    for (int minute = 0; minute < 60; ++minute) {
        model.setNow(start + std::chrono::minutes(minute));
        const auto sky = model.satellites();
        int tracked = 0;
        for (const sim::SimSatellite& s : sky) {
            EXPECT_TRUE(s.elevation >= 1 && s.elevation <= 90 && s.azimuth >= 0 && s.azimuth < 360) << s.prn;
            tracked += s.tracked ? 1 : 0;
            EXPECT_EQ(s.tracked, s.cn > 0.0);
            seen.insert(s.prn);
            if (firstElevation.count(s.prn) && firstElevation[s.prn] != s.elevation)
                moved = true;
            firstElevation.emplace(s.prn, s.elevation);
        }
        EXPECT_LE(tracked, 12);
        EXPECT_GE(sky.size(), 3u);
        efc.insert(model.efcVolts());
    }
    EXPECT_TRUE(moved);
    EXPECT_GT(seen.size(), 20u); // over an hour of fast sky most satellites rise at some point
    EXPECT_GT(efc.size(), 50u);

    // Cycling, the receiver passes through all three states within a few minutes.
    model.setLockCycle(true);
    std::set<LockState> states;
    for (int second = 0; second < 240; second += 5) {
        model.setNow(start + std::chrono::seconds(second));
        states.insert(model.lockState());
    }
    EXPECT_EQ(states.size(), 3u);

    model.setLockState(LockState::Holdover);
    const double held = model.efcVolts();
    model.setNow(model.now() + std::chrono::seconds(30));
    EXPECT_NEAR(model.efcVolts(), held, 1e-4);
    EXPECT_NEAR(model.secondsInState(), 30.0, 0.01);
}

namespace {
const QString kProgram = QStringLiteral(ORVANE_BINARY_DIR "/simulator/orvane-sim");
// Starts orvane-sim with `arguments` on a link in `folder`; returns the link.
QString StartProgram(QProcess& program, const QTemporaryDir& folder, QStringList arguments) {
    const QString link = folder.filePath("receiver");
    program.start(kProgram, arguments << "--link" << link);
    return program.waitForStarted(kBusyMachineWaitMs) && program.waitForReadyRead(kBusyMachineWaitMs)
               ? link
               : QString();
}
} // namespace

TEST(SimulatorProgram, ServesThroughItsLinkUntilTerminated) {
    QTemporaryDir folder;
    QProcess program;
    const QString link = StartProgram(program, folder, {"--family", "jackson", "--state", "holdover"});
    ASSERT_FALSE(link.isEmpty());
    EXPECT_EQ(program.readAllStandardOutput().trimmed(), link.toLocal8Bit());
    {
        PtyPeer client(link);
        ASSERT_TRUE(client.isOpen());
        const QByteArray status = client.exchange("SYNC:HOLD:DUR?\r", "scpi > ");
        EXPECT_TRUE(status.contains("\r\n") && status.endsWith("scpi > "));
        EXPECT_FALSE(status.contains("\r\n0,0\r\n")); // started in holdover
    }
    ::kill(static_cast<pid_t>(program.processId()), SIGTERM);
    ASSERT_TRUE(program.waitForFinished(kBusyMachineWaitMs));
    EXPECT_EQ(program.exitCode(), 0);
    EXPECT_FALSE(QFileInfo(link).isSymLink());
}

TEST(SimulatorProgram, MisbehavesAsToldOnItsCommandLine) {
    QTemporaryDir folder;
    QProcess program;
    const QString link = StartProgram(program, folder, {"--family", "hp", "--misbehave", "nul"});
    ASSERT_FALSE(link.isEmpty());
    {
        PtyPeer client(link);
        client.write("*IDN?\r");
        const QByteArray reply = client.readUntil(
            [](QByteArray got) { return got.replace('\0', QByteArray()).endsWith(kScpiPrompt); },
            kBusyMachineWaitMs);
        EXPECT_GT(reply.count('\0'), 0);
        EXPECT_TRUE(QByteArray(reply).replace('\0', QByteArray()).endsWith(kScpiPrompt));
    }
    ::kill(static_cast<pid_t>(program.processId()), SIGTERM);
    ASSERT_TRUE(program.waitForFinished(kBusyMachineWaitMs));

    // An unknown mode is refused with the list of modes.
    QProcess refused;
    refused.start(kProgram, {"--family", "hp", "--link", link, "--misbehave", "sulk"});
    ASSERT_TRUE(refused.waitForFinished(kBusyMachineWaitMs));
    EXPECT_EQ(refused.exitCode(), 2);
    EXPECT_TRUE(refused.readAllStandardError().contains("--misbehave none|silence|garbage"));
}
