#include "app/Globals.h"
#include "app/MainFrame.h"
#include "controls/AboutDialog.h"
#include "controls/TrayIcon.h"
#include "platform/MessageBox.h"
#include "platform/SettingsStore.h"
#include "platform/TerminationSignals.h"
#include "publishing/VersionText.h"
#include "settings/OptionsSheet.h"
#include "simulator/ReceiverSimulator.h"
#include "support/SettingsFiles.h"
#include "support/WaitBounds.h"

#include <QApplication>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QTimer>
#include <arpa/inet.h>
#include <csignal>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

class TrayTest : public ::testing::Test {
protected:
    TrayTest() {
        SetSystemTrayAvailableOverride(true);
        SetTrayReportsOnlyActivationsOverride(false);
        frame.show();
    }
    ~TrayTest() override {
        SetSystemTrayAvailableOverride(std::nullopt);
        SetTrayReportsOnlyActivationsOverride(std::nullopt);
    }

    CMainFrame frame;
    CChildView& view = frame.m_wndView;
};

TEST_F(TrayTest, HideShowsOneIconAndOnlyADoubleClickBringsTheWindowBack) {
    g_strWindowTitle = QString(200, QLatin1Char('t'));
    view.OnHide();
    view.OnHide();
    EXPECT_TRUE(view.m_bTrayIcon);
    EXPECT_TRUE(frame.isHidden());
    QList<QSystemTrayIcon*> shown = view.findChildren<QSystemTrayIcon*>();
    shown.removeIf([](const QSystemTrayIcon* icon) { return !icon->isVisible(); });
    ASSERT_EQ(shown.size(), 1);
    EXPECT_EQ(shown[0]->toolTip().size(), 127); // the title cut to the tip's length

    view.OnTrayNotify(QSystemTrayIcon::Trigger);
    view.OnTrayNotify(QSystemTrayIcon::Context);
    EXPECT_TRUE(frame.isHidden());
    view.OnTrayNotify(QSystemTrayIcon::DoubleClick);
    EXPECT_FALSE(frame.isHidden());
    EXPECT_FALSE(view.m_bTrayIcon);
}

TEST_F(TrayTest, WhereTheTrayOnlyReportsActivationsAClickBringsTheWindowBackWithoutOneHideMinimises) {
    SetTrayReportsOnlyActivationsOverride(true);
    view.OnHide();
    view.OnTrayNotify(QSystemTrayIcon::Trigger);
    EXPECT_FALSE(frame.isHidden());

    SetSystemTrayAvailableOverride(false);
    view.OnHide();
    EXPECT_FALSE(view.m_bTrayIcon);
    EXPECT_FALSE(frame.isHidden());
    EXPECT_TRUE(frame.isMinimized());

    // A tray appears; hidden to it while minimised, the window comes back shown normally.
    SetSystemTrayAvailableOverride(true);
    SetTrayReportsOnlyActivationsOverride(false);
    view.OnHide();
    view.OnTrayNotify(QSystemTrayIcon::DoubleClick);
    EXPECT_TRUE(frame.isVisible());
    EXPECT_EQ(frame.windowState(), Qt::WindowNoState);
}

TEST_F(TrayTest, ShutDownWhileHiddenRemovesTheIconAndSavesSettingsAndPlacementOnce) {
    view.Initialise();
    frame.setGeometry(50, 60, 640, 480);
    view.m_nBaud = 4800;
    view.OnHide();
    // Closed from the event loop, as a termination signal does: the program ends although no
    // window is visible.
    QTimer::singleShot(0, &frame, [this] { frame.close(); });
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, [] { QCoreApplication::exit(7); });
    guard.start(3000);
    EXPECT_EQ(QCoreApplication::exec(), 0);
    EXPECT_FALSE(view.m_bTrayIcon);
    EXPECT_FALSE(view.IsTimerActive(IDT_USER_COMMAND));
    EXPECT_EQ(platform::OpenSettingsStore()->value("Port/Baud").toInt(), 4800);
    EXPECT_EQ(platform::OpenSettingsStore()->value("Initial/WindowPos").toString(),
              "0,1,-1,-1,-1,-1,50,60,690,540");

    // A second shut-down (the frame's destruction) changes nothing.
    platform::OpenSettingsStore()->remove("Initial/WindowPos");
    view.OnDestroy();
    EXPECT_FALSE(platform::OpenSettingsStore()->contains("Initial/WindowPos"));
}

// Whether a UDP port of every interface can be bound (no service holds it); the port the system
// chose when `port` is 0, or 0 when it cannot be bound.
std::uint16_t BindUdpPort(std::uint16_t port) {
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_ANY);
    address.sin_port = htons(port);
    socklen_t length = sizeof address;
    std::uint16_t bound = 0;
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0)
        bound = ntohs(address.sin_port);
    ::close(fd);
    return bound;
}

