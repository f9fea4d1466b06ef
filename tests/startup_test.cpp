#include "app/ChildView.h"
#include "app/Globals.h"
#include "app/MainFrame.h"
#include "support/NullDevice.h"
#include "support/SettingsFiles.h"
#include "support/WaitBounds.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <cerrno>
#include <cstring>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

constexpr std::array<int, 4> kViewTimers = {IDT_STARTUP, IDT_POLL, IDT_GRAPH_REFRESH, IDT_USER_COMMAND};

class StartUpTest : public ::testing::Test {
protected:
    void SetUp() override {
        g_nReceiverType = -1;
        ASSERT_TRUE(m_folder.isValid());
    }
    void TearDown() override { g_nReceiverType = -1; }

    QString LogPath() const { return m_folder.filePath(QStringLiteral("gpslog.log")); }

    // A stored tree with the data log in the test's folder.
    void StoreSettings(const QByteArray& text) {
        WriteSettingsFile(text + "\n[Log]\nPath=" + LogPath().toUtf8() + "\n");
        QFile log(LogPath());
        ASSERT_TRUE(log.open(QIODevice::WriteOnly));
        log.write("old log line\r\n");
    }

    QTemporaryDir m_folder;
};

// Runs the event loop until the view has been through its start-up tick (bounded).
bool WaitForStartUp(const CChildView& view) {
    QElapsedTimer elapsed;
    elapsed.start();
    while (!view.m_bInitialised && elapsed.elapsed() < kBusyMachineWaitMs)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    return view.m_bInitialised;
}

} // namespace

TEST_F(StartUpTest, ProgramStartsFromTheStoreAndSavesAtClose) {
    StoreSettings("[Version]\nRegVersion=2\nLogVersion=2\n[Receiver]\nType=2\n[Mode]\nStatus=4\n"
                  "[Remote]\nInterval=0\n[Port]\nComPort=/dev/ttyFAKE\n[Graph]\nMaxC3=2.5\n");
    CMainFrame frame;
    frame.show();
    CChildView& view = frame.m_wndView;
    ASSERT_TRUE(WaitForStartUp(view));

    EXPECT_EQ(g_nReceiverType, 2);
    EXPECT_EQ(view.m_nViewMode, ViewModeStatus);
    EXPECT_FALSE(view.IsRunning()); // no auto-run
    EXPECT_FALSE(view.IsTimerActive(IDT_STARTUP));
    EXPECT_TRUE(view.IsTimerActive(IDT_USER_COMMAND));
    EXPECT_EQ(view.TimerPeriod(IDT_USER_COMMAND), 10); // a stored 0 would spin
    EXPECT_TRUE(frame.windowTitle().endsWith(QStringLiteral("] /dev/ttyFAKE")));
    EXPECT_FALSE(view.m_wndText.isHidden());
    EXPECT_EQ(view.m_wndText.geometry(), view.rect());
    EXPECT_TRUE(QFile::exists(LogPath()));

    view.m_bComsDebug = true; // a menu toggle, saved at shut-down
    frame.close();
    for (int id : kViewTimers)
        EXPECT_FALSE(view.IsTimerActive(id)) << id;
    const QString file = ReadSettingsFile();
    for (const char* line : {"\nRegVersion=2\n", "\nLogVersion=2\n", "\nType=2\n", "\nComsDebug=1\n",
                             "\nComPort=/dev/ttyFAKE\n", "\nMaxC3=2.5\n", "\nInterval=0\n"})
        EXPECT_TRUE(file.contains(QLatin1String(line))) << line;
}

TEST_F(StartUpTest, APortNamedOnTheCommandLineIsForThatRunOnly) {
    StoreSettings("[Version]\nRegVersion=2\nLogVersion=2\n[Port]\nComPort=/dev/ttyUSB7\n");
    g_strPortOverride = QStringLiteral("/tmp/orvane-sim-test");
    {
        CMainFrame frame;
        frame.show();
        ASSERT_TRUE(WaitForStartUp(frame.m_wndView));
        EXPECT_EQ(frame.m_wndView.m_strComPort, g_strPortOverride);
        frame.close();
    }
    g_strPortOverride.clear();
    EXPECT_TRUE(ReadSettingsFile().contains(QLatin1String("\nComPort=/dev/ttyUSB7\n")));
}

