#include "app/ChildView.h"
#include "app/DiagnosticText.h"
#include "app/Globals.h"
#include "app/MainFrame.h"
#include "controls/DlgBar.h"
#include "platform/Paths.h"
#include "platform/TickCount.h"
#include "support/FileBytes.h"
#include "support/FixedWallClock.h"
#include "support/SimulatedPolling.h"
#include "support/SmallFileSystem.h"
#include "support/WaitBounds.h"

#include <QFile>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTest>
#include <cstdlib>
#include <ctime>
#include <gtest/gtest.h>

namespace {

QByteArray FileBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// 5 March 2024 21:07:09 UTC, shown in a fixed zone two hours east of UTC without summer time.
class DiagnosticLinesTest : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("TZ", "XYZ-2", 1);
        tzset();
        platform::SetWallClock(m_clock);
        ASSERT_TRUE(m_folder.isValid());
        m_view.m_strDebugPath = m_folder.filePath(QStringLiteral("gpsdebug.txt"));
        m_view.m_strUserPath = m_folder.filePath(QStringLiteral("gpsuser.txt"));
    }
    void TearDown() override { platform::SetWallClock(nullptr); }

    std::shared_ptr<FixedWallClock> m_clock = std::make_shared<FixedWallClock>(1709672829);
    QTemporaryDir m_folder;
    CChildView m_view;
};

} // namespace

TEST(DiagnosticText, UserLinesEndInOneCrLfUnlessTheirFirstCrLfIsTheirEnd) {
    std::tm time{};
    ASSERT_TRUE(strptime("2024-12-31 00:05:09", "%Y-%m-%d %H:%M:%S", &time));
    const QString stamp = QStringLiteral(" 00:05:09 31/12/24 UTC ");
    EXPECT_EQ(UserLine(time, QString()), stamp + QStringLiteral("\r\n"));
    EXPECT_EQ(UserLine(time, QStringLiteral("one\r\n")), stamp + QStringLiteral("one\r\n"));
    EXPECT_EQ(UserLine(time, QStringLiteral("a\r\nb\r\n")), stamp + QStringLiteral("a\r\nb\r\n\r\n"));
    EXPECT_EQ(UserLine(time, QStringLiteral("a\r\nb")), stamp + QStringLiteral("a\r\nb\r\n"));
    EXPECT_EQ(UserLine(time, QStringLiteral("lone\r")), stamp + QStringLiteral("lone\r\r\n"));
    EXPECT_EQ(DebugLine(time, QString()), QStringLiteral("00:05:09 31/12/24 \r\n"));
}

TEST_F(DiagnosticLinesTest, FilesGetStampedLinesByteForByte) {
    ASSERT_FALSE(QFile::exists(m_view.m_strDebugPath));
    m_view.m_bUserToFile = true;
    const QString text =
        QStringLiteral("T=25") + QChar(0xB0) + QStringLiteral("C ") + QChar(0x2126) + QChar(0x0141);
    m_view.DebugToFile(text);
    m_view.UserWindowLine(text);
    m_clock->set(1709672829 + 3600 * 3); // past local midnight
    m_view.DebugToFile(QStringLiteral("next"));
    m_view.UserWindowLine(QStringLiteral("next"));

    EXPECT_EQ(FileBytes(m_view.m_strDebugPath), QByteArray("23:07:09 05/03/24 T=25\xB0"
                                                           "C &A\r\n02:07:09 06/03/24 next\r\n"));
    // The user lines' stamp is UTC, as it says; the debug file's unlabelled one is local.
    EXPECT_EQ(FileBytes(m_view.m_strUserPath), QByteArray(" 21:07:09 05/03/24 UTC T=25\xB0"
                                                          "C &A\r\n 00:07:09 06/03/24 UTC next\r\n"));
}

TEST_F(DiagnosticLinesTest, UserWindowShowsEveryLineWhetherOrNotTheFileGetsIt) {
    CvDlgBar bar;
    m_view.m_pDlgBar = &bar;
    m_view.m_bUserToFile = false;
    m_view.UserWindowLine(QStringLiteral("first"));
    m_view.UserWindowLine(QStringLiteral("second\r\n"));
    EXPECT_FALSE(QFile::exists(m_view.m_strUserPath));
    EXPECT_EQ(bar.UserWindow()->toPlainText(),
              QStringLiteral(" 21:07:09 05/03/24 UTC first\n 21:07:09 05/03/24 UTC second\n"));

    m_view.m_bUserToFile = true;
    m_view.AppendUserFile(QStringLiteral("raw traffic\r"));
    EXPECT_EQ(FileBytes(m_view.m_strUserPath), QByteArray("raw traffic\r"));
}

