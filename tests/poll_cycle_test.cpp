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
#include "receiver/ReplyText.h"
#include "support/FakeReceiver.h"
#include "support/PtyPeer.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <gtest/gtest.h>
#include <thread>

namespace {

class PollCycleTest : public ::testing::Test {
protected:
    void SetUp() override {
        platform::setTickSource(m_clock);
        platform::setMessageBoxHandler([this](const platform::MessageBoxRequest& request) {
            m_boxes << request.text;
            return platform::MessageResult::Ok;
        });
        platform::setKeepAwakeHandler([this](bool on) { m_keepAwake = on; });
        m_view.m_pDlgBar = &m_bar;
        m_bar.m_pView = &m_view;
    }
    void TearDown() override {
        m_view.OnStop();
        platform::setTickSource(nullptr);
        platform::setKeepAwakeHandler({});
    }

    // The family's defaults with the receiver on the pseudo-terminal and quick test settings.
    void UseFamily(int family, bool answering = true) {
        g_nReceiverType = family;
        m_view.SetReceiverDefaults();
        m_view.m_strComPort = m_port.slavePath();
        m_view.m_bAutoLeaps = false;
        m_view.m_bInitZ3816A = false;
        m_view.m_bBeepOnError = false;
        m_view.m_bFlashLED = false;
        m_view.m_nRetries = 20;
        m_fake = std::make_unique<FakeReceiver>(family);
        if (answering)
            m_port.startResponder(m_fake->responder());
    }

    void Tick() { m_view.OnTimer(IDT_POLL); }

    // Runs ticks until the request in flight is answered, timed out, or polling stopped.
    void CompleteStep() {
        Tick();
        for (int i = 0; i < 200 && m_view.IsRunning() && m_view.m_nWaitCount > 0; ++i) {
            if (m_view.m_hActivePort)
                m_view.m_hActivePort->waitForReadyRead(20);
            Tick();
        }
    }

    // The steps of n requests in the order they are sent.
    std::vector<int> RunSteps(int n) {
        std::vector<int> steps;
        for (int i = 0; i < n && m_view.IsRunning(); ++i) {
            steps.push_back(m_view.m_strUserCommand.isEmpty() ? m_view.m_nPollStep : PollStepUser);
            CompleteStep();
        }
        return steps;
    }

    QString UserWindow() const { return m_bar.UserWindow()->toPlainText(); }

    std::shared_ptr<platform::ManualTickSource> m_clock = std::make_shared<platform::ManualTickSource>(5000);
    QStringList m_boxes;
    bool m_keepAwake = false;
    PtyPeer m_port;
    std::unique_ptr<FakeReceiver> m_fake;
    CvDlgBar m_bar;
    CChildView m_view;
};

QList<QByteArray> Commands(std::initializer_list<const char*> texts) {
    QList<QByteArray> list;
    for (const char* text : texts)
        list << QByteArray(text);
    return list;
}

} // namespace

TEST_F(PollCycleTest, HewlettPackardStartupSendsSetUpAndReadsTheLeapSeconds) {
    UseFamily(RECEIVER_HP);
    m_view.m_bInitZ3816A = true;
    m_view.m_bAutoLeaps = true;
    m_fake->answer(":PTIM:LEAP:ACC?", "+18");
    m_view.m_bKeepAwake = true;
    m_view.OnStart();
    ASSERT_TRUE(m_view.IsRunning());
    EXPECT_TRUE(m_view.m_bPortOpen);
    EXPECT_EQ(m_fake->heard(), Commands({"PTIME:TCOD:CONT 0", ":SYST:COMM:SER1:FDUP 0", ":SYST:ERR?",
                                         ":SYST:ERR?", ":PTIM:LEAP:ACC?", ":SYST:ERR?"}));
    EXPECT_EQ(m_view.m_nLeapCorrection, 18);
    EXPECT_EQ(m_view.m_nPollStep, PollStepWakeUp);
    EXPECT_TRUE(m_view.IsTimerActive(IDT_POLL));
    EXPECT_EQ(m_view.TimerPeriod(IDT_POLL), 60);
    EXPECT_TRUE(m_keepAwake);
    m_view.OnStop();
    EXPECT_FALSE(m_view.IsRunning());
    EXPECT_FALSE(m_view.m_bPortOpen);
    EXPECT_FALSE(m_view.IsTimerActive(IDT_POLL));
    EXPECT_FALSE(m_keepAwake);
}

