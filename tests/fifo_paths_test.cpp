// Files the program reads named as a FIFO that nobody writes (a slip of the operator's, or a
// device): opened the ordinary way, each blocks the interface thread for good. The map's backdrop
// and trails, the graph's data log, the replay, the page's include file and a file to upload are
// refused at once as files that cannot be opened, and painting, the page, the upload and polling
// go on. A watchdog fails a test that blocks.
#include "app/ChildView.h"
#include "app/DiagnosticText.h"
#include "app/Globals.h"
#include "platform/FileAccess.h"
#include "platform/SerialPort.h"
#include "platform/TickCount.h"
#include "publishing/DataLogFile.h"
#include "receiver/PollSequence.h"
#include "simulator/ReceiverSimulator.h"
#include "support/FileBytes.h"
#include "support/FtpServerProcess.h"
#include "support/HangWatchdog.h"
#include "support/NullDevice.h"
#include "support/OpenCounter.h"
#include "support/PollTicks.h"
#include "support/SimulatedPolling.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>
#include <cerrno>
#include <cstring>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

class FifoPaths : public ::testing::Test {
protected:
    QString Fifo(const QString& name) {
        const QString path = m_dir.filePath(name);
        EXPECT_EQ(mkfifo(QFile::encodeName(path).constData(), 0600), 0) << path.toStdString();
        return path;
    }
    QTemporaryDir m_dir;
    CChildView m_view;
};

} // namespace

TEST_F(FifoPaths, PollingPaintingThePageAndTheReplayGoOn) {
    const HangWatchdog watchdog("a FIFO named as the backdrop, track file, data log or page include");
    const auto ticks = std::make_shared<platform::ManualTickSource>(10000000);
    platform::SetTickSource(ticks);
    sim::ReceiverSimulator receiver{sim::Family::HewlettPackard};
    ASSERT_TRUE(receiver.start());
    g_bUseBitmap = true;
    PollSimulatedHewlettPackard(m_view, receiver);
    // Only the readers meet the FIFOs: the log and track-file writers stay off.
    m_view.m_nLogInterval = 0;
    m_view.m_nTrackInterval = 0;
    m_view.m_strLogPath = Fifo(QStringLiteral("gpslog.log"));
    m_view.m_strDumpPath = Fifo(QStringLiteral("gpsdmp.bin"));
    m_view.m_strMapPath = Fifo(QStringLiteral("Earth.png"));
    m_view.m_bMapBackdrop = true;
    m_view.m_strHtmlPath = m_dir.filePath(QStringLiteral("gpsstat.htm"));
    Fifo(QStringLiteral("gpsstat.inc"));
    m_view.m_bHtmlStatus = true;
    m_view.m_nStatusInterval = 1000;
    m_view.m_bPlot.fill(true);
    m_view.m_wndMap.resize(300, 300);
    m_view.m_wndGraph.resize(400, 300);
    OpenCounter backdropOpens(m_view.m_strMapPath);

    m_view.OnStart();
    ASSERT_TRUE(m_view.IsRunning());
    int statusSteps = 0;
    for (int tick = 0; statusSteps < 3 && tick < 5000 && m_view.IsRunning(); ++tick) {
        const bool atStatus = m_view.m_nPollStep == PollStepStatus && m_view.m_nWaitCount > 0;
        if (atStatus)
            ticks->advance(m_view.m_nStatusInterval + 1); // the page is due at every status step
        PollTick(m_view);
        if (atStatus && m_view.m_nWaitCount == 0) {
            ++statusSteps;
            // Each status step draws both windows afresh, as a new answer does.
            m_view.m_wndMap.m_bCacheValid = false;
            m_view.m_wndGraph.m_bCacheValid = false;
            EXPECT_FALSE(m_view.m_wndMap.grab().isNull());
            EXPECT_FALSE(m_view.m_wndGraph.grab().isNull());
        }
        if (m_view.m_hActivePort)
            m_view.m_hActivePort->waitForReadyRead(20);
    }
    EXPECT_EQ(statusSteps, 3);
    EXPECT_EQ(m_view.m_nTimeouts, 0);
    EXPECT_TRUE(m_view.m_wndMap.m_bCacheValid && m_view.m_wndGraph.m_bCacheValid);
    // The backdrop was refused without being opened.
    EXPECT_EQ(backdropOpens.Opens(), 0);
    // The page went out without an include block.
    const QByteArray page = ReadFileBytes(m_view.m_strHtmlPath);
    EXPECT_TRUE(page.contains("</html>"));
    EXPECT_FALSE(page.contains("rowspan"));

    m_view.OnStop();
    m_view.OnCmdMsg(ID_ANIMATE_SATELLITES);
    EXPECT_EQ(m_view.m_wndMap.ReplayedGroups(), 0);
    platform::SetTickSource(nullptr);
}

