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
#include <sys/fsuid.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

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

// Old whole lines exactly `bytes` long: the last one's value is as long as it takes.
QByteArray OldLogOfLength(qint64 bytes) {
    QByteArray lines = OldLogLines(bytes - 200);
    return lines + "199999999\t" + QByteArray(bytes - lines.size() - 20, '1') + "\t\t\t\t\t\t\t\t\r\n";
}

// Where the first line that the running program wrote starts in `log`: its lines carry the present
// time, ten digits, the old ones nine. -1 when there is none.
qsizetype FirstNewLine(const QByteArray& log) {
    static const QRegularExpression present(QStringLiteral("(^|[\\r\\n])\\d{10}\\t"));
    const QRegularExpressionMatch match = present.match(QString::fromLatin1(log));
    return match.hasMatch() ? match.capturedEnd(1) : -1;
}

// The calling thread meets files as the user `uid` does, without root's power over them, for as
// long as the object lives (the file system's user id is the thread's own).
class AsUser {
public:
    explicit AsUser(uid_t uid) {
        ::setfsgid(uid);
        ::setfsuid(uid);
    }
    ~AsUser() {
        ::setfsuid(0);
        ::setfsgid(0);
    }
    AsUser(const AsUser&) = delete;
    AsUser& operator=(const AsUser&) = delete;
};

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

// A trim whose copy cannot be made or put in place cuts the file back in place. A disk with less
// room than the copy needs: the copy is not even tried (the free room is looked at first), so the
// disk is not filled to its last byte by a copy that was going to fail. A disk with room for bytes
// but for no new file (as a quota may refuse one). A sticky folder where the log belongs to another
// user: the copy is made but cannot be renamed over the log.
TEST(CappedFiles, ATrimWhoseCopyCannotBeMadeOrPutInPlaceCutsTheFileInPlace) {
    const QByteArray line = "1709680029\t\t\t\t\t\t\t\t\t\r\n";
    const auto expectTrimmed = [&](const QString& path, const QByteArray& old, int limitKb) {
        QString reason;
        QString trimFailure;
        ASSERT_EQ(AppendLogLine(path, line, limitKb, &reason, &trimFailure), LogWriteResult::Written)
            << qPrintable(reason);
        EXPECT_EQ(trimFailure, QString()) << qPrintable(trimFailure);
        const QByteArray trimmed = ReadFileBytes(path);
        ASSERT_TRUE(trimmed.endsWith(line));
        const QByteArray kept = trimmed.chopped(line.size());
        const platform::TrimRule rule = LogTrimRule(limitKb);
        EXPECT_TRUE(old.endsWith(kept));
        EXPECT_EQ(old.at(old.size() - kept.size() - 1), '\n'); // whole lines
        const qint64 oldLine = OldLogLines(1).size();
        if (rule.kept == platform::KeptTail::AtMost) {
            EXPECT_LE(kept.size(), rule.keptBytes);
            EXPECT_GT(kept.size(), rule.keptBytes - oldLine);
        } else {
            EXPECT_GE(kept.size(), rule.keptBytes);
            EXPECT_LT(kept.size(), rule.keptBytes + oldLine);
        }
        // No copy left beside it (a small disk's filler aside).
        QStringList beside = QDir(QFileInfo(path).path()).entryList(QDir::Files | QDir::Hidden);
        beside.removeAll(QStringLiteral(".filler"));
        EXPECT_EQ(beside, QStringList(QFileInfo(path).fileName()));
    };
    {
        SmallFileSystem disk(4 * kMegabyte);
        if (!disk.Mounted())
            GTEST_SKIP() << disk.Reason();
        const QString path = disk.FilePath(QStringLiteral("gpslog.log"));
        const QByteArray old = OldLogLines(2200 * 1024);
        ASSERT_TRUE(WriteFileBytes(path, old));
        ASSERT_TRUE(disk.LeaveFree(kMegabyte));
        const long long writtenBefore = IoCounter("wchar");
        expectTrimmed(path, old, 2048);
        // The kept part moved once, and no copy of it begun beside it.
        EXPECT_LT(IoCounter("wchar") - writtenBefore, LogTrimRule(2048).keptBytes + 256 * 1024);
        EXPECT_GT(disk.FreeBytes(), kMegabyte);
    }
    {
        SmallFileSystem disk(kMegabyte, ",nr_inodes=2"); // the root folder and the log
        ASSERT_TRUE(disk.Mounted()) << disk.Reason();
        const QString path = disk.FilePath(QStringLiteral("gpslog.log"));
        const QByteArray old = OldLogLines(3000);
        ASSERT_TRUE(WriteFileBytes(path, old));
        expectTrimmed(path, old, 1);
    }
    {
        QTemporaryDir dir;
        constexpr uid_t kOwner = 4242;
        constexpr uid_t kProgram = 4343;
        const QString folder = dir.filePath(QStringLiteral("shared"));
        ASSERT_TRUE(QDir().mkpath(folder));
        ASSERT_EQ(::chmod(QFile::encodeName(dir.path()).constData(), 0755), 0);
        ASSERT_EQ(::chmod(QFile::encodeName(folder).constData(), 01777), 0);
        const QString path = folder + QStringLiteral("/gpslog.log");
        const QByteArray old = OldLogLines(3000);
        ASSERT_TRUE(WriteFileBytes(path, old));
        ASSERT_EQ(::chown(QFile::encodeName(path).constData(), kOwner, kOwner), 0);
        ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), 0666), 0);
        const AsUser program(kProgram);
        expectTrimmed(path, old, 1);
    }
}

