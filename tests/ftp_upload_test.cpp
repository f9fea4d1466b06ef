// The FTP upload against a real server: pyftpdlib on 127.0.0.1 on a free port, started and ended
// by each test. Files must arrive byte for byte, in order, in passive and active mode; failures
// must end the run with the right line, send nothing more and close the connection; a server that
// is slow or never answers must hold up neither polling nor the data log nor the window, and
// Stop, the Options sheet and exit must end its run within a second.
#include "app/ChildView.h"
#include "app/Globals.h"
#include "platform/SerialPort.h"
#include "platform/TickCount.h"
#include "publishing/DataLogFormat.h"
#include "receiver/PollSequence.h"
#include "simulator/ReceiverSimulator.h"
#include "support/AddressSpaceLimit.h"
#include "support/FileBytes.h"
#include "support/FtpServerProcess.h"
#include "support/PollTicks.h"
#include "support/SimulatedPolling.h"
#include "support/SmallFileSystem.h"
#include "support/WaitBounds.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <atomic>
#include <gtest/gtest.h>
#include <mutex>

namespace {

constexpr char kUser[] = "tester";
constexpr char kPassword[] = "Pa55-w0rd";

// The lines of a diagnostic file without their time stamps.
QStringList Lines(const QString& path, int stampLength) {
    QStringList lines;
    for (const QString& line :
         QString::fromLatin1(ReadFileBytes(path)).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts))
        lines << line.mid(stampLength);
    return lines;
}
constexpr int kUserStamp = 23;  // " HH:MM:SS dd/mm/yy UTC "
constexpr int kDebugStamp = 18; // "HH:MM:SS dd/mm/yy "

// The upload runs' lines among the user window's, in their order: without the page's and the
// data log's own.
QStringList RunLines(const QStringList& lines) {
    QStringList run;
    for (const QString& line : lines)
        if (!line.startsWith(QLatin1String("Local HTML")) && !line.startsWith(QLatin1String("Log file")))
            run << line;
    return run;
}

// The longest time between two records of the data log, in seconds.
qint64 LongestLogGap(const QString& path) {
    qint64 longest = 0;
    qint64 last = -1;
    for (const QByteArray& line : ReadFileBytes(path).split('\n')) {
        if (line.isEmpty())
            continue;
        const qint64 time = line.left(line.indexOf('\t')).toLongLong();
        if (last >= 0)
            longest = std::max(longest, time - last);
        last = time;
    }
    return longest;
}

class FtpUploadTest : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("no_proxy", "127.0.0.1", 1);
        ASSERT_TRUE(m_local.isValid() && m_remote.isValid());
        ASSERT_TRUE(QDir(m_local.path()).mkpath(QStringLiteral("Web")));
        ASSERT_TRUE(QDir(m_remote.path()).mkpath(QStringLiteral("pub/Site")));
        m_view.m_strHtmlPath = Local("Web/Status.HTM");
        m_view.m_strImageFileType = QStringLiteral("png");
        m_view.m_strFtpAccount = QLatin1String(kUser);
        m_view.m_strFtpPassword = QLatin1String(kPassword);
        m_view.m_strFtpDirectory = QStringLiteral("pub/Site");
        m_view.m_nFtpInterval = 60000;
        m_view.m_nFtpTimeout = 5;
        m_view.m_bFtpDebug = true;
        m_view.m_bUserToFile = true;
        m_view.m_strUserPath = Local("user.txt");
        m_view.m_bDebugEnable = true;
        m_view.m_strDebugPath = Local("debug.txt");
        // The page's files, with bytes that a text-mode transfer would change.
        m_files = {{"Web/Status.HTM", "<html>\r\n</html>\r\n"},
                   {"Web/Status2.png", QByteArray("\x89PNG\r\n\x1a\n\0map", 12)},
                   {"Web/Status1.png", QByteArray("\x89PNG\r\n\x1a\n\0graph\n\r", 16)},
                   {"Web/Status.css", "body {}\n"},
                   {"a.txt", "first\n"},
                   {"Web/B.Txt", QByteArray(70000, '\r')}};
        for (const auto& [name, bytes] : m_files)
            ASSERT_TRUE(WriteFileBytes(Local(name), bytes));
    }
    QString Local(const char* name) const { return m_local.filePath(QLatin1String(name)); }
    QString Local(const QString& name) const { return m_local.filePath(name); }
    void UseServer(int port) { m_view.m_strFtpServer = QStringLiteral("127.0.0.1:%1").arg(port); }
    QStringList UserLines() const { return Lines(Local("user.txt"), kUserStamp); }
    QStringList DebugLines() const { return Lines(Local("debug.txt"), kDebugStamp); }
    QString Item(const char* local, const char* remote) const {
        return Local(local) + QStringLiteral(" to ") + QLatin1String(remote);
    }
    // The view set up to poll the simulated Hewlett Packard receiver, without its start-up extras.
    void PollSimulatedReceiver(const sim::ReceiverSimulator& receiver) {
        PollSimulatedHewlettPackard(m_view, receiver);
    }
    // Until the run's last line is shown.
    bool WaitForRunEnd(int timeoutMs = kBusyMachineWaitMs) {
        return QTest::qWaitFor([this] { return !m_view.IsFtpUploadRunning(); }, timeoutMs);
    }
    void Upload() {
        m_view.FtpUpload();
        ASSERT_TRUE(WaitForRunEnd());
    }
    QTemporaryDir m_local;
    QTemporaryDir m_remote;
    std::vector<std::pair<QString, QByteArray>> m_files;
    CChildView m_view;
};

