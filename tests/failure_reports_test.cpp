// Outputs that fail at every interval while the program polls (the data log, the HTML page with its
// text file and pictures, the exported pictures, the FTP upload), with the diagnostic switches as they come:
// each failure is said once in the user window and on the status bar, and said again only after that output
// worked in between. The main frame polls the simulated receiver on a pseudo-terminal.
#include "platform/TrimCutPoint.h"
#include "publishing/DataLogFormat.h"
#include "support/FileBytes.h"
#include "support/FtpServerProcess.h"
#include "support/GraphExportFifo.h"
#include "support/LoopbackUdp.h"
#include "support/OptionsSheetUse.h"
#include "support/PollingMainFrame.h"
#include "support/SmallFileSystem.h"
#include "support/WithoutFileOverride.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <algorithm>
#include <cerrno>
#include <csignal>
#include <functional>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <utility>

namespace {

constexpr auto kReadOnlyFolder = QFileDevice::ReadOwner | QFileDevice::ExeOwner;
constexpr auto kWritableFolder = kReadOnlyFolder | QFileDevice::WriteOwner;

// An output that fails at every try, how to mend it, and how to break it again.
struct Breakage {
    QStringList failures;             // each said once (the start of its line); the first one last
    std::function<bool()> triedAgain; // until the output has been tried a few more times
    std::function<void()> mend;       // after which it works
    std::function<bool()> works;      // until it has worked
    std::function<void()> breakAgain; // after which it fails as before
};

// A port of 127.0.0.1 that answers no connect, as a server behind a firewall that drops them: the
// one place of its listening socket's backlog is held by a connection never accepted, so the next
// handshakes go unanswered until the client's own time-out.
class UnansweringPort {
public:
    UnansweringPort() {
        sockaddr_in address = LoopbackAddress(0);
        socklen_t length = sizeof address;
        const auto* const to = reinterpret_cast<const sockaddr*>(&address);
        if (::bind(m_listener, to, sizeof address) == 0 && ::listen(m_listener, 0) == 0 &&
            ::getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &length) == 0 &&
            (::connect(m_held, to, sizeof address) == 0 || errno == EINPROGRESS))
            m_port = ntohs(address.sin_port);
        // Held once its handshake is done; a kernel that keeps no place at all never finishes it.
        pollfd connected{m_held, POLLOUT, 0};
        ::poll(&connected, 1, kHandshakeWaitMs);
    }
    ~UnansweringPort() {
        ::close(m_held);
        ::close(m_listener);
    }
    UnansweringPort(const UnansweringPort&) = delete;
    UnansweringPort& operator=(const UnansweringPort&) = delete;
    int port() const { return m_port; }

private:
    int m_listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    int m_held = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    int m_port = 0;
    static constexpr int kHandshakeWaitMs = 1000;
};

class FailureReportsTest : public PollingMainFrameTest {
protected:
    void SetUp() override {
        PollingMainFrameTest::SetUp();
        ASSERT_FALSE(m_view.m_bComsDebug || m_view.m_bDebugEnable || m_view.m_bFtpDebug);
    }

    QString StatusBar() const { return m_frame.m_wndLinkStatus->text(); }
    qsizetype TimesSaid(const QString& text) const { return UserWindow().count(text); }
    // Until the output stamped in `last` has been tried three more times.
    std::function<bool()> TriedAgain(const DWORD& last) {
        return [this, &last] {
            for (int i = 0; i < 3; ++i) {
                const DWORD before = last;
                if (!WaitUntil([&] { return last != before; }))
                    return false;
            }
            return true;
        };
    }
    // Polling starts; each failure is said once in the user window, and the status bar shows the
    // last; once the output works the status bar is cleared; broken again, each is said again.
    void ExpectSaidOncePerBreakage(const Breakage& breakage) {
        m_view.OnStart();
        for (int times = 1; times <= 2; ++times) {
            ASSERT_TRUE(WaitUntil([&] { return TimesSaid(breakage.failures[0]) == times; }))
                << qPrintable(UserWindow());
            ASSERT_TRUE(breakage.triedAgain());
            for (const QString& failure : breakage.failures)
                EXPECT_EQ(TimesSaid(failure), times) << qPrintable(failure) << "\n"
                                                     << qPrintable(UserWindow());
            EXPECT_TRUE(StatusBar().startsWith(breakage.failures[0])) << qPrintable(StatusBar());
            if (times == 2)
                return;
            breakage.mend();
            ASSERT_TRUE(WaitUntil(breakage.works));
            EXPECT_EQ(StatusBar(), QString());
            breakage.breakAgain();
        }
    }