TEST_F(PollCycleTest, DatumStartupAsksItsSevenQueries) {
    UseFamily(RECEIVER_DATUM);
    m_view.OnStart();
    EXPECT_EQ(m_fake->heard(), Commands({"CVT?0", "TCO?0", "HIS?0", "ERR?0", "SAT?0", "LTR?0", "AUX?0"}));
}

TEST_F(PollCycleTest, JacksonStartupProbesChannelTwoAndReadsTheEngineAndLeapSeconds) {
    UseFamily(RECEIVER_JACKSON);
    m_view.m_bAutoLeaps = true;
    m_fake->answer("GPS:TYPE?", "Rockwell SAASM");
    m_fake->answer("MEAS:CURR?", "0.123");
    m_fake->answer(":PTIM:LEAP?", "18");
    m_view.OnStart();
    EXPECT_EQ(m_fake->heard(), Commands({"GPS:TYPE?", "CSAC:TEMP?", "MEAS:CURR?", ":PTIM:LEAP?"}));
    EXPECT_TRUE(m_view.m_bSaasmGps);
    EXPECT_EQ(m_view.m_strPollCommand[10], QStringLiteral("MEAS:CURR?\r"));
    EXPECT_EQ(m_view.m_strLabel[2], QStringLiteral("I")); // was the temperature's label
    EXPECT_TRUE(m_view.m_bPlot[2]);
    EXPECT_EQ(m_view.m_nLeapCorrection, 18);
}

TEST_F(PollCycleTest, JacksonWithoutAnyProbeAnswerKeepsSlotTenAndStopsPlottingChannelTwo) {
    UseFamily(RECEIVER_JACKSON);
    const QString kept = m_view.m_strPollCommand[10];
    m_view.OnStart();
    EXPECT_EQ(m_view.m_strPollCommand[10], kept);
    EXPECT_FALSE(m_view.m_bPlot[2]);
}

