// The receiver link and the poll cycle end to end: the program's ports are pseudo-terminals whose
// far ends play the receiver and the auxiliary instrument. Poll ticks are driven by calling the
// timer handler, so each test decides exactly when the program sends and reads.
#include "app/ChildView.h"
#include "app/Globals.h"
#include "controls/DlgBar.h"
#include "platform/MessageBox.h"
#include "platform/PowerManagement.h"
#include "platform/SerialPort.h"
#include "platform/TickCount.h"
#include "receiver/PollSequence.h"
#include "receiver/ProteusFrames.h"
#include "receiver/ProteusPackets.h"
#include "receiver/ReplyText.h"
#include "simulator/ReceiverSimulator.h"
#include "support/PollTicks.h"
#include "support/PtyPeer.h"
#include "support/StartUpAttempts.h"
#include "support/WaitBounds.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QMap>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTextDocument>
#include <algorithm>
#include <gtest/gtest.h>
#include <thread>

namespace {

// No wait for an answer to begin: the first receive tick comes at once, as the poll timer's does.
// For a line that is to stay silent, and for one whose port still holds bytes of a faulty reply
// (a wait for more bytes would not see those, and a full buffer would hold up the answer).
constexpr int kNoAnswerStartWaitMs = 0;

class PollCycleTest : public ::testing::Test {
protected:
    void SetUp() override {
        platform::SetTickSource(m_clock);
        platform::SetMessageBoxHandler([this](const platform::MessageBoxRequest& request) {
            m_boxes << request.text;
            return platform::MessageResult::Ok;
        });
        platform::SetKeepAwakeHandler([this](bool on) { m_keepAwake = on; });
        m_view.m_pDlgBar = &m_bar;
        m_bar.m_pView = &m_view;
    }
    void TearDown() override {
        m_view.OnStop();
        platform::SetTickSource(nullptr);
        platform::SetKeepAwakeHandler({});
    }

    // The family's defaults with quick test settings, the receiver on `port`.
    void UseFamily(int family, const QString& port) {
        g_nReceiverType = family;
        m_view.SetReceiverDefaults();
        m_view.m_strComPort = port;
        m_view.m_bAutoLeaps = false;
        m_view.m_bInitZ3816A = false;
        m_view.m_bBeepOnError = false;
        m_view.m_bFlashLED = false;
        m_view.m_nRetries = 20;
    }
    // A simulated Hewlett Packard receiver.
    void UseSimulator() {
        ASSERT_TRUE(m_sim.start());
        UseFamily(RECEIVER_HP, m_sim.portPath());
    }
    // The simulated Proteus receiver, polling started.
    void StartOnProteus() {
        ASSERT_TRUE(m_proteus.start());
        UseFamily(RECEIVER_PROTEUS, m_proteus.portPath());
        m_view.OnStart();
        ASSERT_TRUE(m_view.IsRunning());
    }
    // Sends a Proteus request at `step` as the poll cycle would and reads its frame once it has
    // begun to come (or `answerStartMs` has passed).
    bool PollProteus(const QString& request, int step, QString& reply,
                     int answerStartMs = kBusyMachineWaitMs) {
        m_view.m_nPollStep = step;
        m_view.m_strRequest = request;
        m_view.WriteCommand(m_view.m_hActivePort, request);
        m_view.m_hActivePort->waitForReadyRead(answerStartMs); // returns as soon as bytes come
        return m_view.ReadProteus(reply);
    }
    // A receiver of another family on m_port; the test plays it.
    void UsePort(int family) { UseFamily(family, m_port.slavePath()); }

