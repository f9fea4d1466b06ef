#include "app/ChildView.h"
#include "app/Globals.h"
#include "controls/DlgBar.h"
#include "platform/SerialPort.h"
#include "platform/SettingsStore.h"
#include "platform/ThreadPriority.h"
#include "platform/TickCount.h"
#include "platform/WallClock.h"
#include "receiver/PollSequence.h"
#include "simulator/ReceiverSimulator.h"
#include "support/FixedWallClock.h"
#include "support/PollTicks.h"
#include "support/SystemTimes.h"
#include "support/WaitBounds.h"
#include "timeservice/NtpTime.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QProcess>
#include <QStandardPaths>
#include <functional>
#include <gtest/gtest.h>

namespace {

class RecordingScheduler : public platform::ThreadScheduler {
public:
    platform::ThreadScheduling current() const override { return {0, 0, 3}; }
    bool raise(platform::ThreadPriority priority) override {
        raised = priority == platform::ThreadPriority::TimeCritical && allowRaise;
        return allowRaise;
    }
    bool restore(const platform::ThreadScheduling& saved) override {
        restoredNice = saved.nice;
        raised = false;
        return true;
    }
    bool allowRaise = true;
    bool raised = false;
    int restoredNice = -1;
};

const QString kTimeRequest = QStringLiteral("TIME:STR?\r");

class SetTimeTest : public ::testing::Test {
protected:
    void SetUp() override {
        platform::SetWallClock(m_clock);
        platform::SetThreadScheduler(m_scheduler);
        platform::SetTickSource(m_ticks);
        g_nReceiverType = RECEIVER_UCCM;
        m_view.m_pDlgBar = &m_bar;
        m_view.m_bComsDebug = true;
        m_view.m_nLeapCorrection = 18;
        m_view.m_nFineCorrection = -150;
        m_view.m_strPollCommand[17] = kTimeRequest;
        m_view.m_bTimeValid = true;
    }
    void TearDown() override {
        platform::SetWallClock(nullptr);
        platform::SetThreadScheduler(nullptr);
        platform::SetTickSource(nullptr);
    }

    // What the poll cycle does with a pending request and its reply: send it as step 18, then
    // hand the reply to the Set time. Returns whether the sequence is over.
    bool Reply(const QString& reply) {
        m_view.m_nPollStep = PollStepUser;
        m_view.m_strRequest = m_view.m_strUserCommand;
        m_view.m_strUserCommand.clear();
        EXPECT_TRUE(m_view.IsSetTimeReply());
        return m_view.SetTimeSequence(reply);
    }
    QString UserWindow() const { return m_bar.UserWindow()->toPlainText(); }