// The program's lines among the receiver's traffic (as the traffic echo puts it) start lines of
// their own in the window and the file, and the traffic stays as it came: a reply cut by a line
// goes on after it, and a line after a line end comes without a blank line.
TEST_F(DiagnosticLinesTest, TheProgramsLinesStartALineOfTheirOwnAmongTheTraffic) {
    CvDlgBar bar;
    m_view.m_pDlgBar = &bar;
    m_view.m_bUserToFile = true;
    const auto traffic = [&](const char* text) {
        bar.AppendToUserWindow(QString::fromLatin1(text));
        m_view.AppendUserFile(QString::fromLatin1(text));
    };
    traffic("HEWLETT-PACKARD,Z38");
    m_view.UserWindowLine(QStringLiteral("cut"));
    traffic("16A\r\nscpi > ");
    m_view.UserWindowLine(QStringLiteral("after the prompt"));
    m_view.UserWindowLine(QStringLiteral("after a line end"));
    traffic("\r");
    m_view.UserWindowLine(QStringLiteral("after a CR"));
    traffic("\nend");
    const QByteArray stamp = " 21:07:09 05/03/24 UTC ";
    const QByteArray expected = "HEWLETT-PACKARD,Z38\r\n" + stamp + "cut\r\n16A\r\nscpi > \r\n" + stamp +
                                "after the prompt\r\n" + stamp + "after a line end\r\n\r\n" + stamp +
                                "after a CR\r\n\nend";
    EXPECT_EQ(FileBytes(m_view.m_strUserPath), expected);
    EXPECT_EQ(bar.UserWindow()->toPlainText(),
              QString::fromLatin1(expected).replace(QStringLiteral("\r\n"), "\n"));
}

TEST_F(DiagnosticLinesTest, AnUnwritableFileLosesTheLineAndTheNextLineStillArrives) {
    m_view.m_bUserToFile = true;
    for (const QString& path :
         {m_folder.filePath(QStringLiteral("missing/gpsdebug.txt")), m_folder.path(), QString()}) {
        m_view.m_strDebugPath = path;
        m_view.m_strUserPath = path;
        m_view.DebugToFile(QStringLiteral("lost"));
        m_view.UserWindowLine(QStringLiteral("lost"));
    }
    EXPECT_FALSE(QFile::exists(m_folder.filePath(QStringLiteral("missing"))));

    m_view.m_strDebugPath = m_folder.filePath(QStringLiteral("gpsdebug.txt"));
    m_view.DebugToFile(QStringLiteral("kept"));
    EXPECT_EQ(FileBytes(m_view.m_strDebugPath), QByteArray("23:07:09 05/03/24 kept\r\n"));
}

// A file that would pass its limit loses its oldest lines, whole, and keeps the newest in order.
TEST(DiagnosticFiles, AFullFileDropsItsOldestWholeLines) {
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("gpsdebug.txt"));
    const DiagnosticFileLimits limits{100, 50};
    for (int i = 0; i < 40; ++i)
        ASSERT_TRUE(AppendNarrowed(path, QStringLiteral("line %1\r\n").arg(i, 2), limits));
    const QByteArray bytes = FileBytes(path);
    EXPECT_LE(bytes.size(), limits.maxBytes);
    EXPECT_TRUE(bytes.startsWith("line ")) << bytes.constData();
    EXPECT_TRUE(bytes.endsWith("line 38\r\nline 39\r\n")) << bytes.constData();
    const QList<QByteArray> lines = bytes.split('\n');
    for (qsizetype i = 1; i + 1 < lines.size(); ++i)
        EXPECT_EQ(lines[i].mid(5, 2).toInt(), lines[i - 1].mid(5, 2).toInt() + 1);
}

// Numbered whole lines, `length` bytes in all (the last one padded to fit).
QByteArray NumberedLines(qint64 length) {
    QByteArray lines;
    for (int i = 0; lines.size() + 22 <= length; ++i)
        lines += QByteArray::number(1000 + i) + " line\r\n";
    return lines + QByteArray(length - lines.size() - 2, 'x') + "\r\n";
}