    // The page uploaded at every run to the server on `port` as "tester" with `password`.
    void UploadThePageTo(int port, const QString& password) {
        setenv("no_proxy", "127.0.0.1", 1);
        const QString web = m_folder.filePath(QStringLiteral("Web"));
        ASSERT_TRUE(QDir().mkpath(web));
        m_view.m_strHtmlPath = web + QStringLiteral("/status.htm");
        m_view.m_strImageFileType.clear();
        m_view.m_bHtmlStatus = true;
        m_view.m_strFtpServer = QStringLiteral("127.0.0.1:%1").arg(port);
        m_view.m_strFtpAccount = QStringLiteral("tester");
        m_view.m_strFtpPassword = password;
        m_view.m_strFtpDirectory.clear();
        m_view.m_nFtpInterval = 1;
        m_view.m_nFtpTimeout = 5;
    }
    // The graph exported at every status step to a FIFO, which it refuses; its failure's line.
    QString ExportTheGraphIntoAFifo() { return ::ExportTheGraphIntoAFifo(m_view, m_folder); }
    // Another output has worked again: the graph's failure, said once and still standing, is on
    // the status bar over the next exports; the graph written, the bar goes blank.
    void ExpectTheGraphsFailureShownUntilItEnds(const QString& graphFailure) {
        EXPECT_EQ(StatusBar().toStdString(), graphFailure.toStdString());
        ASSERT_TRUE(TriedAgain(m_view.m_dwLastExport)());
        EXPECT_EQ(StatusBar().toStdString(), graphFailure.toStdString());
        EXPECT_EQ(TimesSaid(graphFailure), 1) << qPrintable(UserWindow());
        ASSERT_TRUE(QFile::remove(m_view.m_strGraphExportPath));
        ASSERT_TRUE(WaitUntil([&] { return QFile::exists(m_view.m_strGraphExportPath); }));
        EXPECT_EQ(StatusBar().toStdString(), "");
    }

    QTemporaryDir m_folder;
};

} // namespace

// A full disk: the write's failure with the system's reason.
TEST_F(FailureReportsTest, ADataLogOnAFullDisk) {
    SmallFileSystem disk(64 * 1024);
    if (!disk.Mounted())
        GTEST_SKIP() << disk.Reason();
    const QString log = disk.FilePath(QStringLiteral("gpslog.log"));
    m_view.m_strLogPath = log;
    // Room for 10 bytes of a record and no more.
    const auto fillUpTo = [&](qint64 pages) {
        ASSERT_TRUE(WriteFileBytes(log, QByteArray(pages * SmallFileSystem::kPage - 10, '\n')));
        ASSERT_TRUE(disk.LeaveFree(0));
    };
    fillUpTo(1);
    ExpectSaidOncePerBreakage(
        {{QStringLiteral("Unable to write log file %1: No space left on device").arg(log)},
         TriedAgain(m_view.m_dwLastLog),
         [&] { disk.FreeAll(); },
         [&] { return ReadFileBytes(log).endsWith("\r\n"); },
         [&] { fillUpTo(2); }});
    EXPECT_FALSE(UserWindow().contains(QStringLiteral("Unable to write log file: "))); // switches off
}

