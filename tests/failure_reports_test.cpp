// Outputs that fail at every interval while the program polls (the data log, the HTML page with its
// text file and pictures, the FTP upload), with the diagnostic switches as they come: each failure
// is said once in the user window and on the status bar, and said again only after that output
// worked in between. The main frame polls the simulated receiver on a pseudo-terminal.
#include "app/MainFrame.h"
#include "controls/DlgBar.h"
#include "support/FileBytes.h"
#include "support/FtpServerProcess.h"
#include "support/SimulatedPolling.h"
#include "support/SmallFileSystem.h"
#include "support/WithoutFileOverride.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <functional>
#include <gtest/gtest.h>

namespace {

constexpr int kWaitMs = 30000;
constexpr auto kReadOnlyFolder = QFileDevice::ReadOwner | QFileDevice::ExeOwner;
constexpr auto kWritableFolder = kReadOnlyFolder | QFileDevice::WriteOwner;

class FailureReportsTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(QTest::qWaitFor([this] { return m_view.m_bInitialised; }, kWaitMs));
        ASSERT_TRUE(m_receiver.start());
        PollSimulatedHewlettPackard(m_view, m_receiver);
        // Every output at every status step; the switches stay as they come.
        m_view.m_nLogInterval = 1;
        m_view.m_nStatusInterval = 1;
        m_view.m_strLogPath.clear();
        m_view.m_bHtmlStatus = false;
        ASSERT_FALSE(m_view.m_bComsDebug || m_view.m_bDebugEnable || m_view.m_bFtpDebug);
    }
    void TearDown() override { m_view.OnStop(); }

    QString UserWindow() const { return m_frame.m_wndDlgBar.UserWindow()->toPlainText(); }
    QString StatusBar() const { return m_frame.m_wndLinkStatus->text(); }
    qsizetype TimesSaid(const QString& text) const { return UserWindow().count(text); }
    bool WaitUntil(const std::function<bool()>& done) { return QTest::qWaitFor(done, kWaitMs); }
    // Until the output stamped in `last` has been tried `times` more times.
    bool WaitForTries(const DWORD& last, int times) {
        for (int i = 0; i < times; ++i) {
            const DWORD before = last;
            if (!WaitUntil([&] { return last != before; }))
                return false;
        }
        return true;
    }
    // The failure said once while the output kept failing: in the user window and on the status
    // bar, `times` times in all.
    void ExpectSaid(const QString& failure, qsizetype times) {
        EXPECT_EQ(TimesSaid(failure), times) << qPrintable(UserWindow());
        EXPECT_EQ(StatusBar(), failure);
    }

    QTemporaryDir m_folder;
    sim::ReceiverSimulator m_receiver{sim::Family::HewlettPackard};
    CMainFrame m_frame;
    CChildView& m_view = m_frame.m_wndView;
};

} // namespace

// A full disk: the write's failure with the system's reason; once room comes back the log is
// written and the status bar cleared; a full disk again is said again.
TEST_F(FailureReportsTest, ADataLogOnAFullDisk) {
    SmallFileSystem disk(64 * 1024);
    if (!disk.Mounted())
        GTEST_SKIP() << disk.Reason();
    const QString log = disk.FilePath(QStringLiteral("gpslog.log"));
    m_view.m_strLogPath = log;
    // Room for 10 bytes of a record and no more.
    const auto fillUpTo = [&](qint64 pages) {
        return WriteFileBytes(log, QByteArray(pages * SmallFileSystem::kPage - 10, '\n')) &&
               disk.LeaveFree(0);
    };
    ASSERT_TRUE(fillUpTo(1));
    const QString failure = QStringLiteral("Unable to write log file %1: No space left on device").arg(log);

    m_view.OnStart();
    ASSERT_TRUE(WaitUntil([&] { return TimesSaid(failure) > 0; })) << qPrintable(UserWindow());
    ASSERT_TRUE(WaitForTries(m_view.m_dwLastLog, 3));
    ExpectSaid(failure, 1);
    EXPECT_FALSE(UserWindow().contains(QStringLiteral("Unable to write log file: "))); // switches off

    disk.FreeAll();
    ASSERT_TRUE(WaitUntil([&] { return ReadFileBytes(log).endsWith("\r\n"); }));
    EXPECT_EQ(StatusBar(), QString());
    ASSERT_TRUE(fillUpTo(2));
    ASSERT_TRUE(WaitUntil([&] { return TimesSaid(failure) == 2; })) << qPrintable(UserWindow());
    ASSERT_TRUE(WaitForTries(m_view.m_dwLastLog, 3));
    ExpectSaid(failure, 2);
}