class FtpModeTest : public FtpUploadTest, public ::testing::WithParamInterface<bool> {};

} // namespace

// Everything in order, byte for byte, under names that keep their case; the progress lines; and
// the password nowhere in them. Passive mode names an absolute folder, active mode a relative one;
// the further files are listed with and without a final ";".
TEST_P(FtpModeTest, SendsEveryFileInOrderOverOneConnection) {
    const bool passive = GetParam();
    FtpServerProcess server(m_remote.path(), QLatin1String(kUser), QLatin1String(kPassword));
    ASSERT_GT(server.port(), 0);
    UseServer(server.port());
    m_view.m_bFtpPassive = passive;
    m_view.m_strFtpDirectory = passive ? QStringLiteral("/pub/Site") : QStringLiteral("pub/Site");
    m_view.m_strFtpAdditionalFiles = QStringLiteral(" %1 ;; %2").arg(Local("a.txt"), Local("Web/B.Txt")) +
                                     (passive ? QStringLiteral(";") : QString());
    m_view.m_bUpdateAllEnabled = false;

    Upload();

    const QStringList events = server.Session();
    EXPECT_EQ(FtpServerProcess::Stored(events),
              QStringList({"pub/Site/Status.HTM", "pub/Site/Status2.png", "pub/Site/Status1.png",
                           "pub/Site/Status.css", "pub/Site/a.txt", "pub/Site/B.Txt"}));
    for (const auto& [name, bytes] : m_files)
        EXPECT_EQ(ReadFileBytes(m_remote.filePath(QStringLiteral("pub/Site/") + QFileInfo(name).fileName())),
                  bytes)
            << name.toStdString();
    EXPECT_EQ(events.count(QStringLiteral("CMD USER")), 1) << "one connection for the run";
    const bool sawPassive =
        events.contains(QStringLiteral("CMD EPSV")) || events.contains(QStringLiteral("CMD PASV"));
    const bool sawActive =
        events.contains(QStringLiteral("CMD EPRT")) || events.contains(QStringLiteral("CMD PORT"));
    EXPECT_EQ(sawPassive, passive);
    EXPECT_EQ(sawActive, !passive);
    EXPECT_EQ(events.back(), QStringLiteral("CMD QUIT"));

    const QString folder = m_view.m_strFtpDirectory;
    EXPECT_EQ(UserLines(),
              QStringList({"FTP timeouts set OK ", "FTP connected OK ", "FTP set dir OK: " + folder,
                           "HTML upload OK: " + Item("Web/Status.HTM", "Status.HTM"),
                           "Map upload OK: " + Item("Web/Status2.png", "Status2.png"),
                           "Graph upload OK: " + Item("Web/Status1.png", "Status1.png"),
                           "CSS upload OK: " + Item("Web/Status.css", "Status.css"),
                           "File upload OK: " + Item("a.txt", "a.txt"),
                           "File upload OK: " + Item("Web/B.Txt", "B.Txt"), "FTP quit OK: "}));
    EXPECT_FALSE(ReadFileBytes(Local("user.txt")).contains(kPassword));
    EXPECT_FALSE(ReadFileBytes(Local("debug.txt")).contains(kPassword));
    EXPECT_FALSE(m_view.m_bUpdateAllEnabled) << "stopped, Update all stays greyed after a run";
}