    void Tick() { m_view.OnTimer(IDT_POLL); }
    // Lets bytes arrive for ms, as the event loop does between two ticks.
    void WaitForBytes(int ms = 20) {
        QElapsedTimer elapsed;
        elapsed.start();
        for (qint64 left = ms; left > 0 && m_view.m_hActivePort; left = ms - elapsed.elapsed())
            m_view.m_hActivePort->waitForReadyRead(static_cast<int>(left));
    }
    // Runs ticks until the request in flight is answered, timed out, or polling stopped; the first
    // receive tick comes once the answer has begun (a Proteus receive tick that finds nothing is a
    // time-out at once).
    void CompleteStep(int answerStartMs = kBusyMachineWaitMs) {
        PollTick(m_view, answerStartMs);
        for (int i = 0; i < 300 && m_view.IsRunning() && m_view.m_nWaitCount > 0; ++i) {
            WaitForBytes();
            Tick();
        }
    }
    // The steps of n requests in the order they are sent.
    std::vector<int> RunSteps(int n, int answerStartMs = kBusyMachineWaitMs) {
        std::vector<int> steps;
        for (int i = 0; i < n && m_view.IsRunning(); ++i) {
            steps.push_back(m_view.m_strUserCommand.isEmpty() ? m_view.m_nPollStep : PollStepUser);
            CompleteStep(answerStartMs);
        }
        return steps;
    }
    QString UserWindow() const { return m_bar.UserWindow()->toPlainText(); }
    bool IsNumber(const QString& text) const {
        bool ok = false;
        text.toDouble(&ok);
        return ok;
    }

    std::shared_ptr<platform::ManualTickSource> m_clock = std::make_shared<platform::ManualTickSource>(5000);
    QStringList m_boxes;
    bool m_keepAwake = false;
    sim::ReceiverSimulator m_sim{sim::Family::HewlettPackard};
    sim::ReceiverSimulator m_proteus{sim::Family::Proteus};
    PtyPeer m_port;
    CvDlgBar m_bar;
    CChildView m_view;
};

using Sent = std::vector<QByteArray>;

} // namespace

TEST_F(PollCycleTest, StartRunsTheHewlettPackardExchangeAndStopUndoesStart) {
    UseSimulator();
    m_view.m_bInitZ3816A = true;
    m_view.m_bAutoLeaps = true;
    m_view.m_bKeepAwake = true;
    const Sent startUp = {"PTIME:TCOD:CONT 0\r", ":SYST:COMM:SER1:FDUP 0\r", ":SYST:ERR?\r",
                          ":SYST:ERR?\r",        ":PTIM:LEAP:ACC?\r\n",      ":SYST:ERR?\r"};
    const bool leapSecondsRead = StartUntilTaken(
        [&] {
            m_view.m_nLeapCorrection = 0;
            m_view.OnStart();
        },
        [&] { return m_view.m_nLeapCorrection == 18; },
        [&] {
            m_sim.waitForRequests(startUp.size(), kBusyMachineWaitMs);
            m_view.OnStop();
            m_sim.clearReceived();
        });
    ASSERT_TRUE(m_view.IsRunning());
    EXPECT_TRUE(m_view.m_bPortOpen);
    // The last request may still be on its way to the receiver when Start returns.
    EXPECT_TRUE(m_sim.waitForRequests(startUp.size(), kBusyMachineWaitMs));
    EXPECT_EQ(m_sim.received(), startUp);
    EXPECT_TRUE(leapSecondsRead) << m_view.m_nLeapCorrection;
    EXPECT_EQ(m_view.m_nPollStep, PollStepWakeUp);
    EXPECT_EQ(m_view.TimerPeriod(IDT_POLL), 60);
    EXPECT_TRUE(m_keepAwake);
    m_view.OnStop();
    EXPECT_FALSE(m_view.IsRunning() || m_view.m_bPortOpen || m_view.IsTimerActive(IDT_POLL) || m_keepAwake);
}