// A folder made read-only: the log cannot be created there, then not opened.
TEST_F(FailureReportsTest, ADataLogInAFolderMadeReadOnly) {
    const QString folder = m_folder.filePath(QStringLiteral("Logs"));
    ASSERT_TRUE(QDir().mkpath(folder));
    const QString log = folder + QStringLiteral("/gpslog.log");
    m_view.m_strLogPath = log;
    WithoutFileOverride asAUser;
    ASSERT_TRUE(QFile::setPermissions(folder, kReadOnlyFolder));
    ExpectSaidOncePerBreakage({{QStringLiteral("Unable to open log file: %1: Permission denied").arg(log)},
                               TriedAgain(m_view.m_dwLastLog),
                               [&] { QFile::setPermissions(folder, kWritableFolder); },
                               [&] { return QFile::exists(log); },
                               [&] {
                                   QFile::setPermissions(folder, kReadOnlyFolder);
                                   QFile::setPermissions(log, QFileDevice::ReadOwner);
                               }});
    QFile::setPermissions(folder, kWritableFolder);
}

// A page folder that refuses writes: the page, its text file and each picture, then the folder
// and its files made read-only.
TEST_F(FailureReportsTest, APageInAFolderThatRefusesWrites) {
    const QString web = m_folder.filePath(QStringLiteral("Web"));
    ASSERT_TRUE(QDir().mkpath(web));
    m_view.m_strHtmlPath = web + QStringLiteral("/status.htm");
    m_view.m_strImageFileType = QStringLiteral("png");
    m_view.m_bHtmlStatus = true;
    const QStringList files = {web + QStringLiteral("/status.htm"), web + QStringLiteral("/status.txt"),
                               web + QStringLiteral("/status2.png"), web + QStringLiteral("/status1.png")};
    WithoutFileOverride asAUser;
    ASSERT_TRUE(QFile::setPermissions(web, kReadOnlyFolder));
    ExpectSaidOncePerBreakage({{QStringLiteral("Unable to open HTML file: %1: ").arg(files[0]),
                                QStringLiteral("Unable to write the page's text file %1: ").arg(files[1]),
                                QStringLiteral("Unable to write the page's map picture: "),
                                QStringLiteral("Unable to write the page's graph picture: ")},
                               TriedAgain(m_view.m_dwLastHtml),
                               [&] { QFile::setPermissions(web, kWritableFolder); },
                               [&] { return QFile::exists(files[0]); }, // the last written
                               [&] {
                                   for (const QString& file : files)
                                       QFile::setPermissions(file, QFileDevice::ReadOwner);
                                   QFile::setPermissions(web, kReadOnlyFolder);
                               }});
    QFile::setPermissions(web, kWritableFolder);
}

// Exported pictures whose folder is gone: each export's failure with the system's reason, whatever
// the diagnostic switches; the folder made again, both are written and the status bar cleared.
TEST_F(FailureReportsTest, ExportsIntoAFolderThatIsGone) {
    const QString folder = m_folder.filePath(QStringLiteral("Exports"));
    const QString graph = folder + QStringLiteral("/graph.png");
    const QString map = folder + QStringLiteral("/map.png");
    m_view.m_strGraphExportPath = graph;
    m_view.m_strMapExportPath = map;
    m_view.m_nExportInterval = 1;
    const auto gone = QStringLiteral(": No such file or directory");
    ExpectSaidOncePerBreakage(
        {{QStringLiteral("Unable to write the exported map: cannot write %1%2").arg(map, gone),
          QStringLiteral("Unable to write the exported graph: cannot write %1%2").arg(graph, gone)},
         TriedAgain(m_view.m_dwLastExport),
         [&] { QDir().mkpath(folder); },
         [&] { return QFile::exists(graph) && QFile::exists(map); },
         [&] { QDir(folder).removeRecursively(); }});
}