// A server that never answers the store command: the run ends at its time-out with a line that
// says so, in active mode as in passive mode (where libcurl keeps an earlier, harmless complaint
// about the listening socket as the transfer's error text), and the quit is said to have failed.
TEST_P(FtpModeTest, AStalledStoreEndsWithATimeOutLine) {
    FtpServerProcess server(m_remote.path(), QLatin1String(kUser), QLatin1String(kPassword),
                            {QStringLiteral("--stall"), QStringLiteral("STOR")});
    ASSERT_GT(server.port(), 0);
    UseServer(server.port());
    m_view.m_bFtpPassive = GetParam();
    m_view.m_nFtpTimeout = 1;

    Upload();

    const QStringList lines = UserLines();
    ASSERT_EQ(lines.size(), 6) << lines.join(u'|').toStdString();
    const QString error = lines[3];
    EXPECT_EQ(lines[4], QStringLiteral("FTP upload failed: ") + error);
    EXPECT_TRUE(error.endsWith(QLatin1Char(' ') + Item("Web/Status.HTM", "Status.HTM")))
        << error.toStdString();
    EXPECT_TRUE(error.contains(
        QRegularExpression(QStringLiteral("time(d)? ?out"), QRegularExpression::CaseInsensitiveOption)))
        << error.toStdString();
    // libcurl drops a connection whose server stopped answering, without QUIT.
    EXPECT_TRUE(lines[5].startsWith(QStringLiteral("FTP quit FAILED: "))) << lines[5].toStdString();
    EXPECT_EQ(DebugLines(), QStringList({error, lines[5]}));
}

INSTANTIATE_TEST_SUITE_P(Modes, FtpModeTest, ::testing::Values(true, false),
                         [](const auto& info) { return info.param ? "Passive" : "Active"; });

// A failure ends the run with the error text and what was being done; nothing later is sent and
// an open connection is closed.
TEST_F(FtpUploadTest, FailuresEndTheRunWithTheirLine) {
    FtpServerProcess server(m_remote.path(), QLatin1String(kUser), QLatin1String(kPassword));
    ASSERT_GT(server.port(), 0);
    UseServer(server.port());

    // A missing graph picture: the page and the map go, the rest does not.
    QFile::remove(Local("Web/Status1.png"));
    m_view.m_strFtpAdditionalFiles = Local("a.txt");
    Upload();
    QStringList events = server.Session();
    EXPECT_EQ(FtpServerProcess::Stored(events), QStringList({"pub/Site/Status.HTM", "pub/Site/Status2.png"}));
    // The failure also said whatever the switches, once until a run succeeds.
    QStringList lines = UserLines();
    ASSERT_EQ(lines.size(), 8);
    EXPECT_TRUE(lines[5].endsWith(QLatin1Char(' ') + Item("Web/Status1.png", "Status1.png")))
        << lines[5].toStdString();
    EXPECT_EQ(lines[6], QStringLiteral("FTP upload failed: ") + lines[5]);
    EXPECT_EQ(lines[7], QStringLiteral("FTP quit OK: "));
    EXPECT_EQ(DebugLines(), QStringList({lines[5]}));
    QFile::remove(Local("user.txt"));
    QFile::remove(Local("debug.txt"));

    // A remote folder that does not exist: nothing is sent.
    m_view.m_strFtpDirectory = QStringLiteral("nowhere");
    Upload();
    events = server.WaitFor([](const QStringList& e) { return e.count(QStringLiteral("CMD QUIT")) == 2; },
                            kBusyMachineWaitMs);
    EXPECT_EQ(FtpServerProcess::Stored(events).size(), 2);
    lines = UserLines();
    ASSERT_EQ(lines.size(), 5);
    EXPECT_TRUE(lines[2].endsWith(QStringLiteral(" nowhere"))) << lines[2].toStdString();
    EXPECT_EQ(lines[4], QStringLiteral("FTP quit OK: "));
    QFile::remove(Local("user.txt"));

    // A wrong password: the line names the time-out step; no connection, so no quit line.
    m_view.m_strFtpPassword = QStringLiteral("wrong");
    Upload();
    lines = UserLines();
    ASSERT_EQ(lines.size(), 3);
    EXPECT_TRUE(lines[1].endsWith(QStringLiteral(" FTP timeouts set OK "))) << lines[1].toStdString();
    EXPECT_TRUE(lines[1].contains(QStringLiteral("530"))) << lines[1].toStdString();
    EXPECT_EQ(FtpServerProcess::Stored(server.WaitFor([](const QStringList&) { return false; }, 200)).size(),
              2);
    QFile::remove(Local("user.txt"));

    // With the FTP lines off the user window stays quiet (the same failure was said already); the
    // debug file still gets the error.
    m_view.m_bFtpDebug = false;
    QFile::remove(Local("debug.txt"));
    Upload();
    EXPECT_FALSE(QFile::exists(Local("user.txt")));
    ASSERT_EQ(DebugLines().size(), 1);
    EXPECT_TRUE(DebugLines()[0].endsWith(QStringLiteral(" FTP timeouts set OK ")));
}