// The files before it go; the FIFO ends the run with its line, as a missing file does.
TEST_F(FifoPaths, AFifoToUploadEndsTheRunWithItsLine) {
    const HangWatchdog watchdog("a FIFO named as a file to upload");
    QTemporaryDir remote;
    ASSERT_TRUE(QDir(m_dir.path()).mkpath(QStringLiteral("Web")));
    FtpServerProcess server(remote.path(), QStringLiteral("tester"), QStringLiteral("secret"));
    ASSERT_GT(server.port(), 0);
    m_view.m_strFtpServer = QStringLiteral("127.0.0.1:%1").arg(server.port());
    m_view.m_strFtpAccount = QStringLiteral("tester");
    m_view.m_strFtpPassword = QStringLiteral("secret");
    m_view.m_strFtpDirectory.clear();
    m_view.m_nFtpInterval = 60000;
    m_view.m_nFtpTimeout = 5;
    m_view.m_bFtpDebug = true;
    m_view.m_bUserToFile = true;
    m_view.m_strUserPath = m_dir.filePath(QStringLiteral("user.txt"));
    m_view.m_strImageFileType.clear(); // no images: the page, its style sheet, the further files
    m_view.m_strHtmlPath = m_dir.filePath(QStringLiteral("Web/Status.htm"));
    ASSERT_TRUE(WriteFileBytes(m_view.m_strHtmlPath, "<html>\r\n</html>\r\n"));
    ASSERT_TRUE(WriteFileBytes(m_dir.filePath(QStringLiteral("Web/Status.css")), "body {}\n"));
    const QString text = m_dir.filePath(QStringLiteral("a.txt"));
    ASSERT_TRUE(WriteFileBytes(text, "first\n"));
    const QString fifo = Fifo(QStringLiteral("pipe.txt"));
    m_view.m_strFtpAdditionalFiles = text + QLatin1Char(';') + fifo;

    m_view.FtpUpload();
    ASSERT_TRUE(QTest::qWaitFor([this] { return !m_view.IsFtpUploadRunning(); }, 20000));

    EXPECT_EQ(FtpServerProcess::Stored(server.Session()), QStringList({"Status.htm", "Status.css", "a.txt"}));
    const QString user = QString::fromLatin1(ReadFileBytes(m_view.m_strUserPath));
    EXPECT_TRUE(user.contains(QStringLiteral("not a regular file ") + fifo + QStringLiteral(" to pipe.txt")))
        << user.toStdString();
    EXPECT_TRUE(user.contains(QStringLiteral("FTP quit OK: "))) << user.toStdString();
}

// A FIFO and a device (the null device's numbers) named as the data log, the user-window file and a
// file to read are refused without even being opened: an open alone lets a FIFO's waiting writer
// or reader through, or raises a serial line's modem lines.
TEST_F(FifoPaths, AFifoOrADeviceIsRefusedWithoutBeingOpened) {
    if (const std::string why = DeviceNodesRefused(); !why.empty())
        GTEST_SKIP() << why;
    const QString device = m_dir.filePath(QStringLiteral("null"));
    ASSERT_TRUE(MakeNullDevice(device)) << std::strerror(errno);
    for (const QString& path : {Fifo(QStringLiteral("pipe")), device}) {
        OpenCounter opens(path);
        QString log;
        QString user;
        QString read;
        EXPECT_EQ(AppendLogLine(path, "1709600000\t1\r\n", 1, &log), LogWriteResult::OpenFailed);
        EXPECT_FALSE(AppendNarrowed(path, QStringLiteral("line\r\n"), {}, &user));
        EXPECT_FALSE(platform::ReadRegularFile(path, 1024, &read));
        for (const QString& reason : {log, user, read})
            EXPECT_EQ(reason, platform::NotRegularFileReason()) << path.toStdString();
        EXPECT_EQ(opens.Opens(), 0) << path.toStdString();
        QFile(path).open(QIODevice::ReadWrite); // the counter sees an open
        EXPECT_EQ(opens.Opens(), 1) << path.toStdString();
    }
}