// A folder made read-only: the log cannot be created there.
TEST_F(FailureReportsTest, ADataLogInAFolderMadeReadOnly) {
    const QString folder = m_folder.filePath(QStringLiteral("Logs"));
    ASSERT_TRUE(QDir().mkpath(folder));
    const QString log = folder + QStringLiteral("/gpslog.log");
    m_view.m_strLogPath = log;
    const QString failure = QStringLiteral("Unable to open log file: %1: Permission denied").arg(log);
    WithoutFileOverride asAUser;
    ASSERT_TRUE(QFile::setPermissions(folder, kReadOnlyFolder));

    m_view.OnStart();
    ASSERT_TRUE(WaitUntil([&] { return TimesSaid(failure) > 0; })) << qPrintable(UserWindow());
    ASSERT_TRUE(WaitForTries(m_view.m_dwLastLog, 3));
    ExpectSaid(failure, 1);

    ASSERT_TRUE(QFile::setPermissions(folder, kWritableFolder));
    ASSERT_TRUE(WaitUntil([&] { return QFile::exists(log); }));
    EXPECT_EQ(StatusBar(), QString());
    ASSERT_TRUE(QFile::setPermissions(folder, kReadOnlyFolder));
    ASSERT_TRUE(QFile::setPermissions(log, QFileDevice::ReadOwner));
    ASSERT_TRUE(WaitUntil([&] { return TimesSaid(failure) == 2; })) << qPrintable(UserWindow());
    ASSERT_TRUE(WaitForTries(m_view.m_dwLastLog, 3));
    ExpectSaid(failure, 2);
    QFile::setPermissions(folder, kWritableFolder);
}

// A page folder that refuses writes: the page, its text file and each picture said once; all
// written once the folder takes them; each said again when the folder and its files refuse them.
TEST_F(FailureReportsTest, APageInAFolderThatRefusesWrites) {
    const QString web = m_folder.filePath(QStringLiteral("Web"));
    ASSERT_TRUE(QDir().mkpath(web));
    m_view.m_strHtmlPath = web + QStringLiteral("/status.htm");
    m_view.m_strImageFileType = QStringLiteral("png");
    m_view.m_bHtmlStatus = true;
    const QStringList files = {web + QStringLiteral("/status.htm"), web + QStringLiteral("/status.txt"),
                               web + QStringLiteral("/status2.png"), web + QStringLiteral("/status1.png")};
    const QStringList failures = {QStringLiteral("Unable to open HTML file: %1: ").arg(files[0]),
                                  QStringLiteral("Unable to write the page's text file %1: ").arg(files[1]),
                                  QStringLiteral("Unable to write the page's map picture: "),
                                  QStringLiteral("Unable to write the page's graph picture: ")};
    const auto expectEachSaid = [&](qsizetype times) {
        for (const QString& failure : failures)
            EXPECT_EQ(TimesSaid(failure), times) << qPrintable(failure) << "\n" << qPrintable(UserWindow());
        EXPECT_TRUE(StatusBar().startsWith(failures[0])) << qPrintable(StatusBar());
    };
    WithoutFileOverride asAUser;
    ASSERT_TRUE(QFile::setPermissions(web, kReadOnlyFolder));

    m_view.OnStart();
    ASSERT_TRUE(WaitUntil([&] { return TimesSaid(failures[0]) > 0; })) << qPrintable(UserWindow());
    ASSERT_TRUE(WaitForTries(m_view.m_dwLastHtml, 3));
    expectEachSaid(1);

    ASSERT_TRUE(QFile::setPermissions(web, kWritableFolder));
    ASSERT_TRUE(WaitUntil([&] {
        return std::all_of(files.begin(), files.end(),
                           [](const QString& file) { return QFile::exists(file); });
    }));
    ASSERT_TRUE(WaitForTries(m_view.m_dwLastHtml, 1));
    EXPECT_EQ(StatusBar(), QString());
    for (const QString& file : files)
        ASSERT_TRUE(QFile::setPermissions(file, QFileDevice::ReadOwner));
    ASSERT_TRUE(QFile::setPermissions(web, kReadOnlyFolder));
    ASSERT_TRUE(WaitUntil([&] { return TimesSaid(failures[0]) == 2; })) << qPrintable(UserWindow());
    ASSERT_TRUE(WaitForTries(m_view.m_dwLastHtml, 3));
    expectEachSaid(2);
    QFile::setPermissions(web, kWritableFolder);
}