// A login refused at every run; a run that succeeds in between.
TEST_F(FailureReportsTest, AnFtpUploadThatFails) {
    QTemporaryDir remote;
    FtpServerProcess server(remote.path(), QStringLiteral("tester"), QStringLiteral("right"));
    ASSERT_GT(server.port(), 0);
    UploadThePageTo(server.port(), QStringLiteral("wrong"));
    const auto logins = [&] {
        return server.WaitFor([](const QStringList&) { return true; }, 0).count(QStringLiteral("CMD PASS"));
    };
    ExpectSaidOncePerBreakage({{QStringLiteral("FTP upload failed: ")},
                               [&] {
                                   const qsizetype before = logins();
                                   return WaitUntil([&] { return logins() >= before + 3; }) &&
                                          WaitUntil([&] { return !m_view.IsFtpUploadRunning(); });
                               },
                               [&] { m_view.m_strFtpPassword = QStringLiteral("right"); },
                               [&] {
                                   return QFile::exists(remote.filePath(QStringLiteral("status.htm"))) &&
                                          StatusBar().isEmpty();
                               },
                               [&] { m_view.m_strFtpPassword = QStringLiteral("wrong"); }});
}

// An upload to a server that answers no connect: each run fails on its connect's time-out and tells
// the milliseconds it waited. The time-out lengthened meanwhile, the figure changes, not the reason:
// said once.
TEST_F(FailureReportsTest, AnUploadThatTimesOutIsSaidOnceWhateverTheTimeItWaited) {
    const UnansweringPort server;
    ASSERT_GT(server.port(), 0);
    UploadThePageTo(server.port(), QStringLiteral("right"));
    m_view.m_nFtpTimeout = 1;
    m_view.m_bFtpDebug = true; // each run's failure in the user window too
    // libcurl words it by where the time ran out, differently from one run to the next.
    const QRegularExpression timedOut(
        QStringLiteral(R"(Failed to connect to 127\.0\.0\.1 port %1 after \d+ ms: Timeout was reached|)"
                       R"(Connection time(?:out|d out) after \d+ m)")
            .arg(server.port()));
    const QString said = QStringLiteral("FTP upload failed: ");
    const auto runsFailed = [&] {
        QStringList failed;
        for (const QString& line : UserWindow().split(QLatin1Char('\n')))
            if (const auto run = timedOut.match(line); run.hasMatch() && !line.contains(said))
                failed << run.captured();
        failed.removeDuplicates();
        return failed;
    };
    m_view.OnStart();
    ASSERT_TRUE(WaitUntil([&] { return !runsFailed().isEmpty(); })) << qPrintable(UserWindow());
    m_view.m_nFtpTimeout = 2;
    ASSERT_TRUE(WaitUntil([&] { return runsFailed().size() >= 2; })) << qPrintable(UserWindow());
    EXPECT_EQ(TimesSaid(said), 1) << qPrintable(UserWindow());
}

// Two exports failing: the graph's path a FIFO, then the map's folder gone. The map written again,
// the status bar shows the graph's failure in its place.
TEST_F(FailureReportsTest, AnExportThatWorksAgainLeavesTheOtherExportsFailureOnTheStatusBar) {
    const QString graphFailure = ExportTheGraphIntoAFifo();
    const QString folder = m_folder.filePath(QStringLiteral("Exports"));
    const QString map = folder + QStringLiteral("/map.png");
    m_view.m_strMapExportPath = map;
    const QString mapFailure =
        QStringLiteral("Unable to write the exported map: cannot write %1: No such file or directory")
            .arg(map);
    m_view.OnStart();
    ASSERT_TRUE(WaitUntil([&] { return TimesSaid(graphFailure) == 1 && TimesSaid(mapFailure) == 1; }))
        << qPrintable(UserWindow());
    EXPECT_EQ(StatusBar().toStdString(), mapFailure.toStdString()); // each export tries the graph first
    ASSERT_TRUE(QDir().mkpath(folder));
    ASSERT_TRUE(WaitUntil([&] { return QFile::exists(map); }));
    ExpectTheGraphsFailureShownUntilItEnds(graphFailure);
}

