// The data log: the records the view writes, byte for byte, the size limit, a failing disk, and
// the reader of the format.
#include "app/ChildView.h"
#include "controls/DlgBar.h"
#include "platform/TickCount.h"
#include "platform/WallClock.h"
#include "publishing/DataLogFile.h"
#include "publishing/DataLogFormat.h"
#include "publishing/DataLogReader.h"
#include "support/FileBytes.h"
#include "support/FixedWallClock.h"
#include "support/SmallFileSystem.h"
#include "support/WithoutFileOverride.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

constexpr time_t kNow = 1709680029; // 05/03/24 23:07:09 UTC

class DataLogTest : public ::testing::Test {
protected:
    void SetUp() override {
        platform::SetWallClock(m_clock);
        platform::SetTickSource(m_ticks);
        m_view.m_strLogPath = m_folder.filePath(QStringLiteral("Logs.log"));
        m_view.m_strDebugPath = m_folder.filePath(QStringLiteral("debug.txt"));
        m_view.m_bDebugEnable = true;
    }
    void TearDown() override {
        platform::SetWallClock(nullptr);
        platform::SetTickSource(nullptr);
    }
    QByteArray Log() const { return ReadFileBytes(m_view.m_strLogPath); }

    QTemporaryDir m_folder;
    std::shared_ptr<FixedWallClock> m_clock = std::make_shared<FixedWallClock>(kNow);
    std::shared_ptr<platform::ManualTickSource> m_ticks = std::make_shared<platform::ManualTickSource>(777);
    CChildView m_view;
};

TEST_F(DataLogTest, RecordsAreWrittenByteForByteWithEveryTenthStamped) {
    m_view.UpdateLogFile();
    m_view.m_nLogLines = 1;
    m_view.UpdateLogFile();
    EXPECT_EQ(Log(), QByteArray("1709680029\t\t\t\t\t\t\t\t\t\t;05/03/24 23:07:09\r\n"
                                "1709680029\t\t\t\t\t\t\t\t\t\r\n"));
    EXPECT_EQ(m_view.m_dwLastLog, 777u);
    EXPECT_TRUE(m_view.IsTimerActive(IDT_GRAPH_REFRESH));
    EXPECT_EQ(m_view.TimerPeriod(IDT_GRAPH_REFRESH), 1000);

    // Lines 2 to 10 plain, the eleventh (count 10) stamped again.
    QFile::remove(m_view.m_strLogPath);
    m_view.m_nLogLines = 1;
    for (int i = 0; i < 10; ++i)
        m_view.UpdateLogFile();
    const QList<QByteArray> lines = Log().split('\n');
    ASSERT_EQ(lines.size(), 11);
    for (int i = 0; i < 9; ++i)
        EXPECT_FALSE(lines[i].contains(';')) << i;
    EXPECT_TRUE(lines[9].endsWith("\t\t;05/03/24 23:07:09\r"));
}

TEST_F(DataLogTest, ValuesAreTrimmedOrEmptiedAndAuxiliaryAnswersComeFirst) {
    m_view.m_nLogLines = 1;
    m_view.m_strChannelValue[0] = QStringLiteral("  -1.25e-9 ");
    m_view.m_strChannelValue[1] = QStringLiteral("3.3V");
    m_view.m_strChannelValue[2] = QStringLiteral("42");
    m_view.m_nAuxTrace[1] = 3; // auxiliary request 2 feeds channel 3
    m_view.m_strAuxAnswer[1] = QStringLiteral("10000000.125,Hz\r\n");
    m_view.UpdateLogFile();
    EXPECT_EQ(Log(), QByteArray("1709680029\t-1.25e-9\t\t10000000.125\t\t\t\t\t\t\r\n"));
    EXPECT_EQ(m_view.m_strChannelValue[0], QStringLiteral("-1.25e-9"));
    EXPECT_EQ(m_view.m_strChannelValue[1], QString());            // emptied for every later reader
    EXPECT_EQ(m_view.m_strChannelValue[2], QStringLiteral("42")); // left untouched
}