TEST_F(PollCycleTest, UccmLeapSecondsComeFromACompleteTimeOfDayLine) {
    UseFamily(RECEIVER_UCCM, false);
    m_view.m_bAutoLeaps = true;
    m_view.m_nLeapCorrection = 0;
    // The stream starts in the middle of a message whose index 96 would read "FF".
    QByteArray line(96, 'c');
    line += "12";
    std::atomic<bool> streaming{true};
    std::thread device([&] {
        m_port.write(QByteArray(90, 'x') + "FF\r\n");
        while (streaming) {
            m_port.write(line + "\r\n");
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
    });
    m_view.OnStart();
    streaming = false;
    device.join();
    EXPECT_EQ(m_view.m_nLeapCorrection, 0x12);
    const QByteArray sent = m_port.received();
    EXPECT_TRUE(sent.startsWith("TOD EN\r"));
    EXPECT_TRUE(sent.endsWith("TOD DI\rTOD DI\rTOD DI\r"));
}

TEST_F(PollCycleTest, StartupAgainstAStreamingReceiverEndsInBoundedTime) {
    UseFamily(RECEIVER_DATUM, false);
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
    EXPECT_TRUE(m_view.IsRunning());
    EXPECT_LT(startTook, 7 * 1500);
    EXPECT_TRUE(m_port.received().endsWith("CVT?0\rTCO?0\rHIS?0\rERR?0\rSAT?0\rLTR?0\rAUX?0\r"));
}

TEST_F(PollCycleTest, StartFailuresShowTheirMessageAndLeaveTheProgramStopped) {
    UseFamily(RECEIVER_HP);
    m_view.m_strComPort = QStringLiteral("/dev/no-such-receiver");
    m_view.OnStart();
    EXPECT_FALSE(m_view.IsRunning());
    m_view.m_strComPort = m_port.slavePath();
    m_view.m_nBaud = 0;
    m_view.OnStart();
    EXPECT_FALSE(m_view.IsRunning());
    EXPECT_EQ(m_boxes,
              QStringList({"CreateFile failed for com port", "Unable to configure the serial port"}));

    // An absent auxiliary port is reported and dropped; the receiver is polled all the same.
    m_boxes.clear();
    m_view.m_nBaud = 19200;
    m_view.m_bPort2Enabled = true;
    m_view.m_strComPort2 = QStringLiteral("/dev/no-such-instrument");
    m_view.OnStart();
    EXPECT_TRUE(m_view.IsRunning());
    EXPECT_FALSE(m_view.m_bPort2Enabled);
    EXPECT_EQ(m_boxes, QStringList({"CreateFile failed for auxiliary com port"}));
}

TEST_F(PollCycleTest, HewlettPackardPollsItsSlotsInOrderAndDecodesTheChannels) {
    UseFamily(RECEIVER_HP);
    m_fake->answer("*IDN?", "HEWLETT-PACKARD,Z3816A,0,1");
    m_fake->answer(":SYSTEM:STATUS?", "line one\r\nline two");
    m_fake->answer(":DIAG:ROSC:EFC:ABS?", "+1.234E+00");
    m_fake->answer(":PTIME:TINTERVAL?", "+1.23e-08");
    m_fake->answer(":SYNC:HOLD:TUNC:PRED?", "+1.0E-06,+2.0E-06");
    m_view.OnStart();
    EXPECT_EQ(RunSteps(10), (std::vector<int>{0, 1, 2, 3, 7, 8, 9, 10, 2, 3}));
    EXPECT_EQ(m_view.m_strIdentity, QStringLiteral("HEWLETT-PACKARD,Z3816A,0,1"));
    EXPECT_EQ(m_view.m_strRawStatus, QStringLiteral("line one\r\nline two")); // no echo, no prompt
    EXPECT_EQ(m_view.m_strChannelValue[0], QStringLiteral("+1.234E+00"));
    EXPECT_EQ(m_view.m_strChannelValue[1], QStringLiteral("+1.23E-08"));
    EXPECT_EQ(m_view.m_strChannelValue[2], QStringLiteral("+1.0E-06"));
    EXPECT_EQ(m_view.m_nTimeouts, 0);
}

TEST_F(PollCycleTest, LedAlternatesOnTheEfcRequest) {
    UseFamily(RECEIVER_HP);
    m_view.m_bFlashLED = true;
    m_view.OnStart();
    RunSteps(12);
    const QByteArray sent = m_port.received();
    EXPECT_TRUE(sent.contains(":LED:ACTIVE ON; :DIAG:ROSC:EFC:ABS?\r"));
    EXPECT_TRUE(sent.contains(":LED:ACTIVE OFF; :DIAG:ROSC:EFC:ABS?\r"));
}

TEST_F(PollCycleTest, ATimeOutAfterTheRetriesIsTracedAndRestartsAtTheWakeUpStep) {
    UseFamily(RECEIVER_HP, false);
    m_view.m_nRetries = 5;
    m_view.OnStart();
    m_view.m_nPollStep = 8;
    Tick(); // sends
    m_port.write("+1.2\r\nscp");
    for (int i = 0; i < 4; ++i) {
        m_view.m_hComPort->waitForReadyRead(20);
        Tick();
        EXPECT_EQ(m_view.m_nTimeouts, 0);
    }
    Tick();
    EXPECT_EQ(m_view.m_nTimeouts, 1);
    EXPECT_EQ(m_view.m_nPollStep, PollStepWakeUp);
    EXPECT_EQ(m_view.m_nWaitCount, 0);
    EXPECT_TRUE(m_view.IsTimerActive(IDT_POLL));
    EXPECT_TRUE(UserWindow().contains(QStringLiteral("RTo:[s]:DIAG:ROSC:EFC:ABS?<CR>[r]+1.2<CR><LF>scp")));
}

TEST_F(PollCycleTest, AReplyThatCompletesOnTheLastTickIsAReply) {
    UseFamily(RECEIVER_HP, false);
    m_view.m_nRetries = 1;
    m_view.OnStart();
    m_view.m_nPollStep = 9;
    Tick();
    m_port.write(":PTIME:TINTERVAL?\r\n+5.0E-09\r\nscpi > ");
    m_view.m_hComPort->waitForReadyRead(500);
    Tick();
    EXPECT_EQ(m_view.m_nTimeouts, 0);
    EXPECT_EQ(m_view.m_strChannelValue[1], QStringLiteral("+5.0E-09"));
    EXPECT_EQ(m_view.m_nPollStep, 10);
}

TEST_F(PollCycleTest, AQueuedCommandWhileStoppedOpensThePortForItAlone) {
    UseFamily(RECEIVER_HP);
    m_view.m_bInitZ3816A = true; // would send set-up strings at a real Start
    m_fake->answer(":SYNC:HOLD:DUR?", "+0,+0");
    m_view.m_listCommands << QStringLiteral(":SYNC:HOLD:DUR?\r");
    m_view.OnTimer(IDT_USER_COMMAND);
    ASSERT_TRUE(m_view.IsRunning());
    EXPECT_TRUE(m_view.m_bStopAfterCommand);
    EXPECT_TRUE(m_view.IsTimerActive(IDT_USER_COMMAND));
    EXPECT_TRUE(m_fake->heard().isEmpty()); // no start-up exchange
    EXPECT_EQ(RunSteps(1), std::vector<int>{PollStepUser});
    EXPECT_FALSE(m_view.IsRunning());
    EXPECT_FALSE(m_view.m_bStopAfterCommand);
    EXPECT_EQ(UserWindow(), QStringLiteral(":SYNC:HOLD:DUR?\n+0,+0\nscpi > ")); // the reply whole
    EXPECT_EQ(m_fake->heard(), Commands({":SYNC:HOLD:DUR?"}));
}

TEST_F(PollCycleTest, AQueuedCommandThatGetsNoAnswerStillClosesThePort) {
    UseFamily(RECEIVER_HP, false);
    m_view.m_nRetries = 3;
    m_view.m_listCommands << QStringLiteral("*IDN?\r");
    m_view.OnTimer(IDT_USER_COMMAND);
    ASSERT_TRUE(m_view.IsRunning());
    CompleteStep();
    EXPECT_EQ(m_view.m_nTimeouts, 1);
    EXPECT_FALSE(m_view.IsRunning());
}

TEST_F(PollCycleTest, UserCommandInterposesAndTheStatusStepFollows) {
    UseFamily(RECEIVER_HP);
    m_view.OnStart();
    RunSteps(3); // 0, 1, 2
    m_view.m_listCommands << QStringLiteral("  *IDN?\r");
    m_view.OnTimer(IDT_USER_COMMAND);
    EXPECT_EQ(RunSteps(4), (std::vector<int>{PollStepUser, 7, 8, 9}));
    EXPECT_TRUE(m_view.IsRunning());
}

TEST_F(PollCycleTest, PseudoCommandsSwitchDiagnosticsWithoutSendingAnything) {
    UseFamily(RECEIVER_HP);
    m_view.OnStart();
    m_view.m_strUserCommand = QStringLiteral(" @@db\r");
    Tick();
    EXPECT_TRUE(m_view.m_bComsDebug);
    m_view.m_strUserCommand = QStringLiteral("@@ db\r");
    Tick();
    m_view.m_strUserCommand = QStringLiteral("@@vb<CR>");
    Tick();
    EXPECT_FALSE(m_view.m_bVerboseDebug);
    EXPECT_TRUE(m_fake->heard().isEmpty());
    const QString shown = UserWindow();
    EXPECT_TRUE(shown.contains(QStringLiteral("OK")));
    EXPECT_TRUE(shown.contains(QStringLiteral("Unrecognised pseudo-command: DB")));
    EXPECT_TRUE(shown.contains(QStringLiteral("Unrecognised pseudo-command:VB<CR>")));
}

TEST_F(PollCycleTest, AuxiliaryRequestsGoToTheSecondPortAndFeedTheirChannel) {
    UseFamily(RECEIVER_HP);
    PtyPeer instrument;
    instrument.startResponder([](const QByteArray& command) -> QByteArray {
        return command == "READ?\r" ? QByteArray("12.5,V\r\nOK> ") : QByteArray();
    });
    m_view.m_bPort2Enabled = true;
    m_view.m_strComPort2 = instrument.slavePath();
    m_view.m_strOKPrompt = QStringLiteral("OK><SPC>");
    m_view.m_strAuxRequest[1] = QStringLiteral("~READ?<CR>");
    m_view.m_strAuxRequest[5] = QStringLiteral("~READ?<CR>");
    m_view.m_nAuxTrace[1] = 5;
    m_view.OnStart();
    EXPECT_EQ(m_view.m_nAuxFirst, 1);
    EXPECT_EQ(RunSteps(11), (std::vector<int>{0, 1, 2, 3, 7, 8, 9, 10, 19, 19, 2}));
    EXPECT_EQ(m_view.m_nTimeouts, 0);
    EXPECT_EQ(instrument.received(), QByteArray("READ?\rREAD?\r"));
    EXPECT_EQ(m_view.GetAuxAnswer(5), QStringLiteral("12.5"));
    EXPECT_EQ(m_view.GetAuxAnswer(5), QString()); // each answer is logged once
}

TEST_F(PollCycleTest, ThePrefixWithoutAnAuxiliaryPortStopsPolling) {
    UseFamily(RECEIVER_HP);
    m_view.m_strRequestPrefix.clear(); // an empty prefix matches every request
    m_view.m_bComsDebug = true;
    m_view.OnStart();
    Tick();
    EXPECT_FALSE(m_view.IsRunning());
    EXPECT_TRUE(UserWindow().contains(QStringLiteral("Aux prefix recognised but AUX not enabled !")));
}

TEST_F(PollCycleTest, GarbageOverlongAndNulRepliesNeverBreakTheCycle) {
    UseFamily(RECEIVER_HP, false);
    m_view.m_nRetries = 4;
    m_view.OnStart();
    // Garbage that never ends with a prompt, far more than the buffer holds.
    Tick();
    std::atomic<bool> streaming{true};
    std::thread device([&] {
        while (streaming)
            m_port.write(QByteArray(4096, '\x7f') + QByteArray("\x01\xfe", 2));
    });
    for (int i = 0; i < 4; ++i) {
        m_view.m_hComPort->waitForReadyRead(20);
        Tick();
        EXPECT_LE(m_view.m_strReply.size(), kMaxReplyChars);
    }
    streaming = false;
    while (m_view.m_hComPort->waitForReadyRead(100)) // until the device has finished its last write
        m_view.m_hComPort->read(1 << 20);
    device.join();
    m_view.m_hComPort->read(1 << 20);
    EXPECT_EQ(m_view.m_nTimeouts, 1);
    EXPECT_EQ(m_view.m_nPollStep, PollStepWakeUp);

    // NUL bytes are dropped on the way in; the reply is decoded without them.
    m_view.m_nPollStep = 8;
    Tick();
    m_port.write(QByteArray(":DIAG:ROSC:EFC:ABS?\r\n+1.5\0\0E+00\r\nscpi > ", 40));
    m_view.m_hComPort->waitForReadyRead(500);
    Tick();
    EXPECT_EQ(m_view.m_strChannelValue[0], QStringLiteral("+1.5E+00"));
}

TEST_F(PollCycleTest, APortThatVanishesMidReplyTimesOutAndThenStops) {
    UseFamily(RECEIVER_HP, false);
    m_view.m_nRetries = 3;
    m_view.OnStart();
    Tick();
    m_port.write("partial");
    m_view.m_hComPort->waitForReadyRead(200);
    m_port.vanish();
    for (int i = 0; i < 10 && m_view.IsRunning(); ++i)
        Tick();
    EXPECT_EQ(m_view.m_nTimeouts, 1);
    EXPECT_FALSE(m_view.IsRunning()); // the next request could not be written
}

TEST_F(PollCycleTest, TheRealEventLoopPollsUntilStopped) {
    UseFamily(RECEIVER_JACKSON);
    platform::setTickSource(nullptr);
    m_view.m_nTimerValue = 10;
    m_fake->answer("DIAG:ROSC:EFC:ABS?", "0.5");
    m_view.OnStart();
    QElapsedTimer elapsed;
    elapsed.start();
    while (m_view.m_strChannelValue[0].isEmpty() && elapsed.elapsed() < 10000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    EXPECT_EQ(m_view.m_strChannelValue[0], QStringLiteral("0.5"));
    m_view.OnStop();
    QCoreApplication::processEvents();
    EXPECT_FALSE(m_view.IsTimerActive(IDT_POLL));
}

TEST_F(PollCycleTest, TimeViewRepeatsTheTimeRequestUntilALogLineIsDue) {
    UseFamily(RECEIVER_HP);
    m_fake->answer(":PTIME:TIME:STRING?", "\"12:34:56\"");
    m_view.m_nViewMode = 1;
    m_view.m_nLogInterval = 30000;
    m_view.OnStart();
    EXPECT_EQ(m_view.TimerPeriod(IDT_POLL), 20);
    EXPECT_EQ(RunSteps(4), (std::vector<int>{0, 16, 16, 16}));
    EXPECT_EQ(m_view.m_wndText.m_strText, QStringLiteral("12:34:56"));
    m_clock->advance(30001);
    EXPECT_EQ(RunSteps(7), (std::vector<int>{16, 8, 9, 10, 2, 3, 7}));
    m_view.m_dwLastLog = m_clock->ticks(); // as the data log does when it writes its line
    EXPECT_EQ(RunSteps(2), (std::vector<int>{16, 16}));
}

TEST_F(PollCycleTest, ProteusWaitsLongerAfterARequestOnTheReceiverPort) {
    UseFamily(RECEIVER_PROTEUS, false);
    m_view.m_nBaud = 9600;
    m_view.OnStart();
    Tick();
    EXPECT_EQ(m_port.received(), QByteArray("\0\xDA\0\x26", 4));
    EXPECT_EQ(m_view.TimerPeriod(IDT_POLL), 60 + 191); // (4 + 180) * 10000 / 9600
}