// The graph's export failing, then an upload: the upload working again, the status bar shows the
// graph's failure in its place.
TEST_F(FailureReportsTest, AnUploadThatWorksAgainLeavesAnExportsFailureOnTheStatusBar) {
    QTemporaryDir remote;
    FtpServerProcess server(remote.path(), QStringLiteral("tester"), QStringLiteral("right"));
    ASSERT_GT(server.port(), 0);
    const QString graphFailure = ExportTheGraphIntoAFifo();
    m_view.OnStart();
    ASSERT_TRUE(WaitUntil([&] { return TimesSaid(graphFailure) == 1; })) << qPrintable(UserWindow());
    UploadThePageTo(server.port(), QStringLiteral("wrong"));
    ASSERT_TRUE(WaitUntil([&] { return StatusBar().startsWith(QStringLiteral("FTP upload failed: ")); }));
    m_view.m_strFtpPassword = QStringLiteral("right");
    ASSERT_TRUE(WaitUntil([&] { return QFile::exists(remote.filePath(QStringLiteral("status.htm"))); }));
    ASSERT_TRUE(WaitUntil([&] { return !m_view.IsFtpUploadRunning(); }));
    ExpectTheGraphsFailureShownUntilItEnds(graphFailure);
}

// The map's folder gone, a file in its place, gone again: each reason is said as it comes, the one
// that comes back said again (once), and the status bar says the present one.
TEST_F(FailureReportsTest, AReasonThatComesBackAfterAnotherIsSaidAgain) {
    const QString folder = m_folder.filePath(QStringLiteral("Exports"));
    const QString map = folder + QStringLiteral("/map.png");
    m_view.m_strMapExportPath = map;
    m_view.m_nExportInterval = 1;
    const QString failure = QStringLiteral("Unable to write the exported map: cannot write %1: %2");
    const QString gone = failure.arg(map, QStringLiteral("No such file or directory"));
    const QString notAFolder = failure.arg(map, QStringLiteral("Not a directory"));
    m_view.OnStart();
    ASSERT_TRUE(WaitUntil([&] { return TimesSaid(gone) == 1; })) << qPrintable(UserWindow());
    ASSERT_TRUE(WriteFileBytes(folder, "not a folder"));
    ASSERT_TRUE(WaitUntil([&] { return TimesSaid(notAFolder) == 1; })) << qPrintable(UserWindow());
    EXPECT_EQ(StatusBar().toStdString(), notAFolder.toStdString());

    ASSERT_TRUE(QFile::remove(folder));
    ASSERT_TRUE(TriedAgain(m_view.m_dwLastExport)());
    EXPECT_EQ(TimesSaid(gone), 2) << qPrintable(UserWindow());
    EXPECT_EQ(TimesSaid(notAFolder), 1) << qPrintable(UserWindow());
    EXPECT_EQ(StatusBar().toStdString(), gone.toStdString());
}

// The data log, failing, has its path cleared in Options: its failure has ended. It is not on the
// status bar after Stop and Start, nor when the graph's export, failing too, works again.
TEST_F(FailureReportsTest, AnOutputSwitchedOffInOptionsNoLongerStands) {
    const QString log = m_folder.filePath(QStringLiteral("Gone/gpslog.log"));
    m_view.m_strLogPath = log;
    const QString logFailure =
        QStringLiteral("Unable to open log file: %1: No such file or directory").arg(log);
    const QString graphFailure = ExportTheGraphIntoAFifo();
    m_view.OnStart();
    ASSERT_TRUE(WaitUntil([&] { return TimesSaid(logFailure) == 1 && TimesSaid(graphFailure) == 1; }))
        << qPrintable(UserWindow());
    UseOptionsSheet(m_frame, [](COptionsSheet& sheet) {
        constexpr std::size_t kPathsPage = 0;
        constexpr int kDataLogPath = 1026; // the page's "Data log file"
        sheet.Pages()[kPathsPage]->Control<QLineEdit>(kDataLogPath)->clear();
        PressSheetButton(sheet, "IDOK");
    });
    ASSERT_TRUE(m_view.m_strLogPath.isEmpty());
    m_frame.OnCmdMsg(ID_STOP);
    m_frame.OnCmdMsg(ID_START);
    ASSERT_TRUE(WaitUntil([&] { return m_view.IsRunning(); }));
    ExpectTheGraphsFailureShownUntilItEnds(graphFailure);
    EXPECT_EQ(TimesSaid(logFailure), 1) << qPrintable(UserWindow());
}

