// The size limits of the data log, the track file and the user-window file as they hold on real
// disks: large limits, a folder that refuses new files, disks without room for a trim's copy, a
// copy that cannot be put in place, and what the running program makes of them.
#include "app/ChildView.h"
#include "controls/DlgBar.h"
#include "platform/TickCount.h"
#include "platform/WallClock.h"
#include "publishing/DataLogFile.h"
#include "publishing/DataLogFormat.h"
#include "receiver/SatelliteTrackFile.h"
#include "support/FileBytes.h"
#include "support/FixedWallClock.h"
#include "support/PollingMainFrame.h"
#include "support/ProcessCounters.h"
#include "support/SmallFileSystem.h"
#include "support/WithoutFileOverride.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

constexpr qint64 kMegabyte = 1024 * 1024;

QByteArray LogLine(int i) {
    return QByteArray::number(1709600000 + i) + "\t2.4979\t-3.217E-09\t\t\t\t\t\t\t\r\n";
}

QByteArray LogLines(int first, qint64 bytes) {
    QByteArray lines;
    for (int i = first; lines.size() < bytes; ++i)
        lines += LogLine(i);
    return lines;
}

// Log lines from before the program's own (nine-digit times: 1973), each ended by `end`, `bytes`
// long or a little longer.
QByteArray OldLogLines(qint64 bytes, const QByteArray& end = "\r\n") {
    QByteArray lines;
    for (int i = 0; lines.size() < bytes; ++i)
        lines += QByteArray::number(100000000 + i) + "\t2.4979\t-3.217E-09\t\t\t\t\t\t\t" + end;
    return lines;
}

// Where the first line that the running program wrote starts in `log`: its lines carry the present
// time, ten digits, the old ones nine. -1 when there is none.
qsizetype FirstNewLine(const QByteArray& log) {
    static const QRegularExpression present(QStringLiteral("(^|[\\r\\n])\\d{10}\\t"));
    const QRegularExpressionMatch match = present.match(QString::fromLatin1(log));
    return match.hasMatch() ? match.capturedEnd(1) : -1;
}

// Lets the process's own files in `folder` be written but no new file be made there, as a web
// server's folder set up for the operator's files: the folder is r-x, the power of root to ignore
// that is dropped.
class NoNewFilesIn {
public:
    explicit NoNewFilesIn(const QString& folder) : m_folder(folder) {
        QFile::setPermissions(m_folder, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    }
    ~NoNewFilesIn() {
        QFile::setPermissions(m_folder,
                              QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    }

private:
    QString m_folder;
    WithoutFileOverride m_asAUser;
};

} // namespace

// Past a limit of 1 MB the log is cut back to its newest whole lines within the limit less 1/64 of
// it, so it is trimmed once per 1/64 of growth, and a trim reads little more than the tail it keeps
// however long the log is.
TEST(CappedFiles, ALargeLogLimitTrimsOncePerSixtyFourthOfGrowthReadingOnlyTheKeptTail) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("gpslog.log"));
    constexpr int kLimitKb = 2048;
    constexpr qint64 kLimit = kLimitKb * 1024LL;
    constexpr qint64 kKept = kLimit - kLimit / 64;
    constexpr qint64 kHole = 1LL << 30; // no disk space, reads as zeros
    const QByteArray lines = LogLines(0, 3 * 1024 * 1024);
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_TRUE(file.resize(kHole - 1) && file.seek(kHole - 1));
        ASSERT_EQ(file.write("\n" + lines), lines.size() + 1);
    }
    const long long readBefore = IoCounter("rchar");
    const long peakBefore = PeakMemoryKb();
    ASSERT_EQ(AppendLogLine(path, LogLine(-1), kLimitKb), LogWriteResult::Written);
    EXPECT_LT(IoCounter("rchar") - readBefore, kKept + 256 * 1024);
    EXPECT_LT(PeakMemoryKb() - peakBefore, 32 * 1024);
    const QByteArray trimmed = ReadFileBytes(path);
    const QByteArray kept = trimmed.chopped(LogLine(-1).size());
    EXPECT_LE(kept.size(), kKept);
    EXPECT_GT(kept.size(), kKept - LogLine(0).size());
    EXPECT_TRUE(lines.endsWith(kept));
    EXPECT_EQ(lines.at(lines.size() - kept.size() - 1), '\n');

    // About 110 kB of lines: a trim for every 33 kB (32 kB and the 512 bytes of slack).
    int trims = 0;
    qint64 length = trimmed.size();
    for (int i = 0; i < 3000; ++i) {
        ASSERT_EQ(AppendLogLine(path, LogLine(i), kLimitKb), LogWriteResult::Written);
        const qint64 now = QFile(path).size();
        ASSERT_LE(now, kLimit + 512 + LogLine(i).size());
        trims += now < length;
        length = now;
    }
    EXPECT_GE(trims, 3);
    EXPECT_LE(trims, 5);
}