// Jackson Labs: the engine, then the channel-2 probe (the first that answers without error), then
// the leap seconds. (Datum 2000's start-up is checked against a streaming receiver below.)
// The traffic echo of a chattering line reaches the user window a few times a second, not at
// every poll tick (each refresh lays out and redraws the window), and loses nothing on the way.
TEST_F(PollCycleTest, TheTrafficEchoRefreshesTheUserWindowAtMostOncePerPeriod) {
    UseSimulator();
    QTemporaryDir folder;
    m_view.m_strUserPath = folder.filePath(QStringLiteral("gpsuser.txt"));
    m_view.m_bUserToFile = true;
    m_view.m_bComsDebug = true;
    m_view.m_bVerboseDebug = true;
    auto* window = qobject_cast<QPlainTextEdit*>(m_bar.GetDlgItem(IDC_USER_WINDOW));
    auto* waitField = qobject_cast<QLineEdit*>(m_bar.GetDlgItem(IDC_DEBUG_BOX1));
    ASSERT_TRUE(window && waitField);
    int refreshes = 0;
    int fieldChanges = 0;
    QObject::connect(window->document(), &QTextDocument::contentsChange, [&] { ++refreshes; });
    QObject::connect(waitField, &QLineEdit::textChanged, [&] { ++fieldChanges; });
    QElapsedTimer elapsed;
    elapsed.start();
    m_view.OnStart();
    ASSERT_TRUE(m_view.IsRunning());
    RunSteps(12);
    const qint64 periods = elapsed.elapsed() / kUserWindowRefreshMs;
    ASSERT_GE(m_sim.repliesSent(), 12);
    EXPECT_LE(refreshes, periods + 2);
    EXPECT_LE(fieldChanges, 2 * (periods + 2)); // two changes a refresh: the text goes, the text comes

    QFile file(m_view.m_strUserPath);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    QString written = QString::fromLatin1(file.readAll());
    written.replace(QStringLiteral("\r\n"), QStringLiteral("\n"))
        .replace(QLatin1Char('\r'), QLatin1Char('\n'));
    EXPECT_EQ(UserWindow(), written);
}

TEST_F(PollCycleTest, JacksonStartUpProbesTheEngineAndChannelTwo) {
    // It echoes each command and knows only these; the rest are refused.
    const QMap<QByteArray, QByteArray> answers = {
        {"GPS:TYPE?", "Rockwell SAASM"}, {"MEAS:CURR?", "0.123"}, {":PTIM:LEAP?", "18"}};
    m_port.startResponder([answers](const QByteArray& command) {
        const QByteArray echo = command.endsWith('\n') ? command : command + "\n";
        const auto found = answers.constFind(command.trimmed());
        return echo + (found != answers.cend() ? *found + "\r\nscpi > " : QByteArray("Command Error\r\n"));
    });
    const QByteArray startUp = "GPS:TYPE?\rCSAC:TEMP?\rMEAS:CURR?\r:PTIM:LEAP?\r\n";
    QByteArray sent; // by the last start
    StartUntilTaken(
        [&] {
            UsePort(RECEIVER_JACKSON);
            m_view.m_bAutoLeaps = true;
            m_view.m_nLeapCorrection = 0;
            const qsizetype before = m_port.received().size();
            m_view.OnStart();
            // It ends with a leap-second query, the one request that ends in CR LF.
            sent = m_port
                       .receivedOnce([&](const QByteArray& got) { return got.mid(before).endsWith("\r\n"); },
                                     kBusyMachineWaitMs)
                       .mid(before);
        },
        [&] { return sent == startUp && m_view.m_bSaasmGps && m_view.m_nLeapCorrection == 18; },
        [&] { m_view.OnStop(); });
    EXPECT_EQ(sent, startUp);
    EXPECT_TRUE(m_view.m_bSaasmGps);
    EXPECT_EQ(m_view.m_strPollCommand[10], QStringLiteral("MEAS:CURR?\r"));
    EXPECT_EQ(m_view.m_strLabel[2], QStringLiteral("I")); // it was the temperature's label
    EXPECT_EQ(m_view.m_nLeapCorrection, 18);
}