TEST_F(FtpUploadTest, ClosedPortAndMissingSettings) {
    // A port that was free a moment ago: nothing listens on it.
    QTcpServer probe;
    ASSERT_TRUE(probe.listen(QHostAddress::LocalHost));
    const quint16 port = probe.serverPort();
    probe.close();
    UseServer(port);
    Upload();
    const QStringList lines = UserLines();
    ASSERT_EQ(lines.size(), 3);
    EXPECT_TRUE(lines[1].endsWith(QStringLiteral(" FTP timeouts set OK "))) << lines[1].toStdString();

    // No account, or the interval off without Update all: only the stamp and the menu entry.
    QFile::remove(Local("user.txt"));
    platform::SetTickSource(std::make_shared<platform::ManualTickSource>(777));
    m_view.m_strFtpAccount.clear();
    m_view.m_bForceUpdate = true;
    m_view.m_bUpdateAllEnabled = false;
    Upload();
    EXPECT_EQ(m_view.m_dwLastFtp, 777u);
    EXPECT_FALSE(m_view.m_bForceUpdate);
    EXPECT_TRUE(m_view.m_bUpdateAllEnabled);
    m_view.m_strFtpAccount = QLatin1String(kUser);
    m_view.m_nFtpInterval = 0;
    Upload();
    EXPECT_FALSE(QFile::exists(Local("user.txt")));
    platform::SetTickSource(nullptr);
}