// A refused login at every run: said once; a run that succeeds clears it; refused again, said
// again.
TEST_F(FailureReportsTest, AnFtpUploadThatFails) {
    setenv("no_proxy", "127.0.0.1", 1);
    QTemporaryDir remote;
    FtpServerProcess server(remote.path(), QStringLiteral("tester"), QStringLiteral("right"));
    ASSERT_GT(server.port(), 0);
    const QString web = m_folder.filePath(QStringLiteral("Web"));
    ASSERT_TRUE(QDir().mkpath(web));
    ASSERT_TRUE(WriteFileBytes(web + QStringLiteral("/status.css"), "body {}\n"));
    m_view.m_strHtmlPath = web + QStringLiteral("/status.htm");
    m_view.m_strImageFileType.clear();
    m_view.m_bHtmlStatus = true;
    m_view.m_strFtpServer = QStringLiteral("127.0.0.1:%1").arg(server.port());
    m_view.m_strFtpAccount = QStringLiteral("tester");
    m_view.m_strFtpPassword = QStringLiteral("wrong");
    m_view.m_strFtpDirectory.clear();
    m_view.m_nFtpInterval = 1;
    m_view.m_nFtpTimeout = 5;
    const QString failure = QStringLiteral("FTP upload failed: ");
    // Until the server has seen `count` logins.
    const auto waitForLogins = [&](qsizetype count) {
        return WaitUntil([&] {
            return server.WaitFor([](const QStringList&) { return true; }, 0)
                       .count(QStringLiteral("CMD PASS")) >= count;
        });
    };

    m_view.OnStart();
    ASSERT_TRUE(waitForLogins(3));
    ASSERT_TRUE(WaitUntil([&] { return !m_view.IsFtpUploadRunning(); }));
    EXPECT_EQ(TimesSaid(failure), 1) << qPrintable(UserWindow());
    EXPECT_TRUE(StatusBar().startsWith(failure)) << qPrintable(StatusBar());
    EXPECT_TRUE(StatusBar().endsWith(QStringLiteral(" FTP timeouts set OK "))) << qPrintable(StatusBar());
    EXPECT_TRUE(StatusBar().contains(QStringLiteral("530"))) << qPrintable(StatusBar());

    m_view.m_strFtpPassword = QStringLiteral("right");
    ASSERT_TRUE(WaitUntil([&] { return StatusBar().isEmpty(); }));
    EXPECT_TRUE(QFile::exists(remote.filePath(QStringLiteral("status.htm"))));
    m_view.m_strFtpPassword = QStringLiteral("wrong");
    const qsizetype logins =
        server.WaitFor([](const QStringList&) { return true; }, 0).count(QStringLiteral("CMD PASS"));
    ASSERT_TRUE(waitForLogins(logins + 3));
    ASSERT_TRUE(WaitUntil([&] { return !m_view.IsFtpUploadRunning(); }));
    EXPECT_EQ(TimesSaid(failure), 2) << qPrintable(UserWindow());
    EXPECT_TRUE(StatusBar().startsWith(failure)) << qPrintable(StatusBar());
}
