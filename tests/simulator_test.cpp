#include "simulator/ReceiverSimulator.h"
#include "simulator/TextRequests.h"
#include "support/PtyPeer.h"

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
#include <thread>

using sim::Family;
using sim::LockState;
using sim::Misbehaviour;
using sim::ReceiverSimulator;

namespace {

const QByteArray kScpiPrompt = "scpi > ";

// A started simulator with a client on its line.
struct Line {
    explicit Line(Family family) : simulator(family) {
        started = simulator.start();
        if (started)
            client = std::make_unique<PtyPeer>(simulator.portPath());
    }
    ReceiverSimulator simulator;
    bool started = false;
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
    const QByteArray echo = sim::echoOf(request);
    if (text.startsWith(echo))
        text.remove(0, echo.size());
    return text;
}

// The 24 characters the program reads for unknown-time marks after the first "UTC  ".
QByteArray lockWindow(const QByteArray& screen) {
    const qsizetype k = screen.indexOf("UTC  ");
    return k < 0 ? QByteArray() : screen.mid(k + 11, 24);
}

} // namespace

// The decoded values of the poll answers are simulator_dialogue_test's; here the echo, the prompt
// and the answers the start-up and the error queue rely on.
TEST(HewlettPackardSimulator, AnswersEveryPollAndStartUpRequestWithEchoAndPrompt) {
    Line line(Family::HewlettPackard);
    ASSERT_TRUE(line.started);
    ASSERT_TRUE(line.client->isOpen());
    const QList<QByteArray> requests = {"\r",
                                        "*IDN?\r",
                                        ":DIAG:LIF:COUN?\r",
                                        ":SYST:ERR?\r",
                                        ":SYSTEM:STATUS?\r",
                                        ":DIAG:ROSC:EFC:ABS?\r",
                                        ":PTIME:TINTERVAL?\r",
                                        ":SYNC:HOLD:TUNC:PRED?\r",
                                        ":PTIME:TIME:STRING?\r",
                                        ":PTIME:TZONE?;:PTIME:TCODE?\r",
                                        "PTIME:TCOD:CONT 0\r",
                                        ":SYST:COMM:SER1:FDUP 0\r",
                                        ":PTIM:LEAP:ACC?\r\n",
                                        ":LED:ACTIVE ON; :DIAG:ROSC:EFC:ABS?\r"};
    QMap<QByteArray, QByteArray> answers;
    for (const QByteArray& request : requests) {
        const QByteArray reply = line.client->exchange(request, kScpiPrompt);
        ASSERT_TRUE(reply.endsWith(kScpiPrompt)) << request.constData() << " -> " << reply.constData();
        EXPECT_TRUE(reply.startsWith(sim::echoOf(request))) << reply.constData();
        answers[request] = sim::withoutTerminator(answerOf(reply, request, kScpiPrompt));
    }
    EXPECT_TRUE(answers["*IDN?\r"].contains("Z3816A"));
    EXPECT_EQ(answers[":SYST:ERR?\r"], "+0,\"No error\"");
    EXPECT_TRUE(isNumber(answers[":LED:ACTIVE ON; :DIAG:ROSC:EFC:ABS?\r"]));
    const QByteArray prediction = answers[":SYNC:HOLD:TUNC:PRED?\r"];
    EXPECT_TRUE(isNumber(prediction.left(prediction.lastIndexOf(',')))) << prediction.constData();
    EXPECT_EQ(answers[":PTIM:LEAP:ACC?\r\n"], "+18");
    EXPECT_TRUE(answers["PTIME:TCOD:CONT 0\r"].isEmpty());
    EXPECT_EQ(line.simulator.received(), std::vector<QByteArray>(requests.begin(), requests.end()));
}

TEST(HewlettPackardSimulator, UnknownCommandsRaiseTheErrorPromptUntilTheQueueIsRead) {
    Line line(Family::HewlettPackard);
    ASSERT_TRUE(line.started);
    const QByteArray bad = line.client->exchange("BOGUS:CMD?\r", "E-113> ");
    EXPECT_EQ(bad, "BOGUS:CMD?\r\nE-113> ");
    const QByteArray error = line.client->exchange(":SYST:ERR?\r", kScpiPrompt);
    EXPECT_EQ(error, ":SYST:ERR?\r\n-113,\"Undefined header\"\r\nscpi > ");
}