// On a nearly full disk the user-window and debug files keep whole lines in order: a line the
// disk cuts short is taken back, and a trim that cannot be finished keeps the newest lines whole.
TEST(DiagnosticFiles, ANearlyFullDiskLeavesWholeLinesInOrder) {
    SmallFileSystem disk(64 * 1024);
    if (!disk.Mounted())
        GTEST_SKIP() << disk.Reason();
    const QString path = disk.FilePath(QStringLiteral("gpsuser.txt"));
    const QByteArray old = NumberedLines(SmallFileSystem::kPage - 10); // room for 10 bytes in its page
    ASSERT_TRUE(WriteFileBytes(path, old));
    ASSERT_TRUE(disk.LeaveFree(0));
    QString reason;
    EXPECT_FALSE(AppendNarrowed(path, QStringLiteral(" 21:07:09 05/03/24 UTC next\r\n"), {}, &reason));
    EXPECT_EQ(reason, QStringLiteral("No space left on device"));
    EXPECT_EQ(FileBytes(path), old);
    disk.FreeAll();
    ASSERT_TRUE(AppendNarrowed(path, QStringLiteral("next\r\n")));
    EXPECT_EQ(FileBytes(path), old + "next\r\n");

    // The oldest lines are a hole: there is no room for a copy of the newest, and moving them over
    // the hole in place needs room too. The move stops part-way, the disk full; the newest lines
    // stay whole, and the line that no longer fits says what the trim left.
    const QByteArray lines = NumberedLines(2 * SmallFileSystem::kPage);
    ASSERT_TRUE(disk.WriteAfterHole(QStringLiteral("gpsuser.txt"), 3 * SmallFileSystem::kPage, lines));
    const QByteArray before = FileBytes(path);
    const DiagnosticFileLimits limits{before.size(), lines.size()};
    ASSERT_TRUE(disk.LeaveFree(SmallFileSystem::kPage));
    auto ticks = std::make_shared<platform::ManualTickSource>(0);
    platform::SetTickSource(ticks);
    QString trimFailure;
    EXPECT_FALSE(AppendNarrowed(path, QStringLiteral("next\r\n"), limits, &reason, &trimFailure));
    EXPECT_TRUE(
        trimFailure.startsWith(QStringLiteral("No space left on device, part-way through a trim in place")))
        << qPrintable(trimFailure);
    EXPECT_EQ(reason, QStringLiteral("No space left on device (its trim failed too: %1)").arg(trimFailure));
    const QByteArray left = FileBytes(path);
    EXPECT_EQ(left.size(), before.size());
    EXPECT_TRUE(left.endsWith(lines));
    disk.FreeAll();
    ticks->advance(60 * 1000); // a trim that failed is tried again a minute later
    ASSERT_TRUE(AppendNarrowed(path, QStringLiteral("last\r\n"), limits, nullptr, &trimFailure));
    EXPECT_EQ(trimFailure, QString());
    const qsizetype cut = before.indexOf('\n', before.size() - lines.size() - 1) + 1;
    EXPECT_EQ(FileBytes(path), before.mid(cut) + "last\r\n");
    platform::SetTickSource(nullptr);
}

// A file that cannot be written is named once, with the reason, in the user window; the lines
// that follow do not repeat it, and a file written again is reported again when it next fails.
TEST_F(DiagnosticLinesTest, AnUnwritableFileIsReportedOnceWithItsReason) {
    CvDlgBar bar;
    m_view.m_pDlgBar = &bar;
    m_view.m_bUserToFile = true;
    m_view.m_strDebugPath = m_folder.filePath(QStringLiteral("missing/gpsdebug.txt"));
    for (int i = 0; i < 3; ++i)
        m_view.DebugToFile(QStringLiteral("lost"));
    const QString said = QStringLiteral("Unable to write the debug file %1: No such file or directory")
                             .arg(m_view.m_strDebugPath);
    EXPECT_EQ(bar.UserWindowText().count(said), 1) << qPrintable(bar.UserWindowText());
    EXPECT_EQ(FileBytes(m_view.m_strUserPath).count(said.toLatin1()), 1);

    m_view.m_strUserPath = m_folder.filePath(QStringLiteral("missing/gpsuser.txt"));
    for (int i = 0; i < 3; ++i)
        m_view.UserWindowLine(QStringLiteral("shown"));
    EXPECT_EQ(bar.UserWindowText().count(QStringLiteral("Unable to write the user-window file")), 1);
}