TEST_F(DataLogTest, ALongLineIsWrittenWholeAndTheTimeIsTheFull64BitCount) {
    m_view.m_nLogLines = 1;
    m_clock->set(4102444800); // 2100-01-01, past the 32-bit range
    const QString digits = QStringLiteral("1.") + QString(34, QLatin1Char('1'));
    m_view.m_strChannelValue.fill(digits);
    m_view.UpdateLogFile();
    m_view.m_strChannelValue.fill(QString());
    m_view.UpdateLogFile();
    const QByteArray log = Log();
    EXPECT_GT(log.indexOf("\r\n"), 290);
    EXPECT_TRUE(log.startsWith("4102444800\t"));
    EXPECT_TRUE(log.endsWith("\r\n4102444800\t\t\t\t\t\t\t\t\t\r\n"));
    LogLine first;
    ASSERT_TRUE(ParseLogLine(std::string_view(log.constData(), log.indexOf('\r')), first));
    EXPECT_EQ(first.time, 4102444800u);
    EXPECT_EQ(first.present, 0xFF);
}

TEST(DataLogTrim, TheLimitCutsAtTheLastLineEndBeforeItsSearchStart) {
    // Log/MaxSize 1: K = 1024; 1536 bytes stay, at 1537 the search starts at index 573 and goes
    // down to index 1.
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("gpslog.log"));
    const QByteArray line = "1709680029\t\t\t\t\t\t\t\t\t\r\n";
    const auto appended = [&](const QByteArray& content, int maxSizeKb) {
        EXPECT_TRUE(WriteFileBytes(path, content));
        EXPECT_EQ(AppendLogLine(path, line, maxSizeKb), LogWriteResult::Written);
        return ReadFileBytes(path);
    };
    QByteArray content(1537, 'x');
    content[573] = '\n';
    content[574] = '\n';
    content[100] = '\n';
    EXPECT_EQ(appended(content.first(1536), 1), content.first(1536) + line);
    EXPECT_EQ(appended(content, 1), content.mid(574) + line);
    content[573] = 'x';
    EXPECT_EQ(appended(content, 1), content.mid(101) + line);
    content[100] = 'x';
    content[0] = '\n'; // index 0 is never examined
    EXPECT_EQ(appended(content, 1), content + line);
    EXPECT_EQ(appended(content + content, 0), content + content + line);
}

TEST_F(DataLogTest, AnOverLongLogKeepsItsNewestWholeLines) {
    m_view.m_nLogMaxSize = 1;
    m_view.m_nLogLines = 1;
    QByteArray old;
    for (int i = 0; old.size() <= 1536; ++i)
        old += QByteArray::number(1709600000 + i) + "\t1\t\t\t\t\t\t\t\t\r\n";
    ASSERT_TRUE(WriteFileBytes(m_view.m_strLogPath, old));
    m_view.UpdateLogFile();
    const QByteArray line = "1709680029\t\t\t\t\t\t\t\t\t\r\n";
    const QByteArray log = Log();
    ASSERT_TRUE(log.endsWith(line));
    const QByteArray kept = log.chopped(line.size());
    EXPECT_LT(kept.size(), 1024);
    EXPECT_GE(kept.size(), 1024 - 61);
    EXPECT_TRUE(old.endsWith(kept));
    EXPECT_EQ(old.at(old.size() - kept.size() - 1), '\n'); // whole lines only
}