// A user-window file at its 64 MB cap whose oldest 40 MB are a hole (they take no room), on a disk
// with 10 MB free: too little for a copy of the newest 32 MB, so the trim goes in place, and moving
// those lines over the hole needs room too. The trim stops part-way, the disk full: what the file
// was left with is said once with the lines that no longer fit, and once more when they fit again.
// The trim is tried again not at every line (each try would write until the disk is full) but a
// minute later, when it succeeds.
TEST(CappedFiles, AnInPlaceTrimThatStopsPartWaySaysWhatItLeftOnce) {
    SmallFileSystem disk(64 * kMegabyte);
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
    constexpr qint64 kHole = 40 * kMegabyte;
    QByteArray lines = LogLines(0, 24 * kMegabyte - 200);
    lines += QByteArray(24 * kMegabyte - 22 - lines.size(), 'x') + "\r\n";
    ASSERT_TRUE(disk.WriteAfterHole(QStringLiteral("gpsuser.txt"), kHole, lines));
    ASSERT_TRUE(disk.LeaveFree(10 * kMegabyte));

    const long long writtenBefore = IoCounter("wchar");
    for (int i = 0; i < 20; ++i)
        view.UserWindowLine(QStringLiteral("line %1").arg(i));
    EXPECT_LT(IoCounter("wchar") - writtenBefore, 11 * kMegabyte); // one move that the disk cut short
    const QByteArray left = ReadFileBytes(view.m_strUserPath);
    EXPECT_EQ(left.size(), kHole + lines.size());
    EXPECT_TRUE(left.endsWith(lines)); // the newest part whole
    // The oldest overwritten with newer lines: those after the first line end past the kept size's
    // boundary, which lies in the hole.
    EXPECT_TRUE(left.startsWith(lines.mid(lines.indexOf('\n') + 1, kMegabyte)));
    const QString partWay = QStringLiteral(
        "No space left on device, part-way through a trim in place: the file keeps its newest lines whole, "
        "but some of its oldest are overwritten with copies of newer ones");
    const QString unwritten =
        QStringLiteral("Unable to write the user-window file %1: No space left on device "
                       "(its trim failed too: %2)")
            .arg(view.m_strUserPath, partWay);
    EXPECT_EQ(bar.UserWindowText().count(unwritten), 1) << qPrintable(bar.UserWindowText().right(600));

    disk.FreeAll();
    view.UserWindowLine(QStringLiteral("still waiting"));
    const QByteArray grown = ReadFileBytes(view.m_strUserPath);
    EXPECT_TRUE(grown.right(1000).contains(" UTC still waiting\r\n")); // and the line that says so
    EXPECT_GT(grown.size(), 64 * kMegabyte);
    const QString untrimmed =
        QStringLiteral("Unable to trim %1 to its size limit: %2").arg(view.m_strUserPath, partWay);
    EXPECT_EQ(bar.UserWindowText().count(untrimmed), 1) << qPrintable(bar.UserWindowText().right(600));
    ticks->advance(60 * 1000);
    view.UserWindowLine(QStringLiteral("trimmed"));
    const QByteArray trimmed = ReadFileBytes(view.m_strUserPath);
    EXPECT_TRUE(trimmed.endsWith(" UTC trimmed\r\n"));
    EXPECT_LE(trimmed.size(), 32 * kMegabyte + 32);
    EXPECT_TRUE(lines.contains(trimmed.left(1000)));
    EXPECT_EQ(bar.UserWindowText().count(unwritten), 1);
    EXPECT_EQ(bar.UserWindowText().count(untrimmed), 1);
    platform::SetTickSource(nullptr);
    platform::SetWallClock(nullptr);
}