TEST(HewlettPackardSimulator, TimeCodeInTheF1FormCountsFromTheGpsEpoch) {
    Line line(Family::HewlettPackard);
    ASSERT_TRUE(line.started);
    ASSERT_TRUE(line.client->exchange(":PTIM:TCOD:FORM F1\r", kScpiPrompt).endsWith(kScpiPrompt));
    const QByteArray f1 =
        answerOf(line.client->exchange(":PTIM:TCOD?\r", kScpiPrompt), ":PTIM:TCOD?\r", kScpiPrompt);
    ASSERT_TRUE(f1.startsWith("T1#H")) << f1.constData();
    bool ok = false;
    const qint64 gpsSeconds = f1.mid(4, 8).toLongLong(&ok, 16);
    ASSERT_TRUE(ok);
    // The F1 count is on the UTC scale from the GPS epoch.
    EXPECT_NEAR(static_cast<double>(gpsSeconds + 315964800),
                static_cast<double>(QDateTime::currentSecsSinceEpoch()), 2.0);
}

TEST(HewlettPackardSimulator, ContinuousTimeCodeComesEverySecondWhenSwitchedOn) {
    Line line(Family::HewlettPackard);
    ASSERT_TRUE(line.started);
    line.client->exchange("PTIME:TCOD:CONT 1\r", kScpiPrompt);
    const QRegularExpression code("^T2\\d{16}\r\n$");
    QElapsedTimer elapsed;
    elapsed.start();
    const QByteArray first =
        line.client->readUntil([](const QByteArray& got) { return got.endsWith("\r\n"); }, 2000);
    const QByteArray second =
        line.client->readUntil([](const QByteArray& got) { return got.endsWith("\r\n"); }, 2000);
    EXPECT_TRUE(code.match(QString(first)).hasMatch()) << first.constData();
    EXPECT_TRUE(code.match(QString(second)).hasMatch()) << second.constData();
    EXPECT_LT(elapsed.elapsed(), 3500);
    EXPECT_NE(first, second);
    EXPECT_TRUE(line.client->exchange("PTIME:TCOD:CONT 0\r", kScpiPrompt).endsWith(kScpiPrompt));
    EXPECT_TRUE(line.client->readFor(1200).isEmpty());
}

TEST(HewlettPackardSimulator, HoldoverCanBeCommandedAndShowsOnTheStatusScreen) {
    Line line(Family::HewlettPackard);
    ASSERT_TRUE(line.started);
    line.client->exchange(":SYNC:HOLD:INIT\r", kScpiPrompt);
    EXPECT_EQ(line.simulator.lockState(), LockState::Holdover);
    const QByteArray holdover = line.client->exchange(":SYST:STAT?\r", kScpiPrompt);
    EXPECT_TRUE(holdover.contains(">> Holdover"));
    EXPECT_FALSE(lockWindow(holdover).contains('?'));
}

TEST(SimulatorMisbehaviour, SilenceGarbageAndPartialRepliesNeverEndInAPrompt) {
    Line line(Family::HewlettPackard);
    ASSERT_TRUE(line.started);
    const auto endsInPrompt = [](const QByteArray& got) {
        return got.endsWith(kScpiPrompt) || got.endsWith("> ");
    };

    line.simulator.setMisbehaviour(Misbehaviour::Silence, 1);
    line.client->write("*IDN?\r");
    EXPECT_TRUE(line.client->readFor(250).isEmpty());
    // The count ran out: the next request is answered again.
    EXPECT_TRUE(line.client->exchange("*IDN?\r", kScpiPrompt).endsWith(kScpiPrompt));

    line.simulator.setMisbehaviour(Misbehaviour::Garbage, 3);
    QByteArray garbage;
    for (int i = 0; i < 3; ++i) {
        line.client->write("*IDN?\r");
        ASSERT_TRUE(line.simulator.waitForReplies(i + 2, 2000));
        garbage += line.client->readUntil([](const QByteArray& got) { return got.size() >= 16; }, 2000);
        EXPECT_FALSE(endsInPrompt(garbage));
    }
    garbage += line.client->readFor(50);
    EXPECT_GE(garbage.size(), 3 * 16);
    EXPECT_FALSE(garbage.contains("Z3816A"));
    EXPECT_FALSE(endsInPrompt(garbage));

    line.simulator.setMisbehaviour(Misbehaviour::Partial, 1);
    line.client->write("*IDN?\r");
    const QByteArray partial =
        line.client->readUntil([](const QByteArray& got) { return got.endsWith("3524\r\n"); }, 2000);
    EXPECT_EQ(partial, "*IDN?\r\nHEWLETT-PACKARD,Z3816A,3542A01234,3524\r\n");
    EXPECT_TRUE(line.client->readFor(100).isEmpty());
    EXPECT_EQ(line.simulator.misbehaviour(), Misbehaviour::None);
}