// Update all uploads at the next status step even with the interval off; a server that accepts
// and never answers ends the run at its time-out, and polling goes on.
TEST_F(FtpUploadTest, PollCycleUploadsOnUpdateAllAndKeepsPollingPastASilentServer) {
    platform::SetTickSource(std::make_shared<platform::ManualTickSource>(10000000));
    sim::ReceiverSimulator receiver{sim::Family::HewlettPackard};
    ASSERT_TRUE(receiver.start());
    PollSimulatedReceiver(receiver);
    m_view.m_nRetries = 100;
    m_view.m_nLogInterval = 0;
    m_view.m_nFtpInterval = 0;
    m_view.m_nStatusInterval = 3600000;
    m_view.m_strFtpDirectory.clear();
    m_view.OnStart();
    ASSERT_TRUE(m_view.IsRunning());
    // Runs the cycle until `steps` status steps have completed.
    const auto runStatusSteps = [this](int steps) {
        for (int done = 0, ticks = 0; done < steps && ticks < 5000 && m_view.IsRunning(); ++ticks) {
            const bool atStatus = m_view.m_nPollStep == PollStepStatus && m_view.m_nWaitCount > 0;
            PollTick(m_view);
            if (atStatus && m_view.m_nWaitCount == 0)
                ++done;
            if (m_view.m_hActivePort)
                m_view.m_hActivePort->waitForReadyRead(20);
        }
    };

    {
        FtpServerProcess server(m_remote.path(), QLatin1String(kUser), QLatin1String(kPassword));
        ASSERT_GT(server.port(), 0);
        UseServer(server.port());
        m_view.OnUpdateAll();
        runStatusSteps(1);
        ASSERT_TRUE(WaitForRunEnd());
        const QStringList stored = FtpServerProcess::Stored(server.Session());
        EXPECT_EQ(stored.value(0), QStringLiteral("Status.HTM"));
        // The uploaded copy carries no refresh line: its interval, the upload's, is off.
        EXPECT_FALSE(ReadFileBytes(m_remote.filePath(QStringLiteral("Status.HTM"))).contains("refresh"));
        EXPECT_TRUE(ReadFileBytes(m_view.m_strHtmlPath).contains("CONTENT=\"3600\""));
        EXPECT_FALSE(m_view.m_bForceUpdate);
        EXPECT_TRUE(m_view.m_bUpdateAllEnabled);
    }

    QTcpServer silent;
    ASSERT_TRUE(silent.listen(QHostAddress::LocalHost));
    UseServer(silent.serverPort());
    m_view.m_nFtpTimeout = 1;
    m_view.m_nFtpInterval = 1000;
    m_view.m_dwLastFtp = 0;
    m_view.m_dwLastHtml = 0;
    QFile::remove(Local("user.txt"));
    runStatusSteps(1);
    ASSERT_TRUE(WaitForRunEnd());
    // The run's lines come after the page's own two, written meanwhile.
    const QStringList lines = UserLines();
    ASSERT_EQ(lines.size(), 5);
    EXPECT_EQ(lines[2], QStringLiteral("FTP timeouts set OK "));
    EXPECT_TRUE(lines[3].endsWith(QStringLiteral(" FTP timeouts set OK "))) << lines.join(u'|').toStdString();
    ASSERT_TRUE(m_view.IsRunning());
    const int replies = m_view.m_nTimeouts;
    runStatusSteps(1); // the next round of the cycle completes as before
    EXPECT_TRUE(m_view.IsRunning());
    EXPECT_EQ(m_view.m_nTimeouts, replies);

    // With the page off, Update all uploads nothing and is offered again after the status step.
    m_view.m_bHtmlStatus = false;
    QFile::remove(Local("user.txt"));
    m_view.OnUpdateAll();
    runStatusSteps(1);
    EXPECT_FALSE(m_view.m_bForceUpdate);
    EXPECT_TRUE(m_view.m_bUpdateAllEnabled);
    EXPECT_FALSE(QFile::exists(Local("user.txt")));
    m_view.OnStop();
    platform::SetTickSource(nullptr);
}