// On a nearly full disk the failure line itself may still fit where a longer line did not: that
// is no sign that the file takes its lines again, so the next long line lost is not said again.
TEST_F(DiagnosticLinesTest, AFailureLineThatFitsDoesNotRepeatTheFailure) {
    SmallFileSystem disk(64 * 1024);
    if (!disk.Mounted())
        GTEST_SKIP() << disk.Reason();
    CvDlgBar bar;
    m_view.m_pDlgBar = &bar;
    m_view.m_bUserToFile = true;
    m_view.m_strUserPath = disk.FilePath(QStringLiteral("gpsuser.txt"));
    ASSERT_TRUE(WriteFileBytes(m_view.m_strUserPath, QByteArray(SmallFileSystem::kPage - 400, 'x')));
    ASSERT_TRUE(disk.LeaveFree(0));
    const QString longLine(1000, QLatin1Char('y'));
    m_view.UserWindowLine(longLine);
    m_view.UserWindowLine(longLine);
    const QByteArray failure = "Unable to write the user-window file";
    EXPECT_EQ(bar.UserWindowText().count(QLatin1String(failure)), 1) << qPrintable(bar.UserWindowText());
    EXPECT_EQ(FileBytes(m_view.m_strUserPath).count(failure), 1);
}

// The operator's command answered by a receiver whose prompt ends without a line end, then lines of
// the program's own (the data log and the page failing): each starts a line of its own right after
// the prompt, in the window and in the file, and the reply stays as it came.
TEST(UserWindowLines, TheProgramsLinesStartALineOfTheirOwnAfterTheReceiversPrompt) {
    QTemporaryDir folder;
    sim::ReceiverSimulator receiver(sim::Family::HewlettPackard);
    CMainFrame frame;
    CChildView& view = frame.m_wndView;
    ASSERT_TRUE(QTest::qWaitFor([&] { return view.m_bInitialised; }, kBusyMachineWaitMs));
    ASSERT_TRUE(receiver.start());
    PollSimulatedHewlettPackard(view, receiver);
    view.m_nLogInterval = 1;
    view.m_nStatusInterval = 1;
    view.m_strLogPath.clear();
    view.m_bHtmlStatus = false;
    view.m_strUserPath = folder.filePath(QStringLiteral("gpsuser.txt"));
    view.m_bUserToFile = true;
    view.m_listCommands << QStringLiteral("*IDN?\r");
    view.OnStart();
    const auto window = [&] { return frame.m_wndDlgBar.UserWindowText(); };
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return window().endsWith(QStringLiteral("scpi > ")); }, kBusyMachineWaitMs));
    const QString reply = window();
    view.m_strLogPath = folder.filePath(QStringLiteral("missing/gpslog.log"));
    view.m_strHtmlPath = folder.filePath(QStringLiteral("missing/status.htm"));
    view.m_bHtmlStatus = true;
    ASSERT_TRUE(QTest::qWaitFor([&] { return window().count(QStringLiteral(" UTC Unable to ")) >= 2; },
                                kBusyMachineWaitMs));
    view.OnStop();

    for (const QString& shown : {window(), QString::fromLatin1(FileBytes(view.m_strUserPath))}) {
        EXPECT_TRUE(shown.startsWith(reply + QStringLiteral("\r\n "))) << qPrintable(shown);
        const QStringList lines = shown.mid(reply.size() + 2).split(QStringLiteral("\r\n"));
        EXPECT_EQ(lines.back(), QString()) << qPrintable(shown);
        for (const QString& line : lines.first(lines.size() - 1))
            EXPECT_TRUE(line.startsWith(QLatin1Char(' ')) && line.contains(QStringLiteral(" UTC Unable to ")))
                << qPrintable(line);
    }
}

TEST_F(DiagnosticLinesTest, TitleNamesTheExecutableAndThePort) {
    platform::SetExecutableBaseNameOverride(QStringLiteral("monitor"));
    m_view.m_strComPort = QStringLiteral("/dev/ttyUSB0");
    m_view.UpdateTitle();
    EXPECT_EQ(g_strWindowTitle, QStringLiteral("Orvane [monitor] /dev/ttyUSB0"));
    platform::SetExecutableBaseNameOverride(QStringLiteral("orvane"));
}