TEST(SimulatorMisbehaviour, SlowNulAndOverlongRepliesStillEndInThePrompt) {
    Line line(Family::HewlettPackard);
    ASSERT_TRUE(line.started);
    const QByteArray plain = line.client->exchange("*IDN?\r", kScpiPrompt);
    ASSERT_TRUE(plain.endsWith(kScpiPrompt));

    const sim::SlowPace pace{2, std::chrono::milliseconds(10)};
    line.simulator.setSlowPace(pace);
    line.simulator.setMisbehaviour(Misbehaviour::Slow, 1);
    line.client->write("*IDN?\r");
    QByteArray slow = line.client->readUntil([](const QByteArray& got) { return !got.isEmpty(); }, 2000);
    QElapsedTimer trickle;
    trickle.start();
    slow += line.client->readUntil([&](const QByteArray& got) { return (slow + got).endsWith(kScpiPrompt); },
                                   5000);
    EXPECT_EQ(slow, plain);
    // Each piece waits its gap after the one before, however busy the machine.
    const auto pieces = (plain.size() + pace.chunkBytes - 1) / pace.chunkBytes;
    EXPECT_GE(trickle.elapsed(), (pieces - 1) * pace.gap.count() * 9 / 10);

    line.simulator.setMisbehaviour(Misbehaviour::NulBytes, 1);
    line.client->write("*IDN?\r");
    QByteArray withNuls = line.client->readUntil(
        [](QByteArray got) { return got.replace('\0', QByteArray()).endsWith(kScpiPrompt); }, 3000);
    EXPECT_GT(withNuls.count('\0'), 5);
    EXPECT_EQ(withNuls.replace('\0', QByteArray()), plain);

    line.simulator.setMisbehaviour(Misbehaviour::Overlong, 1);
    const QByteArray overlong = line.client->exchange("*IDN?\r", kScpiPrompt, 5000);
    EXPECT_GE(overlong.size(), sim::kOverlongReplyBytes);
    EXPECT_TRUE(overlong.startsWith(plain.left(plain.size() - kScpiPrompt.size())));
    EXPECT_TRUE(overlong.endsWith(kScpiPrompt));
    EXPECT_EQ(line.simulator.repliesSent(), 4);
}

TEST(SimulatorMisbehaviour, EndlessReplyStreamsUntilTheMisbehaviourIsLifted) {
    Line line(Family::HewlettPackard);
    ASSERT_TRUE(line.started);
    const auto lines = [](int n) { return [n](const QByteArray& got) { return got.count('\n') > n; }; };
    line.simulator.setMisbehaviour(Misbehaviour::Endless);
    line.client->write(":SYST:ERR?\r");
    const QByteArray first = line.client->readUntil(lines(3), 3000);
    line.client->write("*IDN?\r"); // not heard while streaming
    const QByteArray second = line.client->readUntil(lines(3), 3000);
    EXPECT_GT(first.count('\n'), 3);
    EXPECT_GT(second.count('\n'), 3);
    EXPECT_FALSE(first.contains("scpi") || second.contains("scpi") || second.contains("Z3816A"));
    EXPECT_TRUE(line.simulator.waitForRequests(2, 1000));
    EXPECT_EQ(line.simulator.repliesSent(), 0);

    line.simulator.setMisbehaviour(Misbehaviour::None);
    line.client->readFor(300);
    EXPECT_TRUE(line.client->readFor(100).isEmpty());
    EXPECT_TRUE(line.client->exchange("*IDN?\r", kScpiPrompt).endsWith(kScpiPrompt));
}

TEST(SimulatorMisbehaviour, VanishingLineHangsUpMidReply) {
    Line line(Family::HewlettPackard);
    ASSERT_TRUE(line.started);
    line.simulator.setMisbehaviour(Misbehaviour::Vanish, 1);
    line.client->write(":SYSTEM:STATUS?\r");
    const QByteArray got = line.client->readFor(3000);
    EXPECT_TRUE(line.client->hungUp());
    EXPECT_TRUE(got.startsWith(":SYSTEM:STATUS?\r\n"));
    EXPECT_FALSE(got.endsWith(kScpiPrompt));
    EXPECT_FALSE(line.simulator.lineOpen());

    // A new start gives a new, working line.
    line.simulator.stop();
    ASSERT_TRUE(line.simulator.start());
    PtyPeer again(line.simulator.portPath());
    EXPECT_TRUE(again.exchange("*IDN?\r", kScpiPrompt).endsWith(kScpiPrompt));
}