// A server that answers every command after 0.9 s, through the real poll cycle: the run goes on
// while polling, the data log and the window keep their pace; the page sent is the copy written
// for the upload, and the data log, growing meanwhile, goes as it was when its turn came; a run
// that falls due meanwhile is skipped, said once until a run starts again; Stop ends a run within
// a second.
TEST_F(FtpUploadTest, SlowServerHoldsUpNeitherPollingNorTheDataLogNorTheWindow) {
    FtpServerProcess server(m_remote.path(), QLatin1String(kUser), QLatin1String(kPassword),
                            {QStringLiteral("--delay"), QStringLiteral("0.9")});
    ASSERT_GT(server.port(), 0);
    UseServer(server.port());
    sim::ReceiverSimulator receiver{sim::Family::HewlettPackard};
    ASSERT_TRUE(receiver.start());
    PollSimulatedReceiver(receiver);
    m_view.m_strImageFileType.clear(); // the page, its style sheet and the data log: 10 commands
    m_view.m_strFtpDirectory.clear();
    m_view.m_strLogPath = Local("gpslog.log");
    m_view.m_strFtpAdditionalFiles = m_view.m_strLogPath;
    constexpr int kLogIntervalS = 2;
    m_view.m_nLogInterval = kLogIntervalS * 1000;
    m_view.m_nStatusInterval = 1000;
    m_view.m_nFtpInterval = 2000;

    // The window's pace: the longest wait between the ticks of a 20 ms timer.
    QElapsedTimer sinceTick;
    qint64 longestTick = 0;
    QTimer ticker;
    ticker.callOnTimeout([&] { longestTick = std::max(longestTick, sinceTick.restart()); });
    m_view.OnStart();
    ASSERT_TRUE(m_view.IsRunning());
    sinceTick.start();
    ticker.start(20);
    const QString quit = QStringLiteral("FTP quit OK: ");
    ASSERT_TRUE(QTest::qWaitFor([&] { return UserLines().contains(quit); }, 60000));
    ticker.stop();
    ASSERT_TRUE(WaitForRunEnd());
    // A record after the run, to close the data log's last gap.
    const auto records = [this] { return ReadFileBytes(m_view.m_strLogPath).count('\n'); };
    const qsizetype recordsAtEnd = records();
    ASSERT_TRUE(QTest::qWaitFor([&] { return records() > recordsAtEnd; }, kBusyMachineWaitMs));

    const QString skipped = QStringLiteral("FTP upload skipped: the last upload is still running");
    // The first run's lines, up to its quit: the next run may have begun meanwhile.
    QStringList firstRun = RunLines(UserLines());
    firstRun = firstRun.mid(0, firstRun.indexOf(quit) + 1);
    EXPECT_EQ(firstRun.removeAll(skipped), 1);
    EXPECT_EQ(firstRun.join(u'|').toStdString(),
              QStringList({"FTP timeouts set OK ", "FTP connected OK ",
                           "HTML upload OK: " + Item("Web/Status.HTM", "Status.HTM"),
                           "CSS upload OK: " + Item("Web/Status.css", "Status.css"),
                           "File upload OK: " + Item("gpslog.log", "gpslog.log"), quit})
                  .join(u'|')
                  .toStdString());
    EXPECT_LT(longestTick, 1000);
    EXPECT_LE(LongestLogGap(m_view.m_strLogPath), kLogIntervalS + 2);
    EXPECT_EQ(m_view.m_nTimeouts, 0);
    EXPECT_TRUE(ReadFileBytes(m_remote.filePath(QStringLiteral("Status.HTM"))).contains("CONTENT=\"2\""));
    EXPECT_TRUE(ReadFileBytes(m_view.m_strHtmlPath).contains("CONTENT=\"1\""));
    EXPECT_TRUE(ReadFileBytes(m_view.m_strLogPath)
                    .startsWith(ReadFileBytes(m_remote.filePath(QStringLiteral("gpslog.log")))));

    // The next run starts when next due; one falling due meanwhile is said again; Stop ends it.
    ASSERT_TRUE(QTest::qWaitFor([&] { return UserLines().count(skipped) == 2; }, kBusyMachineWaitMs));
    ASSERT_TRUE(m_view.IsFtpUploadRunning());
    QElapsedTimer stopping;
    stopping.start();
    m_view.OnCmdMsg(ID_STOP);
    ASSERT_TRUE(WaitForRunEnd());
    EXPECT_LT(stopping.elapsed(), 1000);
    const QString lines = UserLines().join(u'|');
    EXPECT_TRUE(lines.contains(QStringLiteral("FTP upload abandoned "))) << lines.toStdString();
}