// A record of a move in place that does not fit the file (not a record, a length the file no
// longer has, a file whose last bytes changed since) is dropped, never acted on: the log on its
// full disk is trimmed as it would be without it, and the record is gone.
TEST(CappedFiles, AMoveRecordThatDoesNotFitTheFileIsDroppedNotFollowed) {
    SmallFileSystem disk(kMegabyte);
    if (!disk.Mounted())
        GTEST_SKIP() << disk.Reason();
    if (!disk.KeepsUserAttributes())
        GTEST_SKIP() << "the small file system keeps no extended attributes";
    const QString path = disk.FilePath(QStringLiteral("gpslog.log"));
    const QByteArray path8 = QFile::encodeName(path);
    const QByteArray line = "1709680029\t\t\t\t\t\t\t\t\t\r\n";
    const QByteArray old = OldLogLines(3000);
    const QByteArray length = QByteArray::number(old.size()).rightJustified(12, '0');
    for (const QByteArray& record :
         {QByteArray("not a record"),
          "000000000100 " + QByteArray::number(old.size() + 1).rightJustified(12, '0') +
              " 000000000000 00000000",
          "000000000100 " + length + " 000000000000 00000000",
          "000000000100 " + length + " 000000000000 zz"}) {
        SCOPED_TRACE(record.constData());
        disk.FreeAll();
        QFile::remove(path);
        ASSERT_TRUE(WriteFileBytes(path, old));
        ASSERT_EQ(::setxattr(path8.constData(), "user.orvane.trim", record.constData(), record.size(), 0), 0);
        ASSERT_TRUE(disk.LeaveFree(0));
        ASSERT_EQ(AppendLogLine(path, line, 1), LogWriteResult::Written);
        const QByteArray trimmed = ReadFileBytes(path);
        ASSERT_TRUE(trimmed.endsWith(line));
        const QByteArray kept = trimmed.chopped(line.size());
        EXPECT_TRUE(old.endsWith(kept));
        EXPECT_EQ(old.at(old.size() - kept.size() - 1), '\n');
        EXPECT_GE(kept.size(), LogTrimRule(1).keptBytes);
        EXPECT_LT(::getxattr(path8.constData(), "user.orvane.trim", nullptr, 0), 0);
    }
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

// A data log past its 2 MB limit that has filled its small disk to the last byte, with nothing else
// there to delete: its trim has no room for a copy, so it cuts the log back in place, and the
// program goes on logging.
TEST_F(CappedFilesWhilePolling, ALogThatFillsItsDiskIsTrimmedInPlaceAndLinesGoOn) {
    SmallFileSystem disk(3 * kMegabyte);
    if (!disk.Mounted())
        GTEST_SKIP() << disk.Reason();
    constexpr int kLimitKb = 2048;
    const QByteArray old = OldLogOfLength(560 * SmallFileSystem::kPage); // 2240 kB, no room in its last page
    m_view.m_strLogPath = disk.FilePath(QStringLiteral("gpslog.log"));
    m_view.m_nLogMaxSize = kLimitKb;
    ASSERT_TRUE(WriteFileBytes(m_view.m_strLogPath, old));
    ASSERT_TRUE(disk.LeaveFree(0));

    m_view.OnStart();
    const QByteArray log = LogAfterLines(3);
    const qsizetype kept = FirstNewLine(log);
    ASSERT_GT(kept, 0) << log.left(200).constData();
    EXPECT_TRUE(old.endsWith(log.left(kept)));
    EXPECT_EQ(old.at(old.size() - kept - 1), '\n');
    EXPECT_LE(kept, LogTrimRule(kLimitKb).keptBytes);
    EXPECT_GT(kept, LogTrimRule(kLimitKb).keptBytes - OldLogLines(1).size());
    EXPECT_FALSE(UserWindow().contains(QStringLiteral("Unable to"))) << qPrintable(UserWindow());
    EXPECT_GT(disk.FreeBytes(), 100 * 1024);
}

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