// A data log whose trims' syncs fail, or whose trims in place go on without their record: said
// once, and kept on the status bar while the log's lines go on and its next trims fail the same
// way; only a trim whose syncs work and that kept its record ends it, after which it is said again.
TEST_F(FailureReportsTest, ATrimWhoseSyncsFailedStandsUntilATrimSyncs) {
    const QString log = m_folder.filePath(QStringLiteral("gpslog.log"));
    const QString reason = QStringLiteral("Input/output error");
    const platform::TrimSyncs synced{true, {}};
    for (const auto& [failing, said] :
         {std::pair{platform::TrimSyncs{true, reason},
                    QStringLiteral("Unable to sync the trim of %1 to the disk: %2").arg(log, reason)},
          std::pair{platform::TrimSyncs{true, {}, reason},
                    QStringLiteral("Unable to record the trim of %1: %2").arg(log, reason)}}) {
        for (int times = 1; times <= 2; ++times) {
            m_view.ReportFileWrite(ReportedOutput::DataLog, true, {}, log, {}, {}, failing);
            m_view.ReportFileWrite(ReportedOutput::DataLog, true, {}, log, {}); // a line, no trim
            m_view.ReportFileWrite(ReportedOutput::DataLog, true, {}, log, {}, {}, failing);
            EXPECT_EQ(TimesSaid(said), times) << qPrintable(UserWindow());
            EXPECT_TRUE(StatusBar().startsWith(said)) << qPrintable(StatusBar());
            m_view.ReportFileWrite(ReportedOutput::DataLog, true, {}, log, {}, {}, synced);
            EXPECT_EQ(StatusBar(), QString());
        }
    }
    // Both at once, trim after trim: each reason stands apart and is said once.
    const platform::TrimSyncs both{true, reason, reason};
    for (int trims = 0; trims < 3; ++trims)
        m_view.ReportFileWrite(ReportedOutput::DataLog, true, {}, log, {}, {}, both);
    EXPECT_EQ(TimesSaid(QStringLiteral("Unable to sync the trim of %1 to the disk: %2").arg(log, reason)), 3)
        << qPrintable(UserWindow());
    EXPECT_EQ(TimesSaid(QStringLiteral("Unable to record the trim of %1: %2").arg(log, reason)), 3)
        << qPrintable(UserWindow());
}

// The user-window file's trim made by a line that says a failure (which is no sign that the file
// works) still tells of its syncs: one that worked ends the file's standing sync failure.
TEST_F(FailureReportsTest, ATrimMadeByAFailureLineEndsTheUserWindowFilesSyncFailure) {
    constexpr qint64 kLimit = 64 * 1024 * 1024; // the user-window file's
    constexpr qint64 kRoomLeft = 10;            // less than any line
    const QString user = m_folder.filePath(QStringLiteral("gpsuser.txt"));
    m_view.m_strUserPath = user;
    m_view.m_bUserToFile = true;
    const platform::TrimSyncs unsynced{true, QStringLiteral("Input/output error")};
    const QString said =
        QStringLiteral("Unable to sync the trim of %1 to the disk: Input/output error").arg(user);
    m_view.ReportFileWrite(ReportedOutput::UserWindowFile, true, {}, user, {}, {}, unsynced);
    ASSERT_EQ(TimesSaid(said), 1);
    { // the file too near its limit for another line, its oldest part a hole
        QFile file(user);
        ASSERT_TRUE(file.open(QIODevice::ReadWrite));
        ASSERT_TRUE(file.resize(kLimit - kRoomLeft));
    }
    m_view.ReportFailure(ReportedOutput::ExportedGraph, QStringLiteral("Unable to write the exported graph"));
    ASSERT_LT(QFileInfo(user).size(), kLimit - kRoomLeft) << "the failure line did not trim the file";
    m_view.ReportFileWrite(ReportedOutput::UserWindowFile, true, {}, user, {}, {}, unsynced);
    EXPECT_EQ(TimesSaid(said), 2) << qPrintable(UserWindow());
}