// The data log sent as a further file while a line falls due that takes it past its limit, on a
// disk without room for a trim's copy, so that the trim can only be made in place: the trim waits
// for the upload's read (which a server that takes in 4 MB a second makes last), so the log goes
// as it was when its turn came, not a mix of it before and after the move. The line is written
// meanwhile, and the trim comes with the first line after the upload.
TEST_F(FtpUploadTest, ALogThatIsSentIsNotTrimmedInPlaceMeanwhile) {
    SmallFileSystem disk(24 * 1024 * 1024);
    if (!disk.Mounted())
        GTEST_SKIP() << disk.Reason();
    FtpServerProcess server(m_remote.path(), QLatin1String(kUser), QLatin1String(kPassword),
                            {QStringLiteral("--read-limit"), QString::number(4 * 1024 * 1024)});
    ASSERT_GT(server.port(), 0);
    UseServer(server.port());
    m_view.m_strImageFileType.clear();
    m_view.m_strLogPath = disk.FilePath(QStringLiteral("gpslog.log"));
    m_view.m_nLogMaxSize = 16 * 1024;
    m_view.m_strFtpAdditionalFiles = m_view.m_strLogPath;
    const QByteArray old = QByteArray("1709600000\t2.4979\t-3.217E-09\t\t\t\t\t\t\t\r\n").repeated(500000);
    ASSERT_TRUE(WriteFileBytes(m_view.m_strLogPath, old));
    ASSERT_TRUE(disk.LeaveFree(256 * 1024));

    m_view.FtpUpload();
    const QString sent = m_remote.filePath(QStringLiteral("pub/Site/gpslog.log"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return QFileInfo(sent).size() > 0; }, 20000));
    m_view.UpdateLogFile(); // about 4 s before the server has taken in the whole log
    ASSERT_TRUE(WaitForRunEnd(60000));
    EXPECT_TRUE(UserLines().contains("File upload OK: " + m_view.m_strLogPath + " to gpslog.log"))
        << UserLines().join(u'|').toStdString();
    EXPECT_TRUE(ReadFileBytes(sent) == old); // not a mix
    const QByteArray log = ReadFileBytes(m_view.m_strLogPath);
    EXPECT_TRUE(log.startsWith(old));
    EXPECT_GT(log.size(), old.size());

    m_view.UpdateLogFile();
    EXPECT_LE(QFile(m_view.m_strLogPath).size(), LogTrimRule(16 * 1024).keptBytes + 200);
}

// A server that stalls, at the connection or at QUIT, with the usual 30 s time-out: opening the
// Options sheet ends the run within a second, and so does exit, the run's thread ended with it.
TEST_F(FtpUploadTest, OptionsSheetAndExitEndAStalledRunWithinASecond) {
    m_view.m_nFtpTimeout = 30;
    QTcpServer silent;
    ASSERT_TRUE(silent.listen(QHostAddress::LocalHost));
    UseServer(silent.serverPort());
    m_view.FtpUpload();
    ASSERT_TRUE(QTest::qWaitFor([&] { return silent.hasPendingConnections(); }, kBusyMachineWaitMs));
    // The run's end is seen once the sheet's own loop runs: the second counts from then, as
    // building the sheet (a good part of a second in a sanitizer build on a busy machine) is the
    // window's work, not the run's.
    qint64 sheetUp = -1;
    qint64 sheetWait = -1;
    QElapsedTimer ending;
    QTimer::singleShot(0, [&] {
        sheetUp = ending.elapsed();
        if (WaitForRunEnd())
            sheetWait = ending.elapsed();
        if (QWidget* sheet = QApplication::activeModalWidget())
            sheet->close();
    });
    ending.start();
    m_view.OnOptions();
    EXPECT_GE(sheetWait, 0);
    EXPECT_LT(sheetWait - sheetUp, 1000) << "the sheet took " << sheetUp << " ms to come up";
    EXPECT_TRUE(UserLines().contains(QStringLiteral("FTP upload abandoned FTP timeouts set OK ")))
        << UserLines().join(u'|').toStdString();
    EXPECT_FALSE(UserLines().join(u'|').contains(QStringLiteral("FTP upload failed"))) << "ended, not failed";

    FtpServerProcess server(m_remote.path(), QLatin1String(kUser), QLatin1String(kPassword),
                            {QStringLiteral("--stall"), QStringLiteral("QUIT")});
    ASSERT_GT(server.port(), 0);
    UseServer(server.port());
    m_view.FtpUpload();
    server.Session(); // up to the QUIT, which is never answered
    QElapsedTimer exiting;
    exiting.start();
    m_view.OnDestroy();
    EXPECT_LT(exiting.elapsed(), 1000);
}