TEST_F(StartUpTest, ClosingBeforeTheStartUpTickKeepsTheStoredSettings) {
    StoreSettings("[Mode]\nStatus=3\n");
    const QString stored = ReadSettingsFile();
    {
        CMainFrame frame;
        frame.show();
        frame.close();
        EXPECT_FALSE(frame.m_wndView.m_bInitialised);
        for (int id : kViewTimers)
            EXPECT_FALSE(frame.m_wndView.IsTimerActive(id)) << id;
    }
    EXPECT_EQ(ReadSettingsFile(), stored);
}

TEST_F(StartUpTest, VersionKeysAndTheStoredFamilyDecideWhatStartUpResets) {
    struct Case {
        const char* stored;
        bool logDeleted;
        int family;
    };
    const Case cases[] = {
        {"", false, RECEIVER_JACKSON}, // first run: a missing log version deletes nothing
        {"[Version]\nRegVersion=2\nLogVersion=1\n[Receiver]\nType=2\n", true, 2},
        {"[Version]\nRegVersion=1\nLogVersion=2\n[Receiver]\nType=2\n", false, 2},
        {"[Version]\nRegVersion=2\nLogVersion=abc\n[Receiver]\nType=4\n", false, 4},
        {"[Version]\nRegVersion=2\nLogVersion=2\n[Receiver]\nType=7\n", false, RECEIVER_JACKSON},
        {"[Version]\nRegVersion=2\nLogVersion=2\n[Receiver]\nType=-5\n", false, RECEIVER_JACKSON},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.stored);
        g_nReceiverType = -1;
        StoreSettings(c.stored);
        CChildView view;
        view.Initialise();
        EXPECT_EQ(g_nReceiverType, c.family);
        EXPECT_EQ(QFile::exists(LogPath()), !c.logDeleted);
        EXPECT_FALSE(view.m_bOldLogVersion || view.m_bOldRegVersion);
        EXPECT_FALSE(view.m_strPrompts.isEmpty());
    }
}

// An old log version deletes the data log, but a FIFO or a device node named as the log is not a
// log: it stays.
TEST_F(StartUpTest, AnOldLogVersionDeletesNoFifoNorDeviceInTheLogsPlace) {
    if (const std::string why = DeviceNodesRefused(); !why.empty())
        GTEST_SKIP() << why;
    const QByteArray fifo = QFile::encodeName(m_folder.filePath(QStringLiteral("log.fifo")));
    const QString devicePath = m_folder.filePath(QStringLiteral("log.device"));
    const QByteArray device = QFile::encodeName(devicePath);
    ASSERT_EQ(::mkfifo(fifo.constData(), 0600), 0);
    ASSERT_TRUE(MakeNullDevice(devicePath)) << std::strerror(errno);
    for (const QByteArray& node : {fifo, device}) {
        SCOPED_TRACE(node.constData());
        WriteSettingsFile("[Version]\nRegVersion=2\nLogVersion=1\n[Receiver]\nType=2\n[Log]\nPath=" + node +
                          "\n");
        CChildView view;
        view.Initialise();
        struct stat info {};
        ASSERT_EQ(::lstat(node.constData(), &info), 0);
        EXPECT_TRUE(S_ISFIFO(info.st_mode) || S_ISCHR(info.st_mode));
    }
}

TEST_F(StartUpTest, AFrameDestroyedWithoutClosingStillSavesItsSettings) {
    StoreSettings("[Version]\nRegVersion=2\nLogVersion=2\n[Receiver]\nType=1\n");
    {
        CMainFrame frame;
        ASSERT_TRUE(WaitForStartUp(frame.m_wndView));
        frame.m_wndView.m_nViewMode = ViewModeGraph;
    }
    EXPECT_TRUE(ReadSettingsFile().contains(QLatin1String("\nStatus=3\n")));
}