// A termination signal handled while a command waits on the Options sheet or a message box: the
// program shuts down there, and the command does not take up polling again after it.
class SignalInsideACommandTest : public ::testing::Test {
protected:
    SignalInsideACommandTest() {
        UseFreshSettingsStore();
        platform::SetMessageBoxHandler([this](const platform::MessageBoxRequest& request) {
            boxes << request.text;
            if (onBox)
                onBox();
            return platform::MessageResult::Ok;
        });
        m_receiver.start();
        frame.show();
        view.OnTimer(IDT_STARTUP);
        view.m_strComPort = m_receiver.portPath();
        view.m_bAutoLeaps = false;
        view.m_bSntpEnabled = true;
        view.m_nSntpPort = BindUdpPort(0);
        view.m_nBaud = 4800;
        view.OnStart();
    }
    ~SignalInsideACommandTest() override {
        platform::SetMessageBoxHandler(
            [](const platform::MessageBoxRequest&) { return platform::MessageResult::Ok; });
    }

    // The signal comes; the event loop runs until the main window has closed.
    void TerminationSignal() {
        m_receiver.clearReceived();
        std::raise(SIGTERM);
        QElapsedTimer elapsed;
        elapsed.start();
        while (frame.isVisible() && elapsed.elapsed() < kBusyMachineWaitMs)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        EXPECT_FALSE(frame.isVisible());
    }
    void ExpectShutDown() {
        EXPECT_FALSE(view.IsRunning());
        EXPECT_TRUE(m_receiver.waitForClient(false, kBusyMachineWaitMs)) << "the port is closed";
        EXPECT_TRUE(m_receiver.received().empty()) << "no start-up exchange";
        EXPECT_FALSE(view.IsTimerActive(IDT_POLL));
        EXPECT_FALSE(view.IsTimerActive(IDT_USER_COMMAND));
        EXPECT_EQ(BindUdpPort(static_cast<std::uint16_t>(view.m_nSntpPort)), view.m_nSntpPort)
            << "the SNTP service has ended";
        EXPECT_EQ(platform::OpenSettingsStore()->value("Port/Baud").toInt(), 4800);
    }
    // An auxiliary port that is not there: Start shows its message box.
    void MissingAuxiliaryPort() {
        view.m_bPort2Enabled = true;
        view.m_strComPort2 = QStringLiteral("/dev/no-such-instrument");
        onBox = [this] { TerminationSignal(); };
    }

    sim::ReceiverSimulator m_receiver{sim::Family::JacksonLabs};
    CMainFrame frame;
    CChildView& view = frame.m_wndView;
    const platform::TerminationSignals m_signals{[this] { frame.close(); }};
    QStringList boxes;
    std::function<void()> onBox;
};

TEST_F(SignalInsideACommandTest, OptionsSheet) {
    ASSERT_TRUE(view.IsRunning());
    // The sheet runs inside the program's event loop, which the shut-down ends.
    auto* poll = new QTimer(&frame); // goes with the frame should the sheet never open
    QObject::connect(poll, &QTimer::timeout, poll, [this, poll] {
        if (qobject_cast<COptionsSheet*>(QApplication::activeModalWidget())) {
            poll->deleteLater();
            poll->stop();
            m_receiver.clearReceived();
            std::raise(SIGTERM);
        }
    });
    poll->start(0);
    QTimer::singleShot(0, &frame, [this] { frame.Action(ID_OPTIONS)->trigger(); });
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, [] { QCoreApplication::exit(7); });
    guard.start(10000);
    EXPECT_EQ(QCoreApplication::exec(), 0);
    ExpectShutDown();
}

TEST_F(SignalInsideACommandTest, StartsMessageBox) {
    view.OnStop();
    MissingAuxiliaryPort();
    frame.Action(ID_START)->trigger();
    EXPECT_EQ(boxes.size(), 1);
    ExpectShutDown();
}

TEST_F(SignalInsideACommandTest, ExportWhileRunning) {
    ASSERT_TRUE(view.IsRunning());
    MissingAuxiliaryPort();
    frame.Action(ID_EXPORT)->trigger();
    EXPECT_EQ(boxes.size(), 1);
    ExpectShutDown();
}

TEST(StartUp, TheStoredPlacementIsAppliedAtInitialisation) {
    platform::OpenSettingsStore()->setValue("Initial/WindowPos", "0,1,-1,-1,-1,-1,15,25,615,425");
    CMainFrame frame;
    frame.m_wndView.Initialise();
    EXPECT_EQ(frame.geometry(), QRect(15, 25, 600, 400));
}

TEST(VersionText, NormalisingKeepsTheFirstDotOnly) {
    EXPECT_EQ(NormaliseVersion("1.2.3"), "1.23");
    EXPECT_EQ(NormaliseVersion("5.1"), "5.1");
    EXPECT_EQ(NormaliseVersion(" 2. 0. 1.4 "), "2.014");
    EXPECT_EQ(NormaliseVersion("1,2,3"), "");
}

TEST(VersionText, BuiltOnceFromTheCompiledVersion) {
    const QString text = GetVersionText();
    EXPECT_EQ(text, QStringLiteral("Version %1 %2").arg(NormaliseVersion(ORVANE_VERSION), ORVANE_COMMENTS));
    g_strVersion = QStringLiteral("Version kept");
    EXPECT_EQ(GetVersionText(), "Version kept");

    CAboutDialog about;
    const auto* line = about.findChild<QLabel*>(QString::number(IDC_VERSION_TEXT));
    ASSERT_NE(line, nullptr);
    EXPECT_EQ(line->text(), "Version kept");
}

} // namespace
