// A receiver line that drops while polling: the simulated receiver (the orvane-sim program on a
// link) is killed mid-poll and started again on the same link; the program clears what it showed,
// says so, reopens the port on its retry timer and polls again after a full Start.
#include "app/Globals.h"
#include "app/MainFrame.h"
#include "platform/MessageBox.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <functional>
#include <gtest/gtest.h>
#include <memory>

namespace {

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
        ASSERT_TRUE(WaitUntil([this] { return m_view.m_bInitialised; }, 5000));
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
        platform::SetMessageBoxHandler(
            [](const platform::MessageBoxRequest&) { return platform::MessageResult::Ok; });
    }

    // Starts the simulated receiver on the link (replacing a link left by a killed one).
    void StartReceiver() {
        m_receiver = std::make_unique<QProcess>();
        m_receiver->start(QStringLiteral(ORVANE_BINARY_DIR "/simulator/orvane-sim"),
                          {"--family", "hp", "--link", m_link});
        ASSERT_TRUE(m_receiver->waitForStarted(5000));
        ASSERT_TRUE(m_receiver->waitForReadyRead(5000)); // it prints the link once it serves
    }
    // Kills it by its process id, as a pulled cable or a power cut would end the line.
    void KillReceiver() {
        m_receiver->kill();
        ASSERT_TRUE(m_receiver->waitForFinished(5000));
        // Killed, it leaves its link naming a pseudo-terminal number that another test's terminal
        // may take next; the device is gone, so the link goes too.
        QFile::remove(m_link);
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
    StartReceiver();
    m_view.OnStart();
    ASSERT_TRUE(WaitUntil([this] { return Polled(); }, 10000));
    EXPECT_EQ(m_view.m_nLeapCorrection, 18);

    KillReceiver();
    ASSERT_TRUE(WaitUntil([this] { return m_view.m_bReconnecting; }, 10000));
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

    // Back on the same link: the retry timer starts polling again, start-up exchange included.
    m_view.m_nLeapCorrection = 0;
    StartReceiver();
    ASSERT_TRUE(WaitUntil([this] { return m_view.IsRunning() && Polled(); }, 3 * kReconnectIntervalMs));
    EXPECT_EQ(m_view.m_nLeapCorrection, 18);
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
    ASSERT_TRUE(WaitUntil([this] { return Polled(); }, 10000));
    m_frame.OnCmdMsg(ID_STOP);
    EXPECT_FALSE(m_view.m_bReconnecting || m_view.IsTimerActive(IDT_RECONNECT));
    EXPECT_FALSE(m_view.m_wndText.m_strText.isEmpty()); // an operator's Stop keeps the last screen

    m_view.OnStart();
    KillReceiver();
    ASSERT_TRUE(WaitUntil([this] { return m_view.m_bReconnecting; }, 10000));
    QAction stop;
    m_view.OnUpdateCmdUI(ID_STOP, stop);
    EXPECT_TRUE(stop.isEnabled()); // Stop ends the retries
    m_frame.OnCmdMsg(ID_STOP);
    EXPECT_FALSE(m_view.m_bReconnecting || m_view.IsTimerActive(IDT_RECONNECT));
    EXPECT_TRUE(StatusBar().isEmpty());
    m_view.OnUpdateCmdUI(ID_STOP, stop);
    EXPECT_FALSE(stop.isEnabled());
}