// In a folder that lets the program write its files but not make new ones, the trims are made in
// place: the log and the track file hold their 1 kB limits and keep their newest whole lines and
// records.
TEST(CappedFiles, AFolderWithoutRightsToMakeFilesStillHoldsTheLimits) {
    QTemporaryDir dir;
    auto clock = std::make_shared<FixedWallClock>(1709680029);
    platform::SetWallClock(clock);
    CChildView view;
    view.m_strLogPath = dir.filePath(QStringLiteral("gpslog.log"));
    view.m_nLogMaxSize = 1;
    view.m_nLogLines = 1;
    const QString track = dir.filePath(QStringLiteral("gpsdmp.bin"));
    ASSERT_TRUE(WriteFileBytes(view.m_strLogPath, LogLines(0, 3000)));
    ASSERT_TRUE(WriteFileBytes(track, QByteArray(3000, '\x01')));
    std::array<CSatInfo, kSatelliteSlots> sats{};
    sats[0].m_byPrnLow = 7;
    {
        NoNewFilesIn folder(dir.path());
        for (int i = 0; i < 100; ++i) {
            view.UpdateLogFile();
            EXPECT_LE(QFile(view.m_strLogPath).size(), 1024 + 512 + 60);
            sats[0].m_byElevation = static_cast<std::uint8_t>(i);
            QString reason;
            QString trimFailure;
            ASSERT_TRUE(AppendTrackSnapshot(track, sats, 1, 1000 + i, 1, &reason, &trimFailure))
                << qPrintable(reason);
            EXPECT_EQ(trimFailure, QString());
            EXPECT_LE(QFile(track).size(), 2048 + kSatRecordBytes);
        }
    }
    platform::SetWallClock(nullptr);
    EXPECT_EQ(view.m_nLogLines, 101);
    const QByteArray log = ReadFileBytes(view.m_strLogPath);
    EXPECT_TRUE(log.endsWith("1709680029\t\t\t\t\t\t\t\t\t\t;05/03/24 23:07:09\r\n"));
    EXPECT_TRUE(log.startsWith("1709680029\t")) << log.left(40).constData();
    const std::vector<CSatInfo> records = DecodeTrackRecords(ReadFileBytes(track));
    ASSERT_GT(records.size(), 86u);
    for (std::size_t i = 1; i <= 86; ++i)
        EXPECT_EQ(records[records.size() - i].m_dwTime, 1100u - i);
}