// The style sheet is the operator's own file: a run without one says so and goes on with the
// further files (the data log here); any other missing file still ends the run (above). A server
// that never answers QUIT has the quit said as failed at the time-out, never as gone well.
TEST_F(FtpUploadTest, AMissingStyleSheetIsSkippedAndAnUnansweredQuitIsAFailure) {
    FtpServerProcess server(m_remote.path(), QLatin1String(kUser), QLatin1String(kPassword),
                            {QStringLiteral("--stall"), QStringLiteral("QUIT")});
    ASSERT_GT(server.port(), 0);
    UseServer(server.port());
    m_view.m_nFtpTimeout = 1;
    QFile::remove(Local("Web/Status.css"));
    const QByteArray log = "1796800000\t1.5\n1796800060\t1.25\n";
    ASSERT_TRUE(WriteFileBytes(Local("gpslog.log"), log));
    m_view.m_strFtpAdditionalFiles = Local("gpslog.log");

    Upload();

    EXPECT_EQ(FtpServerProcess::Stored(server.Session()),
              QStringList({"pub/Site/Status.HTM", "pub/Site/Status2.png", "pub/Site/Status1.png",
                           "pub/Site/gpslog.log"}));
    EXPECT_EQ(ReadFileBytes(m_remote.filePath(QStringLiteral("pub/Site/gpslog.log"))), log);
    const QStringList lines = UserLines();
    ASSERT_EQ(lines.size(), 9) << lines.join(u'|').toStdString();
    EXPECT_EQ(lines.mid(6, 2), QStringList({"CSS upload skipped, no such file: " + Local("Web/Status.css"),
                                            "File upload OK: " + Item("gpslog.log", "gpslog.log")}));
    EXPECT_EQ(lines[8], QStringLiteral("FTP quit FAILED: server response timeout"));
    EXPECT_EQ(DebugLines(), QStringList({lines[8]}));
}

// The run holds the files it sends and little more: under an address-space limit that leaves the
// process 256 MiB above what it uses (a small board's `ulimit -v`), every file goes.
TEST_F(FtpUploadTest, AnUploadRunsUnderAnAddressSpaceLimit) {
    if (!AddressSpaceLimit::Supported())
        GTEST_SKIP() << "AddressSanitizer reserves the whole address space";
    FtpServerProcess server(m_remote.path(), QLatin1String(kUser), QLatin1String(kPassword));
    ASSERT_GT(server.port(), 0);
    UseServer(server.port());
    m_view.m_strFtpAdditionalFiles = Local("a.txt");
    constexpr qint64 kRoomKb = 256 * 1024;
    {
        const AddressSpaceLimit limit(AddressSpaceLimit::StatusKb("VmSize") + kRoomKb);
        ASSERT_TRUE(limit.IsSet());
        Upload();
    }
    EXPECT_EQ(FtpServerProcess::Stored(server.Session()).size(), 5);
    EXPECT_EQ(UserLines().value(8), QStringLiteral("FTP quit OK: ")) << UserLines().join(u'|').toStdString();
    EXPECT_EQ(DebugLines(), QStringList());
}

// An allocation that fails on the run's thread ends the run with its error line and the quit, and
// the program goes on.
TEST_F(FtpUploadTest, AnAllocationFailureEndsTheRunNotTheProgram) {
    FtpServerProcess server(m_remote.path(), QLatin1String(kUser), QLatin1String(kPassword));
    ASSERT_GT(server.port(), 0);
    FtpUploadJob job;
    job.session = {QStringLiteral("127.0.0.1:%1").arg(server.port()), QLatin1String(kUser),
                   QLatin1String(kPassword), true, 5};
    job.items = FtpUploadItems(Local("Web/Status.HTM"), Local("Web/Status2.png"), {}, {}, {});
    std::mutex mutex;
    QStringList lines;
    const auto add = [&](const QString& line) {
        const std::lock_guard lock(mutex);
        lines << line;
    };
    FtpUploadReport report;
    report.progress = [&](const QString& line) {
        if (line.startsWith(QLatin1String("HTML upload OK")))
            throw std::bad_alloc(); // as the line's own copy would when memory runs out
        add(line);
    };
    report.stepFailed = add;
    report.error = [&](const QString& line) { add(QStringLiteral("error: ") + line); };
    std::atomic<bool> ended = false;
    FtpUploader uploader;
    uploader.Start(std::move(job), std::move(report), [&] { ended = true; });
    ASSERT_TRUE(QTest::qWaitFor([&] { return ended.load(); }, 20000));

    const std::lock_guard lock(mutex);
    EXPECT_EQ(lines,
              QStringList({"FTP timeouts set OK ", "FTP connected OK ",
                           "error: Out of memory " + Item("Web/Status.HTM", "Status.HTM"), "FTP quit OK: "}));
    EXPECT_EQ(FtpServerProcess::Stored(server.Session()), QStringList({"Status.HTM"}));
}