TEST_F(PollCycleTest, UccmLeapSecondsComeFromACompleteTimeOfDayLine) {
    UsePort(RECEIVER_UCCM);
    m_view.m_bAutoLeaps = true;
    m_view.m_nLeapCorrection = 0;
    // The stream starts in the middle of a message whose index 96 would read "FF".
    const QByteArray line = QByteArray(96, 'c') + "12\r\n";
    std::atomic<bool> streaming{true};
    std::thread device([&] {
        m_port.write(QByteArray(90, 'x') + "FF\r\n");
        while (streaming) {
            m_port.write(line);
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
    });
    m_view.OnStart();
    streaming = false;
    device.join();
    EXPECT_EQ(m_view.m_nLeapCorrection, 0x12);
    const QByteArray sent = m_port.receivedOnce(
        [](const QByteArray& got) { return got.endsWith("TOD DI\rTOD DI\rTOD DI\r"); }, kBusyMachineWaitMs);
    EXPECT_TRUE(sent.startsWith("TOD EN\r"));
    EXPECT_TRUE(sent.endsWith("TOD DI\rTOD DI\rTOD DI\r"));
}

TEST_F(PollCycleTest, StartupAgainstAStreamingReceiverEndsInBoundedTime) {
    UsePort(RECEIVER_DATUM);
    std::atomic<bool> streaming{true};
    std::thread device([&] {
        while (streaming)
            m_port.write(QByteArray(256, 'z'));
    });
    QElapsedTimer elapsed;
    elapsed.start();
    m_view.OnStart();
    const qint64 startTook = elapsed.elapsed();
    streaming = false;
    while (m_view.m_hComPort->waitForReadyRead(100)) // until the device has finished its last write
        m_view.m_hComPort->read(1 << 20);
    device.join();
    EXPECT_LT(startTook, 7 * 1500);
    const QByteArray queries = "CVT?0\rTCO?0\rHIS?0\rERR?0\rSAT?0\rLTR?0\rAUX?0\r";
    EXPECT_TRUE(
        m_port.receivedOnce([&](const QByteArray& got) { return got.endsWith(queries); }, kBusyMachineWaitMs)
            .endsWith(queries));
}

TEST_F(PollCycleTest, StartFailuresShowTheirMessage) {
    UseSimulator();
    // Absent devices of this test's own: a port's lock file is named after its device, and another
    // test opening an absent device of the same name at that moment holds it.
    const QTemporaryDir folder;
    const QString absentReceiver = folder.filePath(QStringLiteral("no-such-receiver"));
    const QString absentInstrument = folder.filePath(QStringLiteral("no-such-instrument"));
    m_view.m_strComPort = absentReceiver;
    m_view.m_listCommands << QStringLiteral("*IDN?\r"); // a queued command cannot open it either
    m_view.OnTimer(IDT_USER_COMMAND);
    EXPECT_FALSE(m_view.IsRunning() || m_view.m_bStopAfterCommand);
    EXPECT_TRUE(m_view.m_strUserCommand.isEmpty());
    m_view.m_strComPort = m_sim.portPath();
    m_view.m_nBaud = 0;
    m_view.OnStart();
    EXPECT_FALSE(m_view.IsRunning());
    // An absent auxiliary port is reported and dropped; the receiver is polled all the same.
    m_view.m_nBaud = 19200;
    m_view.m_nTimerValue = 0;
    m_view.m_bPort2Enabled = true;
    m_view.m_strComPort2 = absentInstrument;
    m_view.OnStart();
    EXPECT_TRUE(m_view.IsRunning());
    EXPECT_FALSE(m_view.m_bPort2Enabled);
    EXPECT_EQ(m_view.TimerPeriod(IDT_POLL), 10); // never faster than 10 ms
    // An absent device is named, with the system's reason.
    EXPECT_EQ(m_boxes,
              QStringList({"CreateFile failed for com port " + absentReceiver + ": No such file or directory",
                           "Unable to configure the serial port",
                           "CreateFile failed for auxiliary com port " + absentInstrument +
                               ": No such file or directory"}));
}

TEST_F(PollCycleTest, SlotsArePolledInOrderAndTheirAnswersDecoded) {
    UseSimulator();
    m_view.m_bFlashLED = true;
    m_view.OnStart();
    EXPECT_EQ(RunSteps(13), (std::vector<int>{0, 1, 2, 3, 7, 8, 9, 10, 2, 3, 7, 8, 9}));
    EXPECT_EQ(m_view.m_nTimeouts, 0);
    EXPECT_EQ(m_view.m_strIdentity, QStringLiteral("HEWLETT-PACKARD,Z3816A,3542A01234,3524"));
    EXPECT_TRUE(m_view.m_strRawStatus.startsWith(QStringLiteral("----"))); // no echo
    EXPECT_FALSE(m_view.m_strRawStatus.contains(QStringLiteral("scpi >")));
    for (int channel : {0, 1, 2})
        EXPECT_TRUE(IsNumber(m_view.m_strChannelValue[channel])) << channel;
    // The LED toggles with each EFC request.
    const Sent sent = m_sim.received();
    for (const char* led :
         {":LED:ACTIVE ON; :DIAG:ROSC:EFC:ABS?\r", ":LED:ACTIVE OFF; :DIAG:ROSC:EFC:ABS?\r"})
        EXPECT_NE(std::ranges::find(sent, QByteArray(led)), sent.end()) << led;
}

TEST_F(PollCycleTest, ATimeOutIsTracedAndRestartsAtTheWakeUpStep) {
    UseSimulator();
    m_view.m_nRetries = 5;
    m_view.OnStart();
    RunSteps(2);
    m_sim.setMisbehaviour(sim::Misbehaviour::Partial, 1);
    PollTick(m_view);
    for (int i = 0; i < 4; ++i) {
        WaitForBytes(50);
        Tick();
    }
    EXPECT_EQ(m_view.m_nTimeouts, 0);
    Tick();
    EXPECT_EQ(m_view.m_nTimeouts, 1);
    EXPECT_EQ(m_view.m_nPollStep, PollStepWakeUp);
    EXPECT_TRUE(m_view.IsTimerActive(IDT_POLL));
    EXPECT_TRUE(
        UserWindow().contains(QStringLiteral("RTo:[s]:DIAG:LIF:COUN?<CR>[r]:DIAG:LIF:COUN?<CR><LF>")));
    EXPECT_EQ(RunSteps(3), (std::vector<int>{0, 1, 2}));
}

TEST_F(PollCycleTest, AReplyThatCompletesOnTheLastTickIsAReply) {
    UseSimulator();
    m_view.m_nRetries = 1;
    m_view.OnStart();
    m_view.m_nPollStep = PollStepTimeInterval;
    PollTick(m_view);
    ASSERT_TRUE(m_sim.waitForReplies(1, kBusyMachineWaitMs));
    WaitForBytes(200);
    Tick();
    EXPECT_EQ(m_view.m_nTimeouts, 0);
    EXPECT_EQ(m_view.m_nPollStep, PollStepThirdChannel);
}

TEST_F(PollCycleTest, AQueuedCommandWhileStoppedOpensThePortForItAlone) {
    UseSimulator();
    m_view.m_bInitZ3816A = true; // would send set-up strings at a real Start
    m_view.m_listCommands << QStringLiteral(":SYNC:HOLD:DUR?\r");
    m_view.OnTimer(IDT_USER_COMMAND);
    ASSERT_TRUE(m_view.IsRunning());
    EXPECT_TRUE(m_view.IsTimerActive(IDT_USER_COMMAND));
    EXPECT_TRUE(m_sim.received().empty()); // no start-up exchange
    EXPECT_EQ(RunSteps(1), std::vector<int>{PollStepUser});
    EXPECT_FALSE(m_view.IsRunning() || m_view.m_bStopAfterCommand);
    EXPECT_EQ(UserWindow(), QStringLiteral(":SYNC:HOLD:DUR?\n+0,+0\nscpi > ")); // the reply whole
    EXPECT_EQ(m_sim.received(), Sent({":SYNC:HOLD:DUR?\r"}));

    // One that gets no answer closes the port after its time-out.
    m_sim.setMisbehaviour(sim::Misbehaviour::Silence);
    m_view.m_nRetries = 3;
    m_view.m_listCommands << QStringLiteral("*IDN?\r");
    m_view.OnTimer(IDT_USER_COMMAND);
    CompleteStep(kNoAnswerStartWaitMs);
    EXPECT_EQ(m_view.m_nTimeouts, 1);
    EXPECT_FALSE(m_view.IsRunning());
}

TEST_F(PollCycleTest, UserCommandsInterposeAndPseudoCommandsAreNotSent) {
    UseSimulator();
    m_view.OnStart();
    RunSteps(3); // 0, 1, 2
    m_view.m_listCommands << QStringLiteral("  *IDN?\r");
    m_view.OnTimer(IDT_USER_COMMAND);
    EXPECT_EQ(RunSteps(3), (std::vector<int>{PollStepUser, 7, 8}));

    m_sim.clearReceived();
    for (const char* command : {" @@db\r", "@@ db\r", "@@vb<CR>"}) {
        m_view.m_strUserCommand = QString::fromLatin1(command);
        Tick();
    }
    EXPECT_TRUE(m_view.m_bComsDebug);
    EXPECT_FALSE(m_view.m_bVerboseDebug);
    EXPECT_TRUE(m_sim.received().empty());
    EXPECT_TRUE(UserWindow().contains(QStringLiteral("Unrecognised pseudo-command: DB")));
    EXPECT_TRUE(UserWindow().contains(QStringLiteral("Unrecognised pseudo-command:VB<CR>")));
}

TEST_F(PollCycleTest, AuxiliaryRequestsGoToTheSecondPortAndFeedTheirChannel) {
    UseSimulator();
    PtyPeer instrument;
    instrument.startResponder([](const QByteArray& command) -> QByteArray {
        return command == "READ?\r" ? QByteArray("12.5,V\r\nOK> ") : QByteArray();
    });
    m_view.m_bPort2Enabled = true;
    m_view.m_strComPort2 = instrument.slavePath();
    m_view.m_strOKPrompt = QStringLiteral("OK><SPC>");
    m_view.m_strAuxRequest[1] = m_view.m_strAuxRequest[5] = QStringLiteral("~READ?<CR>");
    m_view.m_nAuxTrace[1] = 5;
    m_view.OnStart();
    EXPECT_EQ(RunSteps(11), (std::vector<int>{0, 1, 2, 3, 7, 8, 9, 10, 19, 19, 2}));
    EXPECT_EQ(m_view.m_nTimeouts, 0);
    EXPECT_EQ(instrument.received(), QByteArray("READ?\rREAD?\r"));
    EXPECT_EQ(m_view.GetAuxAnswer(5), QStringLiteral("12.5"));
    EXPECT_EQ(m_view.GetAuxAnswer(5), QString()); // each answer is logged once

    // The prefix without an auxiliary port stops polling.
    m_view.OnStop();
    m_view.m_bPort2Enabled = false;
    m_view.m_strRequestPrefix.clear(); // an empty prefix matches every request
    m_view.m_bComsDebug = true;
    m_view.OnStart();
    Tick();
    EXPECT_FALSE(m_view.IsRunning());
    EXPECT_TRUE(UserWindow().contains(QStringLiteral("Aux prefix recognised but AUX not enabled !")));
}

TEST_F(PollCycleTest, FaultyRepliesTimeOutOrDecodeAndTheCycleGoesOn) {
    UseSimulator();
    // The running program's wait, which a reply trickled out on a busy machine still meets; the faulty
    // replies' steps tick at the timer's pace from the start.
    m_view.m_nRetries = ViewSettings{}.m_nRetries;
    m_view.OnStart();
    RunSteps(8); // once round to step 10
    for (auto fault : {sim::Misbehaviour::Garbage, sim::Misbehaviour::Endless, sim::Misbehaviour::Overlong,
                       sim::Misbehaviour::NulBytes, sim::Misbehaviour::Slow}) {
        const int timeouts = m_view.m_nTimeouts;
        m_view.m_nPollStep = PollStepFirstChannel;
        m_sim.setMisbehaviour(fault, 1);
        CompleteStep(kNoAnswerStartWaitMs);
        EXPECT_LE(m_view.m_strReply.size(), kMaxReplyChars);
        m_sim.setMisbehaviour(sim::Misbehaviour::None);
        const bool timedOut = m_view.m_nTimeouts > timeouts;
        EXPECT_EQ(timedOut, fault == sim::Misbehaviour::Garbage || fault == sim::Misbehaviour::Endless)
            << static_cast<int>(fault);
        if (!timedOut && fault != sim::Misbehaviour::Overlong) { // a whole reply: its value is read
            EXPECT_TRUE(IsNumber(m_view.m_strChannelValue[0])) << static_cast<int>(fault);
        }
        RunSteps(2, kNoAnswerStartWaitMs);
        EXPECT_TRUE(m_view.IsRunning());
    }
}

TEST_F(PollCycleTest, APortThatVanishesMidReplyStopsWithoutWaitingOutTheReply) {
    UseSimulator();
    // A wait of a hundred ticks: the line goes 0.2 s after the reply's last byte, well before that
    // even on a busy machine, and a program that waited the reply out would show its time-out here.
    m_view.m_nRetries = 100;
    m_view.OnStart();
    m_sim.setMisbehaviour(sim::Misbehaviour::Vanish);
    QElapsedTimer elapsed;
    elapsed.start();
    while (m_view.IsRunning() && elapsed.elapsed() < kBusyMachineWaitMs) {
        WaitForBytes(50);
        PollTick(m_view);
    }
    EXPECT_EQ(m_view.m_nTimeouts, 0); // the line is seen gone before the wait runs out
    EXPECT_FALSE(m_view.IsRunning());
}

TEST_F(PollCycleTest, AProteusReceiverThatVanishesStopsPolling) {
    StartOnProteus();
    CompleteStep();
    m_proteus.stop(); // the cable is pulled
    for (int i = 0; i < 20 && m_view.IsRunning(); ++i)
        CompleteStep();
    EXPECT_FALSE(m_view.IsRunning()); // not a time-out every second tick for ever
    EXPECT_LE(m_view.m_nTimeouts, 1);
}

TEST_F(PollCycleTest, TimeViewRepeatsTheTimeRequestAndWritesALogLineAtEachInterval) {
    UseSimulator();
    QTemporaryDir folder;
    m_view.m_strLogPath = folder.filePath(QStringLiteral("gpslog.log"));
    m_view.m_nViewMode = ViewModeTime;
    m_view.m_nLogInterval = 30000;
    m_view.OnStart();
    EXPECT_EQ(m_view.TimerPeriod(IDT_POLL), 20);
    EXPECT_EQ(RunSteps(4), (std::vector<int>{0, 16, 16, 16}));
    EXPECT_EQ(m_view.m_wndText.m_strText.size(), 8); // hh:mm:ss without the quotes
    EXPECT_FALSE(QFile::exists(m_view.m_strLogPath));
    for (int interval = 1; interval <= 2; ++interval) {
        m_clock->advance(30001);
        EXPECT_EQ(RunSteps(7), (std::vector<int>{16, 8, 9, 10, 2, 3, 7}));
        EXPECT_EQ(RunSteps(3), (std::vector<int>{16, 16, 16}));
        EXPECT_EQ(m_view.m_wndText.m_strText.size(), 8);
        QFile log(m_view.m_strLogPath);
        ASSERT_TRUE(log.open(QIODevice::ReadOnly));
        const QList<QByteArray> lines = log.readAll().split('\n');
        ASSERT_EQ(lines.size(), interval + 1);
        EXPECT_TRUE(IsNumber(QString::fromLatin1(lines[interval - 1].split('\t').at(3)))); // the EFC
    }
}

TEST_F(PollCycleTest, TheRealEventLoopPollsUntilStopped) {
    UseSimulator();
    platform::SetTickSource(nullptr);
    m_view.m_nTimerValue = 10;
    m_view.OnStart();
    QElapsedTimer elapsed;
    elapsed.start();
    while (m_view.m_strChannelValue[2].isEmpty() && elapsed.elapsed() < kBusyMachineWaitMs)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    EXPECT_TRUE(IsNumber(m_view.m_strChannelValue[2]));
    m_view.OnStop();
    QCoreApplication::processEvents();
    EXPECT_FALSE(m_view.IsTimerActive(IDT_POLL));
}

TEST_F(PollCycleTest, ProteusPollCycleDecodesFramesAndSendsCommandPackets) {
    StartOnProteus();
    m_view.m_strUserCommand = QStringLiteral("RESET ALL\r");
    for (int i = 0; i < 40 && m_view.IsRunning() && m_view.m_strChannelValue[0].isEmpty(); ++i)
        CompleteStep();
    EXPECT_EQ(m_view.m_nTimeouts, 0);
    EXPECT_NEAR(m_view.m_strChannelValue[0].toDouble() / 6553.5 - 5.0, 2.5, 0.1);
    EXPECT_EQ(m_view.m_strIdentity, QStringLiteral("___ NavSymm Proteus ___  42"));
    // The command went out as its packet; its answer, a status page, went to the user window.
    const Sent heard = m_proteus.received();
    EXPECT_NE(std::ranges::find(heard, ProteusWireBytes(g_ProteusCommands[3].packet)), heard.end());
    EXPECT_TRUE(UserWindow().contains(QStringLiteral("LAT      N 47:22:36.1")));
}

TEST_F(PollCycleTest, ProteusTimeStepAndSetTimeGetTheirReplies) {
    StartOnProteus();
    const QString efcPoll = ProteusPoll(kProteusEfcPollId), statusPoll = ProteusPoll(kProteusStatusPollId);
    QString reply;
    ASSERT_TRUE(PollProteus(efcPoll, 8, reply));
    EXPECT_TRUE(reply.isEmpty()); // an EFC step leaves the reply as it is
    const QRegularExpression timeOfDay(QStringLiteral("^\\d\\d:\\d\\d:\\d\\d$"));
    ASSERT_TRUE(PollProteus(efcPoll, PollStepTime, reply));
    EXPECT_TRUE(timeOfDay.match(reply).hasMatch()) << qPrintable(reply);
    reply.clear();
    ASSERT_TRUE(PollProteus(statusPoll, PollStepTime, reply)); // not decoded at the time step
    EXPECT_TRUE(timeOfDay.match(reply).hasMatch()) << qPrintable(reply);
    EXPECT_TRUE(m_view.m_strIdentity.isEmpty());

    m_view.m_bSetTimePending = true;
    ASSERT_TRUE(PollProteus(m_view.m_strPollCommand[PollStepTimeCode], PollStepUser, reply));
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^T1#H\\d{10}\r\n$")).match(reply).hasMatch())
        << qPrintable(reply);
}

TEST_F(PollCycleTest, ProteusRefusedFramesAreReportedAndChangeNothing) {
    StartOnProteus();
    const QString efcPoll = ProteusPoll(kProteusEfcPollId), statusPoll = ProteusPoll(kProteusStatusPollId);
    m_view.m_bDebugEnable = true;
    QString reply = QStringLiteral("before");
    m_proteus.setMisbehaviour(sim::Misbehaviour::Partial, 1);
    EXPECT_FALSE(PollProteus(efcPoll, 8, reply)); // cut before its check word
    m_proteus.setMisbehaviour(sim::Misbehaviour::Silence, 1);
    EXPECT_FALSE(PollProteus(statusPoll, PollStepStatus, reply, kNoAnswerStartWaitMs));
    m_proteus.setMisbehaviour(sim::Misbehaviour::Overlong, 1);
    EXPECT_FALSE(PollProteus(statusPoll, PollStepStatus, reply));
    EXPECT_EQ(reply, QStringLiteral("before"));
    EXPECT_TRUE(m_view.m_strIdentity.isEmpty());
    EXPECT_EQ(m_view.m_nProteusEfc, (std::array<int, 4>{}));
    EXPECT_EQ(m_view.m_proteusEfc.week, 0u);
    QFile file(m_view.m_strDebugPath);
    const QString debug = file.open(QIODevice::ReadOnly) ? QString::fromLatin1(file.readAll()) : QString();
    EXPECT_TRUE(debug.contains(QStringLiteral("Wrong length for STATUS or EFC 70"))) << qPrintable(debug);
    EXPECT_TRUE(debug.contains(QStringLiteral("Overrun buffer")));
}