// A user-window file at its 64 MB cap on a disk with 10 MB free, too little for the 32 MB it keeps:
// the lines still go in, the disk's reason is said once, and the copy is not tried at every line
// (which would fill the disk each time) but again a minute later, when it succeeds once there is
// room.
TEST(CappedFiles, ATrimWithoutRoomForItsCopyAppendsAndWaitsBeforeTryingAgain) {
    SmallFileSystem disk(112 * kMegabyte);
    if (!disk.Mounted())
        GTEST_SKIP() << disk.Reason();
    auto ticks = std::make_shared<platform::ManualTickSource>(1000);
    platform::SetTickSource(ticks);
    platform::SetWallClock(std::make_shared<FixedWallClock>(1709680029));
    CvDlgBar bar;
    CChildView view;
    view.m_pDlgBar = &bar;
    view.m_bUserToFile = true;
    view.m_strUserPath = disk.FilePath(QStringLiteral("gpsuser.txt"));
    QByteArray full = LogLines(0, 64 * kMegabyte - 200);
    full += QByteArray(64 * kMegabyte - 22 - full.size(), 'x') + "\r\n";
    ASSERT_TRUE(WriteFileBytes(view.m_strUserPath, full));
    ASSERT_TRUE(disk.LeaveFree(10 * kMegabyte));

    const long long writtenBefore = IoCounter("wchar");
    for (int i = 0; i < 20; ++i)
        view.UserWindowLine(QStringLiteral("line %1").arg(i));
    // One copy that the disk cut short, then only the lines and the line that says so.
    EXPECT_LT(IoCounter("wchar") - writtenBefore, 11 * kMegabyte);
    const QByteArray grown = ReadFileBytes(view.m_strUserPath);
    EXPECT_TRUE(grown.startsWith(full));
    EXPECT_EQ(grown.count("UTC line "), 20);
    const QString said = QStringLiteral("Unable to trim %1 to its size limit: No space left on device")
                             .arg(view.m_strUserPath);
    EXPECT_EQ(bar.UserWindowText().count(said), 1) << qPrintable(bar.UserWindowText().right(400));

    disk.FreeAll();
    view.UserWindowLine(QStringLiteral("still waiting"));
    EXPECT_GT(QFile(view.m_strUserPath).size(), 64 * kMegabyte);
    ticks->advance(60 * 1000);
    view.UserWindowLine(QStringLiteral("trimmed"));
    const QByteArray trimmed = ReadFileBytes(view.m_strUserPath);
    EXPECT_TRUE(trimmed.endsWith(" UTC trimmed\r\n"));
    EXPECT_LE(trimmed.size(), 32 * kMegabyte + 32);
    EXPECT_TRUE(grown.contains(trimmed.left(1000)));
    EXPECT_EQ(bar.UserWindowText().count(said), 1);
    platform::SetTickSource(nullptr);
    platform::SetWallClock(nullptr);
}

// Past a limit of 1 MB a trim never keeps less than its kept size allows: a log whose newest part
// holds no line end (the NUL blocks a power cut leaves, one long line) keeps its newest kept-size
// bytes, cut at the byte, and lines that end in a lone CR are whole lines to it, also beside the
// program's own. At 1 MB and below, such logs are left as they are.
TEST(CappedFiles, ALargeLimitKeepsItsKeptSizeWhereNoLineEndsInIt) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("gpslog.log"));
    const QByteArray line = "1709680029\t\t\t\t\t\t\t\t\t\r\n";
    constexpr int kLimitKb = 2048;
    const qint64 kept = LogTrimRule(kLimitKb).keptBytes;
    const auto appended = [&](const QByteArray& content, int limitKb) {
        EXPECT_TRUE(WriteFileBytes(path, content));
        EXPECT_EQ(AppendLogLine(path, line, limitKb), LogWriteResult::Written);
        return ReadFileBytes(path);
    };
    const QByteArray nuls = OldLogLines(100 * 1024) + QByteArray(2100 * 1024, '\0');
    EXPECT_EQ(appended(nuls, kLimitKb), nuls.right(kept) + line);
    const QByteArray longLine = QByteArray(2100 * 1024, '7') + "\r\n"; // its LF the file's last byte
    EXPECT_EQ(appended(longLine, kLimitKb), longLine.right(kept) + line);

    const QByteArray mixed = OldLogLines(2100 * 1024, "\r") + line.repeated(1000);
    const QByteArray trimmed = appended(mixed, kLimitKb).chopped(line.size());
    EXPECT_TRUE(mixed.endsWith(trimmed));
    EXPECT_LE(trimmed.size(), kept);
    EXPECT_GT(trimmed.size(), kept - OldLogLines(1).size());
    EXPECT_EQ(mixed.at(mixed.size() - trimmed.size() - 1), '\r');

    for (const QByteArray& small : {QByteArray(3000, '\0'), OldLogLines(3000, "\r")})
        EXPECT_EQ(appended(small, 1), small + line);
}

