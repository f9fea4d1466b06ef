// A receiver line that drops while polling: the simulated receiver (the orvane-sim program on a
// link) is killed mid-poll and started again on the same link; the program clears what it showed,
// says so, reopens the port on its retry timer and polls again after a full Start.
#include "app/Globals.h"
#include "app/MainFrame.h"
#include "platform/MessageBox.h"
#include "platform/QtSerialPort.h"
#include "platform/SettingsStore.h"
#include "settings/OptionsSheet.h"
#include "support/GraphExportFifo.h"
#include "support/LoopbackUdp.h"
#include "support/OptionsSheetUse.h"
#include "support/StartUpAttempts.h"
#include "support/WaitBounds.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <sys/stat.h>
#include <vector>

namespace {

const QString kSntpFailure =
    QStringLiteral("Failed to bind socket for time server. The specified port may be in use.");

// Runs the event loop until `done` holds or `timeoutMs` passes.
bool WaitUntil(const std::function<bool()>& done, int timeoutMs) {
    QElapsedTimer elapsed;
    elapsed.start();
    while (!done()) {
        if (elapsed.elapsed() > timeoutMs)
            return false;
        QEventLoop loop;
        QTimer::singleShot(10, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return true;
}

class PortRecoveryTest : public ::testing::Test {
protected:
    void SetUp() override {
        platform::SetMessageBoxHandler([this](const platform::MessageBoxRequest& request) {
            m_boxes << request.text;
            return platform::MessageResult::Ok;
        });
        ASSERT_TRUE(WaitUntil([this] { return m_view.m_bInitialised; }, kBusyMachineWaitMs));
        g_nReceiverType = RECEIVER_HP;
        m_view.SetReceiverDefaults();
        m_view.m_strComPort = m_link;
        m_view.m_bInitZ3816A = false;
        m_view.m_bAutoLeaps = true; // the start-up exchange reads the leap seconds
        m_view.m_bBeepOnError = false;
        m_view.m_nRetries = 10;
    }
    void TearDown() override {
        m_view.OnStopCommand();
        m_view.m_bAutoRun = false;
        platform::SetSerialPortOpener({});
        platform::SetMessageBoxHandler(
            [](const platform::MessageBoxRequest&) { return platform::MessageResult::Ok; });
    }

    // Starts the simulated receiver on the link (replacing a link left by a killed one).
    void StartReceiver(const QString& family = QStringLiteral("hp")) {
        m_receiver = std::make_unique<QProcess>();
        m_receiver->start(QStringLiteral(ORVANE_BINARY_DIR "/simulator/orvane-sim"),
                          {"--family", family, "--link", m_link});
        ASSERT_TRUE(m_receiver->waitForStarted(kBusyMachineWaitMs));
        ASSERT_TRUE(m_receiver->waitForReadyRead(kBusyMachineWaitMs)); // it prints the link once it serves
    }
    // Kills it by its process id, as a pulled cable or a power cut would end the line.
    void KillReceiver() {
        m_receiver->kill();
        ASSERT_TRUE(m_receiver->waitForFinished(kBusyMachineWaitMs));
        // Killed, it leaves its link naming a pseudo-terminal number that another test's terminal
        // may take next; the device is gone, so the link goes too.
        QFile::remove(m_link);
    }
    // Kills the receiver and brings it back; the retry timer's tick reopens the port.
    void DropAndReopen() {
        KillReceiver();
        ASSERT_TRUE(WaitUntil([this] { return m_view.m_bReconnecting; }, kBusyMachineWaitMs));
        StartReceiver();
        m_view.OnTimer(IDT_RECONNECT);
        ASSERT_TRUE(m_view.IsRunning() && !m_view.m_bReconnecting);
        QCoreApplication::processEvents(); // where a queued box would come up
    }
    // The SNTP service on a port another program holds, polling started by the operator (who is
    // told in a box).
    void StartWithTheSntpPortHeldBy(const LoopbackUdpSocket& holder) {
        ASSERT_NE(holder.OwnPort(), 0);
        m_view.m_bSntpEnabled = true;
        m_view.m_nSntpPort = holder.OwnPort();
        StartReceiver();
        m_frame.OnCmdMsg(ID_START);
        ASSERT_TRUE(WaitUntil([this] { return Polled(); }, kBusyMachineWaitMs));
        ASSERT_EQ(m_boxes, QStringList{kSntpFailure});
    }
    bool Polled() const {
        return !m_view.m_strChannelValue[0].isEmpty() && !m_view.m_wndText.m_strText.isEmpty();
    }
    QString UserWindow() const { return m_frame.m_wndDlgBar.UserWindow()->toPlainText(); }
    QString StatusBar() const { return m_frame.m_wndLinkStatus->text(); }

    QTemporaryDir m_folder;
    const QString m_link = m_folder.filePath(QStringLiteral("receiver"));
    std::unique_ptr<QProcess> m_receiver;
    QStringList m_boxes;
    CMainFrame m_frame;
    CChildView& m_view = m_frame.m_wndView;
};

} // namespace

TEST_F(PortRecoveryTest, PollingResumesWhenTheReceiverComesBackOnItsLink) {
    const auto leapSecondsRead = [this] { return m_view.m_nLeapCorrection == 18; };
    StartReceiver();
    EXPECT_TRUE(StartUntilTaken(
        [this] {
            m_view.m_nLeapCorrection = 0;
            m_view.OnStart();
        },
        leapSecondsRead, [this] { m_view.OnStop(); }));
    ASSERT_TRUE(WaitUntil([this] { return Polled(); }, kBusyMachineWaitMs));

    KillReceiver();
    ASSERT_TRUE(WaitUntil([this] { return m_view.m_bReconnecting; }, kBusyMachineWaitMs));
    EXPECT_FALSE(m_view.IsRunning());
    EXPECT_EQ(m_view.TimerPeriod(IDT_RECONNECT), kReconnectIntervalMs);
    EXPECT_TRUE(m_view.IsTimerActive(IDT_RECONNECT));
    // Nothing shown looks live any more.
    EXPECT_TRUE(m_view.m_wndText.m_strText.isEmpty());
    EXPECT_TRUE(m_view.m_strChannelValue[0].isEmpty());
    EXPECT_FALSE(m_view.m_bTimeValid);
    EXPECT_FALSE(m_view.m_sat[0].InUse());
    const QString failed =
        QStringLiteral("Receiver port %1 failed: polling stopped, reopening it every 5 s").arg(m_link);
    EXPECT_TRUE(UserWindow().contains(failed)) << qPrintable(UserWindow());
    EXPECT_EQ(StatusBar(), QStringLiteral("Receiver port %1 lost, reopening it every 5 s").arg(m_link));

    // A try while the receiver is away fails quietly and names its reason on the status bar.
    m_view.OnTimer(IDT_RECONNECT);
    EXPECT_FALSE(m_view.IsRunning());
    EXPECT_TRUE(m_view.IsTimerActive(IDT_RECONNECT));
    EXPECT_TRUE(m_boxes.isEmpty()) << qPrintable(m_boxes.join('|'));
    EXPECT_TRUE(StatusBar().endsWith(
        QStringLiteral("CreateFile failed for com port %1: No such file or directory").arg(m_link)))
        << qPrintable(StatusBar());

    // Back on the same link: the retry timer starts polling again, start-up exchange included (the
    // line is dropped and brought back again should a busy machine make that exchange miss an answer).
    const bool leapSecondsReadAgain = StartUntilTaken(
        [this] {
            m_view.m_nLeapCorrection = 0;
            StartReceiver();
            WaitUntil([this] { return m_view.IsRunning() && Polled(); }, kBusyMachineWaitMs);
        },
        leapSecondsRead,
        [this] {
            KillReceiver();
            WaitUntil([this] { return m_view.m_bReconnecting; }, kBusyMachineWaitMs);
        });
    ASSERT_TRUE(m_view.IsRunning() && Polled());
    EXPECT_TRUE(leapSecondsReadAgain);
    EXPECT_FALSE(m_view.m_bReconnecting || m_view.IsTimerActive(IDT_RECONNECT));
    EXPECT_TRUE(
        UserWindow().contains(QStringLiteral("Receiver port %1 reopened: polling again").arg(m_link)));
    EXPECT_TRUE(StatusBar().isEmpty());
    EXPECT_TRUE(m_boxes.isEmpty());
    KillReceiver();
}

TEST_F(PortRecoveryTest, TheOperatorsStopEndsTheRetriesAndIsNotAFailure) {
    StartReceiver();
    m_view.OnStart();
    ASSERT_TRUE(WaitUntil([this] { return Polled(); }, kBusyMachineWaitMs));
    m_frame.OnCmdMsg(ID_STOP);
    EXPECT_FALSE(m_view.m_bReconnecting || m_view.IsTimerActive(IDT_RECONNECT));
    EXPECT_FALSE(m_view.m_wndText.m_strText.isEmpty()); // an operator's Stop keeps the last screen

    m_view.OnStart();
    KillReceiver();
    ASSERT_TRUE(WaitUntil([this] { return m_view.m_bReconnecting; }, kBusyMachineWaitMs));
    QAction stop;
    m_view.OnUpdateCmdUI(ID_STOP, stop);
    EXPECT_TRUE(stop.isEnabled()); // Stop ends the retries
    m_frame.OnCmdMsg(ID_STOP);
    EXPECT_FALSE(m_view.m_bReconnecting || m_view.IsTimerActive(IDT_RECONNECT));
    EXPECT_TRUE(StatusBar().isEmpty());
    m_view.OnUpdateCmdUI(ID_STOP, stop);
    EXPECT_FALSE(stop.isEnabled());
}

TEST_F(PortRecoveryTest, AReceiverMissingAtAnAutomaticStartIsRetriedWithoutAMessageBox) {
    const auto store = platform::OpenSettingsStore();
    store->setValue("Initial/WasRunning", 1);
    store->setValue("Port/ComPort", m_link);
    store->setValue("Receiver/Type", RECEIVER_HP);
    store->setValue("Version/RegVersion", 2);
    m_view.Initialise();
    EXPECT_TRUE(m_boxes.isEmpty()) << qPrintable(m_boxes.join('|'));
    EXPECT_TRUE(m_view.m_bReconnecting && m_view.IsTimerActive(IDT_RECONNECT));
    const QString reason =
        QStringLiteral("CreateFile failed for com port %1: No such file or directory").arg(m_link);
    EXPECT_TRUE(UserWindow().contains(
        QStringLiteral("Receiver port %1 not opened at start, reopening it every 5 s: ").arg(m_link) +
        reason))
        << qPrintable(UserWindow());
    EXPECT_EQ(StatusBar(),
              QStringLiteral("Receiver port %1 not open, reopening it every 5 s: ").arg(m_link) + reason);

    StartReceiver();
    EXPECT_TRUE(WaitUntil([this] { return m_view.IsRunning() && Polled(); }, kBusyMachineWaitMs));
    EXPECT_TRUE(StatusBar().isEmpty());
    EXPECT_TRUE(m_boxes.isEmpty());
    KillReceiver();
}

TEST_F(PortRecoveryTest, TheOptionsSheetHoldsTheRetriesAndThePortReopensWithItsSettings) {
    StartReceiver();
    m_view.OnStart();
    ASSERT_TRUE(WaitUntil([this] { return Polled(); }, kBusyMachineWaitMs));
    KillReceiver();
    ASSERT_TRUE(WaitUntil([this] { return m_view.m_bReconnecting; }, kBusyMachineWaitMs));
    std::vector<int> rates; // the receiver port's rate at each open
    platform::SetSerialPortOpener([&](const QString& name, const platform::SerialLine& line) {
        rates.push_back(line.baud);
        return platform::OpenQtSerialPort(name, line);
    });
    // Cancel with the receiver still away: the retries go on after the sheet.
    UseOptionsSheet(m_frame, [&](COptionsSheet& sheet) {
        EXPECT_FALSE(m_view.IsTimerActive(IDT_RECONNECT));
        PressSheetButton(sheet, "IDCANCEL");
    });
    EXPECT_TRUE(m_view.m_bReconnecting && m_view.IsTimerActive(IDT_RECONNECT));

    // Back while a new rate is chosen: nothing opens behind the sheet; OK opens at the new rate.
    StartReceiver();
    rates.clear();
    UseOptionsSheet(m_frame, [&](COptionsSheet& sheet) {
        EXPECT_FALSE(m_view.IsTimerActive(IDT_RECONNECT));
        sheet.Pages()[3]->Control<QComboBox>(1019)->setCurrentText(QStringLiteral("4800"));
        PressSheetButton(sheet, "IDOK");
    });
    EXPECT_EQ(rates, std::vector<int>{4800});
    EXPECT_TRUE(m_view.IsRunning() && !m_view.m_bReconnecting);
    EXPECT_TRUE(m_boxes.isEmpty()) << qPrintable(m_boxes.join('|'));
    KillReceiver();
}

// A failure said while polling that still stands (the exported graph refused by the FIFO at its
// path) takes the status bar back from the retry line when the port reopens, and when Stop ends
// the retries.
TEST_F(PortRecoveryTest, AFailureThatStillStandsReturnsToTheStatusBarWhenTheRetriesEnd) {
    const std::string failure = ExportTheGraphIntoAFifo(m_view, m_folder).toStdString();
    const auto dropped = [&] {
        KillReceiver();
        ASSERT_TRUE(WaitUntil([this] { return m_view.m_bReconnecting; }, kBusyMachineWaitMs));
        EXPECT_TRUE(StatusBar().startsWith(QStringLiteral("Receiver port "))) << qPrintable(StatusBar());
    };
    StartReceiver();
    m_view.OnStart();
    ASSERT_TRUE(WaitUntil([&] { return StatusBar().toStdString() == failure; }, kBusyMachineWaitMs));

    dropped();
    StartReceiver();
    m_view.OnTimer(IDT_RECONNECT);
    ASSERT_TRUE(m_view.IsRunning() && !m_view.m_bReconnecting);
    EXPECT_EQ(StatusBar().toStdString(), failure);

    dropped();
    m_frame.OnCmdMsg(ID_STOP);
    EXPECT_EQ(StatusBar().toStdString(), failure);
}

// The SNTP port held by another program: the operator's Start says so in a box; the reopens after
// dropped lines say it once in the user window and on the status bar, until the service binds.
TEST_F(PortRecoveryTest, ABusySntpPortIsSaidOnceWhenTheRetriesReopenThePort) {
    const LoopbackUdpSocket holder(0, true);
    const QString failure = kSntpFailure;
    const auto saidTimes = [&] { return UserWindow().count(failure); };
    const auto dropAndReopen = [&] { DropAndReopen(); };
    StartWithTheSntpPortHeldBy(holder);

    for (int drop = 0; drop < 3; ++drop)
        dropAndReopen();
    EXPECT_EQ(m_boxes, QStringList{failure});
    EXPECT_EQ(saidTimes(), 1) << qPrintable(UserWindow());
    EXPECT_EQ(StatusBar(), failure);

    // Bound once, on a free port, the service's next failure is said again.
    m_view.m_nSntpPort = 0;
    dropAndReopen();
    EXPECT_TRUE(StatusBar().isEmpty());
    m_view.m_nSntpPort = holder.OwnPort();
    dropAndReopen();
    EXPECT_EQ(saidTimes(), 2);
    EXPECT_EQ(m_boxes.size(), 1);
    KillReceiver();
}

// A port being reopened stands as any failure does: the exported map, said failing after the line
// dropped, works again and the status bar shows the port's line again, not nothing, also while the
// Options sheet holds the retries. A try's new reason takes its place; Stop ends it.
TEST_F(PortRecoveryTest, APortBeingReopenedStaysOnTheStatusBarWhenAnotherFailureEnds) {
    StartReceiver();
    m_view.OnStart();
    ASSERT_TRUE(WaitUntil([this] { return Polled(); }, kBusyMachineWaitMs));
    KillReceiver();
    ASSERT_TRUE(WaitUntil([this] { return m_view.m_bReconnecting; }, kBusyMachineWaitMs));
    const std::string lost =
        QStringLiteral("Receiver port %1 lost, reopening it every 5 s").arg(m_link).toStdString();
    ASSERT_EQ(StatusBar().toStdString(), lost);

    // The operator exports the map meanwhile, into a folder that is gone, then made.
    const QString folder = m_folder.filePath(QStringLiteral("Exports"));
    m_view.m_strMapExportPath = folder + QStringLiteral("/map.png");
    m_frame.OnCmdMsg(ID_EXPORT);
    EXPECT_TRUE(StatusBar().startsWith(QStringLiteral("Unable to write the exported map: ")))
        << qPrintable(StatusBar());
    ASSERT_TRUE(QDir().mkpath(folder));
    m_frame.OnCmdMsg(ID_EXPORT);
    ASSERT_TRUE(QFile::exists(m_view.m_strMapExportPath));
    EXPECT_EQ(StatusBar().toStdString(), lost);
    UseOptionsSheet(m_frame, [&](COptionsSheet& sheet) {
        EXPECT_EQ(StatusBar().toStdString(), lost);
        PressSheetButton(sheet, "IDCANCEL");
    });

    // The sheet closed, the port is tried again, and still missing.
    EXPECT_TRUE(m_view.m_bReconnecting);
    EXPECT_TRUE(StatusBar().startsWith(
        QStringLiteral("Receiver port %1 not open, reopening it every 5 s: ").arg(m_link)))
        << qPrintable(StatusBar());
    m_frame.OnCmdMsg(ID_STOP);
    EXPECT_EQ(StatusBar().toStdString(), "");
}

// A reopen of the port leaves the latest failure that stands on the status bar: the SNTP service's,
// said at an earlier reopen, does not cover the exported graph's, said after it.
TEST_F(PortRecoveryTest, AReopenLeavesTheLatestStandingFailureOnTheStatusBar) {
    const LoopbackUdpSocket holder(0, true);
    StartWithTheSntpPortHeldBy(holder);
    DropAndReopen();
    ASSERT_EQ(StatusBar().toStdString(), kSntpFailure.toStdString());

    const std::string graphFailure = ExportTheGraphIntoAFifo(m_view, m_folder).toStdString();
    ASSERT_TRUE(WaitUntil([&] { return StatusBar().toStdString() == graphFailure; }, kBusyMachineWaitMs));
    DropAndReopen();
    EXPECT_EQ(StatusBar().toStdString(), graphFailure);
    EXPECT_EQ(UserWindow().count(kSntpFailure), 1);
    KillReceiver();
}

// The SNTP service's failure ends with the operator's Stop, and when the service is switched off in
// Options: it is no longer on the status bar, and a failure after Stop is said again.
TEST_F(PortRecoveryTest, TheTimeServersFailureEndsWithStopAndWhenItIsSwitchedOff) {
    const LoopbackUdpSocket holder(0, true);
    StartWithTheSntpPortHeldBy(holder);
    DropAndReopen();
    ASSERT_EQ(StatusBar().toStdString(), kSntpFailure.toStdString());
    m_frame.OnCmdMsg(ID_STOP);
    EXPECT_EQ(StatusBar().toStdString(), "");

    m_frame.OnCmdMsg(ID_START);
    DropAndReopen();
    EXPECT_EQ(UserWindow().count(kSntpFailure), 2) << qPrintable(UserWindow());
    EXPECT_EQ(StatusBar().toStdString(), kSntpFailure.toStdString());
    UseOptionsSheet(m_frame, [&](COptionsSheet& sheet) {
        constexpr std::size_t kTimeServicesPage = 4;
        constexpr int kEnableSntp = 1155; // the page's "Enable SNTP server"
        sheet.Pages()[kTimeServicesPage]->Control<QCheckBox>(kEnableSntp)->setChecked(false);
        PressSheetButton(sheet, "IDOK");
    });
    EXPECT_FALSE(m_view.m_bSntpEnabled);
    EXPECT_EQ(StatusBar().toStdString(), "");
    KillReceiver();
}

namespace {

struct LineLossCase {
    const char* family; // orvane-sim's name for it
    int receiverType;
};

class LineLossTest : public PortRecoveryTest, public ::testing::WithParamInterface<LineLossCase> {
protected:
    void SetUp() override {
        PortRecoveryTest::SetUp();
        g_nReceiverType = GetParam().receiverType;
        m_view.SetReceiverDefaults();
        m_view.m_strComPort = m_link;
        m_view.m_bBeepOnError = false;
        m_view.m_nRetries = ViewSettings{}.m_nRetries; // a reply's wait as long as it comes
    }
};

} // namespace

// A line that drops while a reply is awaited is said lost, and the retries armed, on the first
// poll tick after the port has seen the hang-up, not when the reply's wait runs out.
TEST_P(LineLossTest, TheLossIsActedOnAtTheFirstPollTickAfterIt) {
    StartReceiver(QString::fromLatin1(GetParam().family));
    m_view.OnStart();
    ASSERT_TRUE(m_view.IsRunning());
    ASSERT_TRUE(WaitUntil([this] { return !m_view.m_strRawStatus.isEmpty(); }, kBusyMachineWaitMs));

    // From here the test ticks the cycle itself: on to a request whose reply is awaited.
    m_view.KillTimer(IDT_POLL);
    for (int tick = 0; tick < 3 && m_view.m_nWaitCount == 0; ++tick)
        m_view.OnTimer(IDT_POLL);
    m_view.KillTimer(IDT_POLL);
    ASSERT_GT(m_view.m_nWaitCount, 1);

    KillReceiver();
    // The event loop lets the port see the hang-up, as it does in the running program.
    ASSERT_TRUE(
        WaitUntil([this] { return m_view.m_hComPort && m_view.m_hComPort->failed(); }, kBusyMachineWaitMs));
    EXPECT_FALSE(m_view.m_bReconnecting);

    m_view.OnTimer(IDT_POLL);
    EXPECT_TRUE(m_view.m_bReconnecting && m_view.IsTimerActive(IDT_RECONNECT));
    EXPECT_EQ(m_view.TimerPeriod(IDT_RECONNECT), kReconnectIntervalMs);
    EXPECT_TRUE(UserWindow().contains(
        QStringLiteral("Receiver port %1 failed: polling stopped, reopening it every 5 s").arg(m_link)))
        << qPrintable(UserWindow());
}

INSTANTIATE_TEST_SUITE_P(EveryFamily, LineLossTest,
                         ::testing::Values(LineLossCase{"hp", RECEIVER_HP},
                                           LineLossCase{"datum", RECEIVER_DATUM},
                                           LineLossCase{"proteus", RECEIVER_PROTEUS},
                                           LineLossCase{"jackson", RECEIVER_JACKSON},
                                           LineLossCase{"uccm", RECEIVER_UCCM}),
                         [](const auto& info) { return std::string(info.param.family); });