// A process file-size limit (RLIMIT_FSIZE) for the scope: writes that would make a file longer fail
// with EFBIG, and nothing else changes.
class FileSizeLimit {
public:
    explicit FileSizeLimit(qint64 bytes) {
        ::getrlimit(RLIMIT_FSIZE, &m_before);
        m_signal = std::signal(SIGXFSZ, SIG_IGN); // the error, not the signal's ending the process
        const rlimit limit{static_cast<rlim_t>(bytes), m_before.rlim_max};
        m_set = ::setrlimit(RLIMIT_FSIZE, &limit) == 0;
    }
    ~FileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &m_before);
        std::signal(SIGXFSZ, m_signal);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;
    bool Set() const { return m_set; }

private:
    rlimit m_before{};
    void (*m_signal)(int) = SIG_DFL;
    bool m_set = false;
};

// A data log line that the disk refuses after the log's trim, whose syncs worked, still ends the
// log's standing sync failure, so that the next trim whose syncs fail is said again. The file-size
// limit lets the trim keep the log's newest part and refuses the line after it.
TEST_F(FailureReportsTest, ATrimWhoseLineIsRefusedStillEndsTheLogsSyncFailure) {
    constexpr int kLimitKb = 16;
    const QString log = m_folder.filePath(QStringLiteral("gpslog.log"));
    const platform::TrimRule rule = LogTrimRule(kLimitKb);
    QByteArray lines;
    for (int i = 0; lines.size() <= rule.triggerBytes; ++i)
        lines += QByteArray::number(1000000000 + i) + "\t2.4979\t\t\t\t\t\t\t\t\r\n";
    ASSERT_TRUE(WriteFileBytes(log, lines));
    QFile file(log);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const platform::CutPoint cut = platform::FindCutPoint(file.handle(), lines.size(), rule);
    ASSERT_TRUE(cut.offset);
    const qint64 kept = lines.size() - *cut.offset;
    m_view.m_strLogPath = log;
    m_view.m_nLogMaxSize = kLimitKb;
    const platform::TrimSyncs unsynced{true, QStringLiteral("Input/output error")};
    const QString said = QStringLiteral("Unable to sync the trim of %1 to the disk: ").arg(log);
    m_view.ReportFileWrite(ReportedOutput::DataLog, true, {}, log, {}, {}, unsynced);
    ASSERT_EQ(TimesSaid(said), 1);
    {
        const FileSizeLimit limit(kept + 1);
        ASSERT_TRUE(limit.Set());
        m_view.UpdateLogFile();
    }
    ASSERT_EQ(QFileInfo(log).size(), kept) << "not trimmed, or the line appended";
    EXPECT_EQ(TimesSaid(QStringLiteral("Unable to write log file %1: ").arg(log)), 1)
        << qPrintable(UserWindow());
    m_view.ReportFileWrite(ReportedOutput::DataLog, true, {}, log, {}, {}, unsynced);
    EXPECT_EQ(TimesSaid(said), 2) << qPrintable(UserWindow());
}