TEST(SimulatorRobustness, SurvivesGarbageInputAndClientsThatDisappear) {
    Line line(Family::HewlettPackard);
    ASSERT_TRUE(line.started);
    std::mt19937 random(7);
    QByteArray noise(20000, '\0');
    for (char& c : noise)
        c = static_cast<char>(random() & 0xFF);
    line.client->write(noise);
    // Whatever the noise left half-received is ended by the first CR; the errors it raised are
    // cleared, so the prompt is the plain one again.
    const QByteArray idn = QByteArray("*IDN?\r\nHEWLETT-PACKARD,Z3816A,3542A01234,3524\r\n") + kScpiPrompt;
    EXPECT_TRUE(line.client->exchange("\r*CLS\r*IDN?\r", idn, 5000).endsWith(idn));

    // A client that leaves in the middle of a slow reply, and one that leaves before reading its
    // answer: the next client finds the line clean (once it has purged it, as the program does).
    line.simulator.setSlowPace({1, std::chrono::milliseconds(20)});
    line.simulator.setMisbehaviour(Misbehaviour::Slow, 1);
    line.client->write(":SYSTEM:STATUS?\r");
    line.client->readUntil([](const QByteArray& got) { return got.size() > 2; }, 2000);
    line.client->close();
    ASSERT_TRUE(line.simulator.waitForClient(false, 2000));
    const int repliesBefore = line.simulator.repliesSent();
    {
        PtyPeer brief(line.simulator.portPath());
        brief.write("*IDN?\r");
        EXPECT_TRUE(line.simulator.waitForReplies(repliesBefore + 1, 2000));
    }
    ASSERT_TRUE(line.simulator.waitForClient(false, 2000));
    PtyPeer next(line.simulator.portPath());
    next.readFor(100);
    EXPECT_EQ(next.exchange("*IDN?\r", kScpiPrompt), idn);
    EXPECT_TRUE(next.readFor(100).isEmpty());
    EXPECT_TRUE(line.simulator.lineOpen());
    EXPECT_TRUE(line.simulator.clientConnected());
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
            EXPECT_GE(s.elevation, 1);
            EXPECT_LE(s.elevation, 90);
            EXPECT_GE(s.azimuth, 0);
            EXPECT_LT(s.azimuth, 360);
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

    model.setLockState(LockState::Unlocked);
    for (const sim::SimSatellite& s : model.satellites())
        EXPECT_FALSE(s.tracked);
    model.setLockState(LockState::Holdover);
    const double held = model.efcVolts();
    model.setNow(model.now() + std::chrono::seconds(30));
    EXPECT_NEAR(model.efcVolts(), held, 1e-4);
    EXPECT_NEAR(model.secondsInState(), 30.0, 0.01);
}

TEST(SimulatorProgram, ServesThroughItsLinkUntilTerminated) {
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const QString link = folder.filePath("receiver");
    QProcess program;
    program.start(QStringLiteral(ORVANE_BINARY_DIR "/simulator/orvane-sim"),
                  {"--family", "jackson", "--link", link, "--state", "holdover"});
    ASSERT_TRUE(program.waitForStarted(5000));
    ASSERT_TRUE(program.waitForReadyRead(5000));
    EXPECT_EQ(program.readAllStandardOutput().trimmed(), link.toLocal8Bit());
    {
        PtyPeer client(link);
        ASSERT_TRUE(client.isOpen());
        const QByteArray status = client.exchange("SYNC:HOLD:DUR?\r", "scpi > ");
        EXPECT_TRUE(status.contains("\r\n") && status.endsWith("scpi > "));
        EXPECT_FALSE(status.contains("\r\n0,0\r\n")); // started in holdover
    }
    ::kill(static_cast<pid_t>(program.processId()), SIGTERM);
    ASSERT_TRUE(program.waitForFinished(5000));
    EXPECT_EQ(program.exitCode(), 0);
    EXPECT_FALSE(QFileInfo(link).isSymLink());
}