    std::shared_ptr<FixedWallClock> m_clock = std::make_shared<FixedWallClock>(1'700'000'000);
    std::shared_ptr<RecordingScheduler> m_scheduler = std::make_shared<RecordingScheduler>();
    std::shared_ptr<platform::ManualTickSource> m_ticks = std::make_shared<platform::ManualTickSource>(1000);
    CvDlgBar m_bar;
    CChildView m_view;
};

} // namespace

TEST_F(SetTimeTest, SetsTheClockOnceFromTheReplyBeforeTheChange) {
    m_view.OnSetTime();
    EXPECT_TRUE(m_view.m_bSetTimePending);
    EXPECT_FALSE(m_view.m_bSetTimeEnabled);
    EXPECT_TRUE(m_scheduler->raised);
    EXPECT_EQ(m_view.m_dwLastSetTime, 1000u);
    EXPECT_EQ(m_view.m_strUserCommand, kTimeRequest);

    for (int i = 0; i < 3; ++i) {
        m_ticks->advance(300);
        EXPECT_FALSE(Reply(QStringLiteral("2027-03-03 12:34:56")));
        EXPECT_EQ(m_view.m_strUserCommand, kTimeRequest) << "asked again at once";
        m_view.OnSetTime(); // ignored while pending, the stamp kept
        EXPECT_EQ(m_view.m_dwLastSetTime, 1000u);
    }
    EXPECT_TRUE(m_clock->sets.empty());

    EXPECT_TRUE(Reply(QStringLiteral("2027-03-03 12:34:57")));
    ASSERT_EQ(m_clock->sets.size(), 1u);
    const SystemTime expected = Utc(2027, 3, 3, 12, 34, 37, 850); // 12:34:56 - 18 s - 150 ms
    EXPECT_EQ(m_clock->sets[0].tv_sec, SystemTimeToTimespec(expected).tv_sec);
    EXPECT_EQ(m_clock->sets[0].tv_nsec, 850'000'000);
    EXPECT_EQ(m_view.m_ntpLastCorrected.load(), SystemTimeToNtp(expected));
    const auto store = platform::OpenSettingsStore();
    EXPECT_EQ(static_cast<std::uint32_t>(store->value("SNTP/LastCorrectedS").toLongLong()),
              NtpSeconds(SystemTimeToNtp(expected)));
    EXPECT_EQ(static_cast<std::uint32_t>(store->value("SNTP/LastCorrectedF").toLongLong()),
              NtpFraction(SystemTimeToNtp(expected)));
    EXPECT_FALSE(m_view.m_bSetTimePending);
    EXPECT_TRUE(m_view.m_bSetTimeEnabled);
    EXPECT_TRUE(m_view.m_strUserCommand.isEmpty());
    EXPECT_TRUE(m_view.m_strSetTimeReply.isEmpty());
    EXPECT_FALSE(m_scheduler->raised);
    EXPECT_EQ(m_scheduler->restoredNice, 3);
}

// A receiver 1024 weeks behind: the clock is set to the date 1024 weeks on, by the menu command
// and by the periodic setting alike, and the diagnostic lines tell of it once.
TEST_F(SetTimeTest, RolledOverDateIsMovedForwardAndToldOnce) {
    for (int run = 0; run < 2; ++run) {
        m_view.OnSetTime();
        Reply(QStringLiteral("2007-07-18 12:34:56"));
        EXPECT_TRUE(Reply(QStringLiteral("2007-07-18 12:34:57")));
        m_ticks->advance(1000);
    }
    ASSERT_EQ(m_clock->sets.size(), 2u);
    EXPECT_EQ(m_clock->sets[1].tv_sec, SystemTimeToTimespec(Utc(2027, 3, 3, 12, 34, 37, 850)).tv_sec);
    QString shown;
    m_view.SetTimeFromCode(QStringLiteral("2007-07-18 12:34:58"), false, shown);
    EXPECT_EQ(shown, QStringLiteral("03/03/2027 12:34:39"));
    EXPECT_EQ(
        UserWindow().count(QStringLiteral("GPS week rollover: the receiver's date 18/07/2007 is before the "
                                          "release date 06/12/2026; 1024 weeks added")),
        1);
}

TEST_F(SetTimeTest, RefusalsQueueNothingAndLeavePriorityAlone) {
    m_view.m_strUserCommand = QStringLiteral("*IDN?\r");
    m_view.m_bTimeValid = false;
    m_view.OnSetTime();
    EXPECT_TRUE(UserWindow().contains(QStringLiteral("Time not valid or not UTC")));

    m_view.m_bTimeValid = true;
    m_clock->privileged = false;
    m_ticks->advance(50);
    m_view.OnSetTime();
    EXPECT_TRUE(UserWindow().contains(QStringLiteral("Failed to set privilege")));
    EXPECT_EQ(m_view.m_dwLastSetTime, 1050u); // stamped even when refused

    m_clock->privileged = true;
    m_view.m_strPollCommand[17].clear();
    m_view.OnSetTime();
    EXPECT_TRUE(UserWindow().contains(QStringLiteral("No time code request for this receiver")));

    EXPECT_FALSE(m_view.m_bSetTimePending);
    EXPECT_FALSE(m_scheduler->raised);
    EXPECT_EQ(m_view.m_strUserCommand, QStringLiteral("*IDN?\r"));
    EXPECT_TRUE(m_view.m_listCommands.isEmpty());
}

TEST_F(SetTimeTest, PendingOperatorCommandGoesBackToTheHeadOfTheQueue) {
    m_view.m_strUserCommand = QStringLiteral("*IDN?\r");
    m_view.m_listCommands = {QStringLiteral("A\r"), QStringLiteral("B\r")};
    m_view.OnSetTime();
    EXPECT_EQ(m_view.m_strUserCommand, kTimeRequest);
    EXPECT_EQ(m_view.m_listCommands, (QStringList{"*IDN?\r", "A\r", "B\r"}));
}

TEST_F(SetTimeTest, SequenceWithoutChangeOrReplyIsAbandonedAndPriorityRestored) {
    // Replies that never change (an error text, say).
    m_view.OnSetTime();
    EXPECT_FALSE(Reply(QStringLiteral("ERROR")));
    m_ticks->advance(4000);
    EXPECT_FALSE(Reply(QStringLiteral("ERROR")));
    m_ticks->advance(2000);
    EXPECT_TRUE(Reply(QStringLiteral("ERROR")));
    EXPECT_FALSE(m_view.m_bSetTimePending);
    EXPECT_TRUE(m_view.m_strUserCommand.isEmpty());
    EXPECT_FALSE(m_scheduler->raised);
    EXPECT_TRUE(m_clock->sets.empty());
    EXPECT_TRUE(UserWindow().contains(QStringLiteral("Set time abandoned")));

    // No reply at all: the user-command tick gives up on it.
    m_view.OnSetTime();
    EXPECT_TRUE(m_scheduler->raised);
    m_ticks->advance(5001);
    m_view.CheckSetTimeExpiry();
    EXPECT_FALSE(m_view.m_bSetTimePending);
    EXPECT_FALSE(m_scheduler->raised);
    EXPECT_TRUE(m_view.m_strUserCommand.isEmpty()) << "the time request is not sent after all";
    EXPECT_TRUE(m_view.m_bSetTimeEnabled);
}

TEST_F(SetTimeTest, FailuresLeaveTheReferenceTimeAndEndTheSequence) {
    m_view.m_ntpLastCorrected = 77;
    // A month 13 is refused before the clock is touched.
    m_view.OnSetTime();
    Reply(QStringLiteral("2027-13-03 12:34:56"));
    EXPECT_TRUE(Reply(QStringLiteral("2027-13-03 12:34:57")));
    EXPECT_TRUE(m_clock->sets.empty());
    EXPECT_TRUE(UserWindow().contains(QStringLiteral("Failed to set system time from UCCM")));
    QString shown = QStringLiteral("kept");
    m_view.SetTimeFromCode(QStringLiteral("2027-03-32 12:34:56"), false, shown);
    EXPECT_EQ(shown, QStringLiteral("kept"));

    // The system refuses the time.
    m_clock->result = platform::ClockSetResult::Failed;
    m_scheduler->allowRaise = false;
    m_view.OnSetTime();
    EXPECT_TRUE(UserWindow().contains(QStringLiteral("Failed to set thread priority")));
    EXPECT_TRUE(m_view.m_bSetTimePending) << "a priority failure does not stop the sequence";
    Reply(QStringLiteral("2027-03-03 12:34:56"));
    EXPECT_TRUE(Reply(QStringLiteral("2027-03-03 12:34:57")));
    EXPECT_EQ(m_clock->sets.size(), 1u);
    EXPECT_EQ(m_view.m_ntpLastCorrected.load(), 77u);
    EXPECT_FALSE(m_view.m_bSetTimePending);
    EXPECT_TRUE(m_view.m_bSetTimeEnabled);
}

namespace {

// A view polling a simulated receiver of a family over a pseudo-terminal, without the start-up
// extras, corrections set as the receiver's true time needs them.
void Connect(CChildView& view, const sim::ReceiverSimulator& simulator, int family) {
    g_nReceiverType = family;
    view.SetReceiverDefaults();
    view.m_strComPort = simulator.portPath();
    view.m_bInitZ3816A = false;
    view.m_bAutoLeaps = false;
    view.m_bBeepOnError = false;
    view.m_bTimeValid = false;
    view.m_nFineCorrection = 0;
    view.m_nLeapCorrection = 18;
    view.OnStart();
}

// One request and its reply (or a time-out), ticking as the poll timer would, but at once when
// bytes arrive. The first receive tick comes once the answer has begun: a Proteus receive tick
// that finds nothing is a time-out.
void Step(CChildView& view) {
    PollTick(view);
    for (int i = 0; i < 300 && view.IsRunning() && view.m_nWaitCount > 0; ++i) {
        view.OnTimer(IDT_POLL);
        if (view.IsRunning() && view.m_nWaitCount > 0)
            view.m_hActivePort->waitForReadyRead(200);
    }
}

// Polls until `done` holds (bounded); true once it does.
bool PollUntil(CChildView& view, const std::function<bool()>& done) {
    QElapsedTimer waited;
    waited.start();
    while (view.IsRunning() && !done() && waited.elapsed() < kBusyMachineWaitMs)
        Step(view);
    return done();
}

// Polls until the first status screen says the receiver's time is valid.
bool WaitForValidTime(CChildView& view) {
    return PollUntil(view, [&view] { return view.m_bTimeValid; });
}

// Polls until the running Set time has ended; the receiver's second changes within one second.
bool FinishSetTime(CChildView& view) {
    return PollUntil(view, [&view] { return !view.m_bSetTimePending; });
}

double Seconds(const timespec& t) {
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

} // namespace

// Against the simulated receiver: the periodic setting and the menu command each set the
// (replaced) clock once.
TEST_F(SetTimeTest, PeriodicAndMenuSettingAgainstTheSimulator) {
    sim::ReceiverSimulator simulator(sim::Family::HewlettPackard);
    ASSERT_TRUE(simulator.start());
    m_view.m_nTimeInterval = 60000;
    Connect(m_view, simulator, RECEIVER_HP);
    ASSERT_TRUE(WaitForValidTime(m_view));
    EXPECT_FALSE(m_view.m_bSetTimePending) << "not due yet";

    auto runSetTime = [&] {
        EXPECT_TRUE(PollUntil(m_view, [&] { return m_view.m_bSetTimePending; }));
        EXPECT_TRUE(FinishSetTime(m_view));
    };
    m_ticks->advance(60001);
    runSetTime();
    ASSERT_EQ(m_clock->sets.size(), 1u);
    EXPECT_EQ(m_clock->sets[0].tv_nsec, 0);
    EXPECT_EQ(NtpSeconds(m_view.m_ntpLastCorrected), NtpSeconds(TimespecToNtp(m_clock->sets[0])));
    EXPECT_EQ(m_view.m_dwLastSetTime, m_ticks->ticks());
    EXPECT_FALSE(m_scheduler->raised);

    ASSERT_TRUE(m_view.OnCmdMsg(ID_SET_TIME));
    runSetTime();
    EXPECT_EQ(m_clock->sets.size(), 2u);
    m_view.OnStop();
}

// Every family against its simulated receiver, on time and 1024 weeks behind: the clock is set to
// within 50 ms of the receiver's true time at the moment it is set (the simulator keeps the
// machine's time), whichever second the family's time code names. A busy machine can only delay
// the moment of setting (or split a Proteus frame, which then counts as no reply), so a Set time
// that lands late or sets nothing is tried again, twice at most; a code that names the wrong
// second is a whole second off every time.
TEST_F(SetTimeTest, ClockLandsOnTheReceiversTrueTimeForEveryFamily) {
    for (int family = 0; family < kReceiverFamilies; ++family) {
        for (const int weeksBack : {0, 1024}) {
            SCOPED_TRACE(testing::Message() << "family " << family << ", " << weeksBack << " weeks back");
            sim::ReceiverSimulator simulator(static_cast<sim::Family>(family));
            simulator.setRolloverWeeks(weeksBack);
            ASSERT_TRUE(simulator.start());
            CvDlgBar bar;
            CChildView view;
            view.m_pDlgBar = &bar;
            view.m_bComsDebug = true;
            Connect(view, simulator, family);
            // The delay compensation: a Proteus frame is taken 20 ms after its last byte.
            view.m_nFineCorrection = family == RECEIVER_PROTEUS ? 20 : 0;
            ASSERT_TRUE(WaitForValidTime(view));
            double error = 1.0;
            for (int attempt = 0; attempt < 3 && std::abs(error) >= 0.050; ++attempt) {
                m_clock->sets.clear();
                m_clock->setAt.clear();
                view.OnSetTime();
                ASSERT_TRUE(FinishSetTime(view));
                ASSERT_LE(m_clock->sets.size(), 1u);
                if (!m_clock->sets.empty())
                    error = Seconds(m_clock->sets[0]) - Seconds(m_clock->setAt[0]);
            }
            EXPECT_LT(std::abs(error), 0.050) << "set " << error << " s from the receiver's time";
            EXPECT_EQ(bar.UserWindow()->toPlainText().count(QStringLiteral("GPS week rollover")),
                      weeksBack != 0 ? 1 : 0);
            view.OnStop();
        }
    }
}

// The Datum's code names the moment of its answer, the Proteus code the second in progress: for
// them the clock is set from the code after the change.
TEST_F(SetTimeTest, CodesOfTheCurrentTimeSetFromTheReplyAfterTheChange) {
    m_view.m_nFineCorrection = 0;
    g_nReceiverType = RECEIVER_DATUM;
    m_view.m_strPollCommand[17] = QStringLiteral("UTC?\r");
    m_view.OnSetTime();
    Reply(QStringLiteral("UTC: 27/03/03 12:34:56.100"));
    EXPECT_TRUE(Reply(QStringLiteral("UTC: 27/03/03 12:34:56.400")));
    g_nReceiverType = RECEIVER_PROTEUS;
    m_view.OnSetTime();
    Reply(QStringLiteral("T1#H1495572818"));
    Reply(QStringLiteral("T1#H1495572818"));
    EXPECT_TRUE(Reply(QStringLiteral("T1#H1495572819")));
    ASSERT_EQ(m_clock->sets.size(), 2u);
    const timespec datum = SystemTimeToTimespec(Utc(2027, 3, 3, 12, 34, 56, 400));
    EXPECT_EQ(m_clock->sets[0].tv_sec, datum.tv_sec);
    EXPECT_EQ(m_clock->sets[0].tv_nsec, datum.tv_nsec);
    EXPECT_EQ(m_clock->sets[1].tv_sec, SystemTimeToTimespec(Utc(2027, 5, 28, 20, 53, 39)).tv_sec);
}

// The give-up falls due while a time request waits for its reply: the Set time waits for that
// reply and ends on the replies, which never reach the user window as an operator command's.
TEST_F(SetTimeTest, GiveUpWaitsForTheRequestThatIsOut) {
    sim::ReceiverSimulator simulator(sim::Family::Uccm);
    ASSERT_TRUE(simulator.start());
    Connect(m_view, simulator, RECEIVER_UCCM);
    ASSERT_TRUE(WaitForValidTime(m_view));
    m_view.OnSetTime();
    m_view.OnTimer(IDT_POLL);
    ASSERT_EQ(m_view.m_strRequest, kTimeRequest);
    ASSERT_GT(m_view.m_nWaitCount, 0);
    m_ticks->advance(SetTimeSession::kGiveUpMs + 1);
    m_view.OnTimer(IDT_USER_COMMAND);
    EXPECT_TRUE(m_view.m_bSetTimePending) << "given up with its request out";
    EXPECT_TRUE(FinishSetTime(m_view));
    EXPECT_FALSE(UserWindow().contains(QStringLiteral("TIME:STR?"))) << qPrintable(UserWindow());
    EXPECT_FALSE(m_scheduler->raised);
    m_view.OnStop();
}

// The give-up falls between two requests, after the next one was queued: nothing empty is sent,
// and the cycle goes on with its next step.
TEST_F(SetTimeTest, GiveUpBetweenRequestsSendsNothingEmpty) {
    sim::ReceiverSimulator simulator(sim::Family::Uccm);
    ASSERT_TRUE(simulator.start());
    Connect(m_view, simulator, RECEIVER_UCCM);
    ASSERT_TRUE(WaitForValidTime(m_view));
    m_view.OnSetTime();
    Step(m_view); // the first reply is kept and the request queued again
    ASSERT_FALSE(m_view.m_strSetTimeReply.isEmpty());
    ASSERT_EQ(m_view.m_strUserCommand, kTimeRequest);
    m_ticks->advance(SetTimeSession::kGiveUpMs + 1);
    m_view.OnTimer(IDT_USER_COMMAND);
    EXPECT_FALSE(m_view.m_bSetTimePending);
    simulator.clearReceived();
    m_view.OnTimer(IDT_POLL); // the tick the Set time had posted
    EXPECT_NE(m_view.m_nPollStep, PollStepUser);
    ASSERT_FALSE(m_view.m_strRequest.isEmpty());
    ASSERT_TRUE(simulator.waitForRequests(1, kBusyMachineWaitMs));
    EXPECT_EQ(simulator.received()[0], m_view.m_strRequest.toLatin1());
    Step(m_view);
    EXPECT_EQ(m_view.m_nTimeouts, 0);
    m_view.OnStop();
}

// The real clock setter, run in a process without the capability to set the clock: it must report
// its failure and leave the clock alone (what the view does with a failure is tested above).
TEST(SetTimeRealClock, WithoutTheCapabilityNothingIsSet) {
    if (qEnvironmentVariableIsSet("ORVANE_CLOCK_HELPER")) {
        platform::SystemWallClock clock;
        // Refuse to go on where the clock could really be set.
        ASSERT_FALSE(clock.hasSetTimePrivilege());
        const timespec before = clock.now();
        EXPECT_EQ(clock.setTime(before), platform::ClockSetResult::NoPrivilege);
        EXPECT_LT(std::abs(clock.now().tv_sec - before.tv_sec), 5) << "the clock moved";
        return;
    }
    const QString self = QCoreApplication::applicationFilePath();
    QString program = self;
    QStringList arguments{QStringLiteral("--gtest_filter=SetTimeRealClock.*")};
    if (platform::SystemWallClock().hasSetTimePrivilege()) {
        const QString setpriv = QStandardPaths::findExecutable(QStringLiteral("setpriv"));
        if (setpriv.isEmpty())
            GTEST_SKIP() << "setpriv is needed to drop the clock capability";
        program = setpriv;
        arguments = QStringList{"--inh-caps=-sys_time", "--bounding-set=-sys_time", "--", self} + arguments;
    }
    QProcess helper;
    auto environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("ORVANE_CLOCK_HELPER"), QStringLiteral("1"));
    helper.setProcessEnvironment(environment);
    helper.setProcessChannelMode(QProcess::MergedChannels);
    helper.start(program, arguments);
    ASSERT_TRUE(helper.waitForFinished(60000));
    const QString output = QString::fromLocal8Bit(helper.readAll());
    EXPECT_EQ(helper.exitCode(), 0) << qPrintable(output);
    EXPECT_TRUE(output.contains(QStringLiteral("[  PASSED  ] 1 test"))) << qPrintable(output);
}