// The running program writing its data log (and track file, when one is named) at every status
// step.
class CappedFilesWhilePolling : public PollingMainFrameTest {
protected:
    // Until the program has written `lines` lines to its data log; the log as it is then.
    QByteArray LogAfterLines(int lines) {
        EXPECT_TRUE(WaitUntil([&] { return m_view.m_nLogLines >= lines; })) << qPrintable(UserWindow());
        return ReadFileBytes(m_view.m_strLogPath);
    }
};

// A 2.2 MB data log whose lines end in CR alone (written elsewhere, or converted), past its 2 MB
// limit: the trim keeps its newest lines within the kept size, not the program's new line alone.
TEST_F(CappedFilesWhilePolling, ALogOfCarriageReturnLinesPastALargeLimitKeepsItsNewestLines) {
    QTemporaryDir dir;
    constexpr int kLimitKb = 2048;
    const QByteArray old = OldLogLines(2200 * 1024, "\r");
    m_view.m_strLogPath = dir.filePath(QStringLiteral("gpslog.log"));
    m_view.m_nLogMaxSize = kLimitKb;
    ASSERT_TRUE(WriteFileBytes(m_view.m_strLogPath, old));

    m_view.OnStart();
    const QByteArray log = LogAfterLines(2);
    const qsizetype kept = FirstNewLine(log);
    ASSERT_GE(kept, 0);
    EXPECT_TRUE(old.endsWith(log.left(kept)));
    EXPECT_LE(kept, LogTrimRule(kLimitKb).keptBytes);
    EXPECT_GT(kept, LogTrimRule(kLimitKb).keptBytes - OldLogLines(1).size());
}

// A track file without a limit (Sat/MaxFileSize 0) that a power cut left with 5 bytes of a record
// at its end: the remnant is dropped before the first snapshot, so every record stays on its
// boundary and reads back as the satellite it was.
TEST_F(CappedFilesWhilePolling, ATrackFileWithoutALimitDropsAPartialRecordLeftByAPowerCut) {
    QTemporaryDir dir;
    QByteArray records;
    for (int i = 0; i < 10; ++i) {
        CSatInfo sat;
        sat.m_byPrnLow = static_cast<std::uint8_t>(i + 1);
        sat.m_dwTime = 1000000000u + static_cast<std::uint32_t>(i);
        const SatRecordBytes bytes = SerialiseSatInfo(sat);
        records.append(reinterpret_cast<const char*>(bytes.data()), kSatRecordBytes);
    }
    m_view.m_strDumpPath = dir.filePath(QStringLiteral("gpsdmp.bin"));
    m_view.m_nTrackMaxSize = 0;
    m_view.m_nTrackInterval = 1;
    m_view.m_nLogInterval = 0;
    m_receiver.setSkySpeed(1000); // the table changes from answer to answer
    ASSERT_TRUE(WriteFileBytes(m_view.m_strDumpPath, records + "abcde"));
    const auto now = static_cast<std::uint32_t>(std::time(nullptr));

    m_view.OnStart();
    ASSERT_TRUE(WaitUntil([&] { return QFile(m_view.m_strDumpPath).size() > records.size() + 5; }));
    const QByteArray track = ReadFileBytes(m_view.m_strDumpPath);
    EXPECT_EQ(track.size() % kSatRecordBytes, 0) << track.size();
    EXPECT_TRUE(track.startsWith(records));
    const std::vector<CSatInfo> snapshots = DecodeTrackRecords(track.mid(records.size()));
    ASSERT_FALSE(snapshots.empty());
    for (const CSatInfo& sat : snapshots) {
        EXPECT_TRUE(sat.m_byPrnLow >= 1 && sat.m_byPrnLow <= 32 && sat.m_byPrnHigh == 0)
            << int(sat.m_byPrnLow);
        EXPECT_LT(sat.m_wAzimuth, 360);
        EXPECT_LE(sat.m_byElevation, 90);
        EXPECT_GE(sat.m_dwTime, now);
        EXPECT_LT(sat.m_dwTime, now + 600);
    }
}