// The trim of a data log or track file without a size limit fails (it only finishes a move begun
// under an earlier limit): that is said without a limit it does not have.
TEST_F(FailureReportsTest, ATrimFailureOfAFileWithoutALimitNamesNone) {
    const QString reason =
        QStringLiteral("Input/output error, reading the record of an interrupted trim in place");
    for (const auto output : {ReportedOutput::DataLog, ReportedOutput::TrackFile}) {
        const QString path = m_folder.filePath(
            output == ReportedOutput::DataLog ? QStringLiteral("gpslog.log") : QStringLiteral("gpsdmp.bin"));
        m_view.m_nLogMaxSize = 0;
        m_view.m_nTrackMaxSize = 0;
        m_view.ReportFileWrite(output, true, {}, path, {}, reason);
        EXPECT_EQ(TimesSaid(QStringLiteral("Unable to trim %1: %2").arg(path, reason)), 1)
            << qPrintable(UserWindow());
        m_view.m_nLogMaxSize = m_view.m_nTrackMaxSize = 16;
        m_view.ReportFileWrite(output, true, {}, path, {}, reason);
        EXPECT_EQ(TimesSaid(QStringLiteral("Unable to trim %1 to its size limit: %2").arg(path, reason)), 1);
    }
}

// The user-window file on a disk with no room but the slack of the file's last page, the operator's
// commands answered far too long: the replies find no room there while the short lines that say so
// still fit. Each failure is said once for the whole run, as the file records it: the line that
// says a failure (of that file or of another on the same disk) is no sign that the file works, and
// at its size limit, where the trim finds no room for its copy either, the two failures of the file
// come by turns without being said again.
class FullDiskUserFileTest : public FailureReportsTest, public ::testing::WithParamInterface<bool> {};

TEST_P(FullDiskUserFileTest, EachFailureIsSaidOnce) {
    const bool atItsLimit = GetParam();
    SmallFileSystem disk(256 * 1024);
    if (!disk.Mounted())
        GTEST_SKIP() << disk.Reason();
    constexpr qint64 kLimit = 64 * 1024 * 1024; // the user-window file's
    constexpr qint64 kSlack = 3500;             // free in the file's last page
    QByteArray lines;
    while (lines.size() < 4 * SmallFileSystem::kPage)
        lines += "an old line of the user window\r\n";
    lines.truncate(4 * SmallFileSystem::kPage - kSlack);
    // At its limit the oldest lines are a hole, so that the trim needs room.
    const qint64 start = atItsLimit ? kLimit + kSlack - lines.size() : 0;
    ASSERT_TRUE(disk.WriteAfterHole(QStringLiteral("gpsuser.txt"), start, lines));
    const QString user = disk.FilePath(QStringLiteral("gpsuser.txt"));
    m_view.m_strUserPath = user;
    m_view.m_bUserToFile = true;
    m_receiver.setMisbehaviour(sim::Misbehaviour::Overlong);
    ASSERT_TRUE(disk.LeaveFree(0));

    const auto timesSaid = [&](const QString& text) {
        return ReadFileBytes(user).mid(start + lines.size()).count((" UTC " + text).toLatin1());
    };
    const QString writeFailure =
        QStringLiteral("Unable to write the user-window file %1: No space left on device").arg(user);
    constexpr int kCommands = 6;
    for (int i = 0; i < kCommands; ++i)
        m_view.m_listCommands << QStringLiteral("*IDN?\r");
    m_view.OnStart();
    ASSERT_TRUE(WaitUntil([&] { return timesSaid(writeFailure) > 0; }));
    // Another file on the disk fails after it.
    m_view.m_strLogPath = disk.FilePath(QStringLiteral("gpslog.log"));
    ASSERT_TRUE(WaitUntil([&] { return m_view.m_listCommands.isEmpty(); }));
    ASSERT_TRUE(TriedAgain(m_view.m_dwLastLog)()); // the last reply in, and the log tried since
    m_view.OnStop();

    const QByteArray written = ReadFileBytes(user).mid(start + lines.size());
    EXPECT_EQ(timesSaid(writeFailure), 1) << written.constData();
    EXPECT_EQ(timesSaid(QStringLiteral("Unable to write log file ")), 1) << written.constData();
    EXPECT_EQ(timesSaid(QStringLiteral("Unable to trim ")), atItsLimit ? 1 : 0) << written.constData();
}

INSTANTIATE_TEST_SUITE_P(UnderOrAtItsLimit, FullDiskUserFileTest, ::testing::Bool());