TEST_F(DataLogTest, AFailingDiskLeavesTheLogIntactAndReportsIt) {
    m_view.m_nLogMaxSize = 1;
    const QByteArray old = QByteArray("1\t\t\t\t\t\t\t\t\t\r\n").repeated(200);
    ASSERT_TRUE(WriteFileBytes(m_view.m_strLogPath, old));
    {
        // A folder where no temporary file can be made: the log is trimmed in place, keeping its
        // newest 963 bytes or more of whole lines.
        WithoutFileOverride asAUser;
        QFile::setPermissions(m_folder.path(), QFileDevice::ReadOwner | QFileDevice::ExeOwner);
        m_view.m_nLogLines = 1;
        m_view.UpdateLogFile();
        QFile::setPermissions(m_folder.path(),
                              QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    }
    const QByteArray written = old.right(81 * 12) + "1709680029\t\t\t\t\t\t\t\t\t\r\n";
    EXPECT_EQ(Log(), written);

    {
        // A log that cannot be read back is not opened at all.
        WithoutFileOverride asAUser;
        QFile::setPermissions(m_view.m_strLogPath, QFileDevice::WriteOwner);
        m_view.KillTimer(IDT_GRAPH_REFRESH);
        m_view.UpdateLogFile();
        QFile::setPermissions(m_view.m_strLogPath, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    }
    EXPECT_EQ(Log(), written);
    EXPECT_TRUE(m_view.IsTimerActive(IDT_GRAPH_REFRESH)); // armed after a failure too
    const QString path = m_view.m_strLogPath;

    // A device is no log: refused as the log that cannot be opened, and said once.
    m_view.m_strLogPath = QStringLiteral("/dev/full");
    m_view.UpdateLogFile();
    m_view.UpdateLogFile();
    const QByteArray debug = ReadFileBytes(m_view.m_strDebugPath);
    EXPECT_TRUE(debug.contains("Unable to open log file: " + path.toUtf8() + "\r\n")) << debug.constData();
    EXPECT_EQ(debug.count("Unable to open log file: /dev/full\r\n"), 1) << debug.constData();
    EXPECT_EQ(m_view.m_nLogLines, 2); // only the written line counts
}

// A log of whole records, `length` bytes long.
QByteArray LogOfLength(qint64 length) {
    QByteArray log;
    for (int i = 0; log.size() + 80 < length; ++i)
        log += QByteArray::number(1709600000 + i) + "\t2.4979\t-3.217E-09\t\t\t\t\t\t\t\r\n";
    return log + "1709699999\t" + QByteArray(length - log.size() - 21, '1') + "\t\t\t\t\t\t\t\t\r\n";
}

// On a nearly full disk a trim without room for its copy is made in place, and the line appended
// to what it kept; a line the disk cuts short is taken back, so that once there is room again the
// next line follows the last whole one.
TEST_F(DataLogTest, ANearlyFullDiskLeavesOnlyWholeRecords) {
    SmallFileSystem disk(64 * 1024);
    if (!disk.Mounted())
        GTEST_SKIP() << disk.Reason();
    m_view.m_strLogPath = disk.FilePath(QStringLiteral("gpslog.log"));
    m_view.m_nLogLines = 1;
    m_view.m_nLogMaxSize = 8;
    const QByteArray line = "1709680029\t\t\t\t\t\t\t\t\t\r\n";
    const QByteArray old = LogOfLength(3 * SmallFileSystem::kPage - 100); // over 8 kB + 512
    ASSERT_TRUE(WriteFileBytes(m_view.m_strLogPath, old));
    ASSERT_TRUE(disk.LeaveFree(SmallFileSystem::kPage));
    CvDlgBar bar;
    m_view.m_pDlgBar = &bar;
    m_view.UpdateLogFile();
    m_view.UpdateLogFile();
    const QByteArray kept = Log().chopped(2 * line.size());
    EXPECT_EQ(Log(), kept + line + line);
    EXPECT_TRUE(old.endsWith(kept));
    EXPECT_GE(kept.size(), 8 * 1024 - 61);
    EXPECT_EQ(old.at(old.size() - kept.size() - 1), '\n');                        // whole lines
    EXPECT_EQ(QDir(disk.Path()).entryList(QDir::Files | QDir::Hidden).size(), 2); // no temporary left
    EXPECT_FALSE(bar.UserWindowText().contains(QStringLiteral("Unable to")))
        << qPrintable(bar.UserWindowText());

    disk.FreeAll();
    const QByteArray short_ = LogOfLength(SmallFileSystem::kPage - 10); // room for 10 bytes of a line
    ASSERT_TRUE(WriteFileBytes(m_view.m_strLogPath, short_));
    ASSERT_TRUE(disk.LeaveFree(0));
    m_view.UpdateLogFile();
    EXPECT_EQ(Log(), short_);
    EXPECT_EQ(m_view.m_nLogLines, 3);
    EXPECT_TRUE(ReadFileBytes(m_view.m_strDebugPath)
                    .endsWith("Unable to write log file: " + m_view.m_strLogPath.toUtf8() + "\r\n"));
    disk.FreeAll();
    m_view.UpdateLogFile();
    EXPECT_EQ(Log(), short_ + line);
}

// The writer says why a line was not written: the caller shows it to the operator.
TEST(DataLogFile, AFailureGivesTheSystemsReason) {
    const QByteArray line = "1709680029\t\t\t\t\t\t\t\t\t\r\n";
    QString reason;
    EXPECT_EQ(AppendLogLine(QStringLiteral("/dev/full"), line, 0, &reason), LogWriteResult::OpenFailed);
    EXPECT_EQ(reason, QStringLiteral("not a regular file"));

    SmallFileSystem disk(16 * 1024);
    if (!disk.Mounted())
        GTEST_SKIP() << disk.Reason();
    const QString path = disk.FilePath(QStringLiteral("gpslog.log"));
    ASSERT_TRUE(WriteFileBytes(path, QByteArray(SmallFileSystem::kPage - 10, '1')));
    ASSERT_TRUE(disk.LeaveFree(0));
    reason.clear();
    EXPECT_EQ(AppendLogLine(path, line, 0, &reason), LogWriteResult::WriteFailed);
    EXPECT_EQ(reason, QStringLiteral("No space left on device"));
}

TEST_F(DataLogTest, AnEmptyPathWritesNothingAndArmsNoRefresh) {
    m_view.m_strLogPath.clear();
    m_view.UpdateLogFile();
    EXPECT_EQ(m_view.m_dwLastLog, 777u);
    EXPECT_FALSE(m_view.IsTimerActive(IDT_GRAPH_REFRESH));
}

std::vector<LogLine> ReadAll(std::string_view data) {
    std::vector<LogLine> lines;
    ForEachLogLine(data, [&](std::string_view text) {
        LogLine line;
        if (ParseLogLine(text, line))
            lines.push_back(line);
    });
    return lines;
}

TEST(DataLogReader, TokensCommasStampsAndSeparatorsAtTheStart) {
    const auto lines = ReadAll("100,1,,3\r\n"
                               "101\t1\t\t3\t\t\t\t\t\t\t;05/03/24 23:07:09\r\n"
                               "\t102\t5\r\n ,103\r\n;104\r\n\r\n"
                               "105 7;8 9\r\n"
                               "106\t-2.5e3\tV12\t+.5\r\n"
                               "107\t9");
    ASSERT_EQ(lines.size(), 4u);
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(lines[i].time, 100u + i);
        EXPECT_EQ(lines[i].present, 0b101);
        EXPECT_EQ(lines[i].value[0], 1.0);
        EXPECT_EQ(lines[i].value[2], 3.0);
    }
    EXPECT_EQ(lines[2].present, 0b1); // ";" ends the data
    EXPECT_EQ(lines[3].value[0], -2500.0);
    EXPECT_EQ(lines[3].value[1], 0.0); // not a number: reads as 0
    EXPECT_EQ(lines[3].value[2], 0.5);
    EXPECT_EQ(lines[3].present, 0b111);
    // Text after the last CR and its follower is not a line yet.
    EXPECT_EQ(CompleteLogLinesEnd("1\t2\r\n3\t4\r"), 5u);
}

TEST(DataLogReader, LinesFedInPiecesAreTheWholeWalksAndAStretchWithoutLineEndsIsSearchedOnce) {
    // Lines, a CR at the end of a piece with its LF in the next, CR CR, and 3 MB without a line end.
    std::string data = "1\t2\r\n\r\r\n3\t4\r\n5\r\r6\r\n";
    data += std::string(3 << 20, '\0');
    data += "7\t8\r\n9";
    std::vector<std::string> whole;
    ForEachLogLine(data, [&](std::string_view line) { whole.emplace_back(line); });
    for (const std::size_t piece : {std::size_t{1}, std::size_t{5}, std::size_t{64} << 10}) {
        LogLineBuffer buffer;
        std::vector<std::string> lines;
        std::size_t taken = 0;
        for (std::size_t at = 0; at < data.size(); at += piece) {
            const std::size_t n = std::min(piece, data.size() - at);
            data.copy(buffer.Extend(n), n, at);
            taken += buffer.TakeLines([&](std::string_view line) { lines.emplace_back(line); });
        }
        EXPECT_EQ(lines, whole) << piece;
        EXPECT_EQ(taken, CompleteLogLinesEnd(data)) << piece;
        EXPECT_EQ(buffer.Bytes(), "9");
        // Every byte once: the kept part of a piece is not searched again with the next.
        EXPECT_EQ(buffer.BytesSearched(), data.size()) << piece;
    }
}

TEST(DataLogReader, NumbersAndTimesReadAsTheCLocaleWouldAndOldTimesWrap) {
    // Plain digits against strtod are the fuzz test's; here the forms it does not make.
    for (const char* text : {"1.5E+12", "7.", "4.9e-324"})
        EXPECT_EQ(ReadLogNumber(text), std::strtod(text, nullptr)) << text;
    EXPECT_EQ(ReadLogNumber("1e-400"), 0.0);
    EXPECT_EQ(ReadLogNumber("1,5"), 1.0);
    EXPECT_EQ(ReadLogTime("1709680029.9"), 1709680029u);
    EXPECT_EQ(ReadLogTime("-2147483648"), 2147483648u); // 2038 as a 32-bit writer left it
    EXPECT_EQ(ReadLogTime("4102444800"), 4102444800u);
    EXPECT_EQ(ReadLogTime("-1e30"), 0u);
}

TEST(DataLogReader, TagsTakeTheirFlagFromOneDigitAndNeedAClosingTag) {
    const auto lines = ReadAll("1\t5\t;x <TAG3>Antenna moved</TAG>\r\n"
                               "2\t<TAG2>a</TAG>\t7\r\n"
                               "3\t<TAG12>b</TAG>\r\n"
                               "4\t<TAG>c</TAG>\r\n"
                               "5\t<TAG1></TAG>\r\n"
                               "6\t<TAG1>open\r\n"
                               "7\t<TAG\r\n");
    ASSERT_EQ(lines.size(), 7u);
    EXPECT_TRUE(lines[0].hasTag);
    EXPECT_EQ(lines[0].tag.flag, 1);
    EXPECT_EQ(lines[0].tag.text, QStringLiteral("Antenna moved"));
    EXPECT_EQ(lines[0].present, 0b1); // a tag after ";" leaves the values alone
    EXPECT_EQ(lines[1].tag.flag, 0);
    EXPECT_EQ(lines[1].present, 0b11); // among the tokens it is also read as a value
    EXPECT_EQ(lines[2].tag.flag, 0);
    EXPECT_EQ(lines[2].tag.text, QStringLiteral("b"));
    EXPECT_TRUE(lines[3].hasTag);
    for (int i = 4; i < 7; ++i)
        EXPECT_FALSE(lines[i].hasTag) << i;
}

} // namespace
