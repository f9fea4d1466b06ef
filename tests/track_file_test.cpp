// The satellite track file byte for byte: snapshots, their timing, and the trim.
#include "app/ChildView.h"
#include "app/Globals.h"
#include "controls/DlgBar.h"
#include "platform/TickCount.h"
#include "platform/WallClock.h"
#include "receiver/SatelliteTrackFile.h"
#include "support/FileBytes.h"
#include "support/FixedWallClock.h"
#include "support/SmallFileSystem.h"
#include "support/StatusScreens.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/resource.h>

namespace {

// The process's peak resident memory so far, in kilobytes.
long PeakMemoryKb() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// Records numbered 0, 1, 2, ... in their time field, so that a trim shows which ones it kept.
QByteArray NumberedRecords(int count) {
    QByteArray bytes;
    for (int i = 0; i < count; ++i) {
        CSatInfo sat;
        sat.m_byPrnLow = 1;
        sat.m_dwTime = static_cast<std::uint32_t>(i);
        const SatRecordBytes record = SerialiseSatInfo(sat);
        bytes.append(reinterpret_cast<const char*>(record.data()), kSatRecordBytes);
    }
    return bytes;
}

// Writes the file, appends a one-satellite snapshot stamped 999, and gives the times in the file.
std::vector<std::uint32_t> AppendTo(const QString& path, const QByteArray& contents, int maxSizeKb) {
    EXPECT_TRUE(WriteFileBytes(path, contents));
    std::array<CSatInfo, kSatelliteSlots> sats{};
    sats[3].m_byPrnLow = 7;
    EXPECT_TRUE(AppendTrackSnapshot(path, sats, 1, 999, maxSizeKb));
    const QByteArray bytes = ReadFileBytes(path);
    EXPECT_EQ(bytes.size() % kSatRecordBytes, 0);
    std::vector<std::uint32_t> times;
    for (const CSatInfo& record : DecodeTrackRecords(bytes))
        times.push_back(record.m_dwTime);
    return times;
}

} // namespace

TEST(TrackFile, RecordsAreTwelveLittleEndianBytes) {
    CSatInfo sat;
    sat.m_byPrnLow = 0x83;
    sat.m_byElevation = 45;
    sat.m_wAzimuth = 0x0123;
    sat.m_bySnrWhole = 42;
    sat.m_bySatCount = 9;
    sat.m_bySnrTenths = 5;
    sat.m_byPrnHigh = 0x01;
    sat.m_dwTime = 0x65A1B2C3;
    const SatRecordBytes bytes = {0x83, 45, 0x23, 0x01, 42, 9, 5, 0x01, 0xC3, 0xB2, 0xA1, 0x65};
    EXPECT_EQ(SerialiseSatInfo(sat), bytes);
    EXPECT_EQ(SerialiseSatInfo(DeserialiseSatInfo(bytes)), bytes);
}

TEST(TrackFile, SnapshotsOfChangedAnswersAtMostEveryTenSeconds) {
    auto ticks = std::make_shared<platform::ManualTickSource>(50000);
    platform::SetTickSource(ticks);
    platform::SetWallClock(std::make_shared<FixedWallClock>(0x12345678));
    QTemporaryDir dir;
    g_nReceiverType = RECEIVER_HP;
    CChildView view;
    view.m_strDumpPath = dir.filePath("gpsdmp.bin");
    view.m_dwLastTrack = 40000; // Start stamps the tick count
    const QString moved = HpStatusScreen().replace(" 45 123", " 46 123");

    view.ParseSatellites(HpStatusScreen()); // changed, but exactly 10 s after Start
    EXPECT_FALSE(QFile::exists(view.m_strDumpPath));
    EXPECT_FALSE(view.m_wndMap.m_bCacheValid);
    ticks->advance(1);
    view.m_wndMap.m_bCacheValid = true;
    view.ParseSatellites(HpStatusScreen()); // no change: no snapshot, no redraw
    EXPECT_FALSE(QFile::exists(view.m_strDumpPath));
    EXPECT_TRUE(view.m_wndMap.m_bCacheValid);

    view.ParseSatellites(moved);
    const QByteArray bytes = ReadFileBytes(view.m_strDumpPath);
    ASSERT_EQ(bytes.size(), 7 * kSatRecordBytes); // one record per slot in use
    // PRN 2, elevation 46, azimuth 123, signal 42, count 5, tenths 0, PRN high 0, the answer's time.
    EXPECT_EQ(bytes.left(12), QByteArray::fromHex("022e7b002a05000078563412"));
    EXPECT_EQ(view.m_sat[6].m_dwTime, 0x12345678u); // the live table carries the stamp too

    ticks->advance(9000);
    view.ParseSatellites(HpStatusScreen());
    EXPECT_EQ(ReadFileBytes(view.m_strDumpPath).size(), 7 * kSatRecordBytes);
    view.m_dwLastTrack = 0xFFFFF000u; // the interval survives the tick count's wrap
    ticks->set(0x2000);
    view.ParseSatellites(moved);
    EXPECT_EQ(ReadFileBytes(view.m_strDumpPath).size(), 14 * kSatRecordBytes);
    platform::SetTickSource(nullptr);
    platform::SetWallClock(nullptr);
}

TEST(TrackFile, TrimKeepsTheLastWholeRecords) {
    QTemporaryDir dir;
    const QString path = dir.filePath("track.bin");
    // 1 kB: 2040 bytes stay; 2052 bytes (over 2048) keep their last 86 records (1032 bytes).
    EXPECT_EQ(AppendTo(path, NumberedRecords(170), 1).size(), 171u);
    std::vector<std::uint32_t> times = AppendTo(path, NumberedRecords(171), 1);
    ASSERT_EQ(times.size(), 87u);
    EXPECT_EQ(times.front(), 85u);
    EXPECT_EQ(times[85], 170u);
    EXPECT_EQ(times.back(), 999u);
    // A partial record at the end is dropped; nothing shifts off the record boundaries.
    EXPECT_EQ(AppendTo(path, NumberedRecords(171) + "abcde", 1), times);
    EXPECT_EQ(AppendTo(path, NumberedRecords(2) + "abcde", 1), (std::vector<std::uint32_t>{0, 1, 999}));
    // No limit: records all the same.
    EXPECT_EQ(AppendTo(path, NumberedRecords(1000), 0).size(), 1001u);
    EXPECT_EQ(AppendTo(path, NumberedRecords(2) + "abcde", 0), (std::vector<std::uint32_t>{0, 1, 999}));
    // Past 1 MB (2 MB here) the newest records within the limit less 1/64 of it stay: 172,032.
    times = AppendTo(path, NumberedRecords(2048 * 1024 / kSatRecordBytes + 100), 2048);
    ASSERT_EQ(times.size(), 172033u);
    EXPECT_EQ(times.front(), 174862u - 172032u);

    std::array<CSatInfo, kSatelliteSlots> sats{};
    sats[0].m_byPrnLow = 1;
    EXPECT_FALSE(AppendTrackSnapshot(dir.filePath("missing/track.bin"), sats, 1, 999, 512));
    EXPECT_EQ(sats[0].m_dwTime, 0u); // nothing stamped
}

// On a nearly full disk the track file keeps whole records: a snapshot cut short is taken back and
// said once, a trim that cannot be finished keeps the newest records whole (the snapshot appended
// to them), and once there is room the next snapshot follows the last whole record.
TEST(TrackFile, ANearlyFullDiskLeavesWholeRecordsAndIsSaidOnce) {
    SmallFileSystem disk(64 * 1024);
    if (!disk.Mounted())
        GTEST_SKIP() << disk.Reason();
    auto ticks = std::make_shared<platform::ManualTickSource>(50000);
    platform::SetTickSource(ticks);
    platform::SetWallClock(std::make_shared<FixedWallClock>(0x12345678));
    g_nReceiverType = RECEIVER_HP;
    CvDlgBar bar;
    CChildView view;
    view.m_pDlgBar = &bar;
    const QString path = disk.FilePath(QStringLiteral("gpsdmp.bin"));
    view.m_strDumpPath = path;
    const QByteArray old = NumberedRecords(340); // 16 bytes of room in its last page
    ASSERT_TRUE(WriteFileBytes(path, old));
    ASSERT_TRUE(disk.LeaveFree(0));
    const QString moved = HpStatusScreen().replace(" 45 123", " 46 123");
    for (int i = 0; i < 3; ++i) {
        ticks->advance(10001);
        view.ParseSatellites(i % 2 ? HpStatusScreen() : moved);
    }
    EXPECT_EQ(ReadFileBytes(path), old);
    const QString said =
        QStringLiteral("Unable to write the track file %1: No space left on device").arg(path);
    EXPECT_EQ(bar.UserWindowText().count(said), 1) << qPrintable(bar.UserWindowText());
    disk.FreeAll();
    ticks->advance(10001);
    view.ParseSatellites(HpStatusScreen());
    const QByteArray grown = ReadFileBytes(path);
    EXPECT_EQ(grown.size(), old.size() + 7 * kSatRecordBytes);
    EXPECT_TRUE(grown.startsWith(old));
    platform::SetWallClock(nullptr);

    // The oldest records are a hole: there is no room for a copy of the newest, and moving them over
    // the hole in place needs two pages where one is free. The move stops part-way; the newest
    // records stay whole, and the snapshot still fits in the file's last page.
    ASSERT_TRUE(
        disk.WriteAfterHole(QStringLiteral("gpsdmp.bin"), 3 * SmallFileSystem::kPage, NumberedRecords(400)));
    const QByteArray before = ReadFileBytes(path);
    ASSERT_TRUE(disk.LeaveFree(SmallFileSystem::kPage));
    std::array<CSatInfo, kSatelliteSlots> sats{};
    sats[0].m_byPrnLow = 7;
    QString trimFailure;
    ASSERT_TRUE(AppendTrackSnapshot(path, sats, 1, 999, 4, nullptr, &trimFailure));
    EXPECT_TRUE(trimFailure.contains(QStringLiteral("part-way"))) << qPrintable(trimFailure);
    const QByteArray left = ReadFileBytes(path);
    const QByteArray snapshot = left.mid(before.size());
    EXPECT_EQ(snapshot.size(), kSatRecordBytes);
    const QByteArray kept = before.right(TrackTrimRule(4).keptBytes);
    EXPECT_EQ(left.mid(SmallFileSystem::kPage), before.mid(SmallFileSystem::kPage) + snapshot);
    EXPECT_EQ(left.left(SmallFileSystem::kPage), kept.left(SmallFileSystem::kPage));
    disk.FreeAll();
    ticks->advance(60 * 1000); // a trim that failed is tried again a minute later
    ASSERT_TRUE(AppendTrackSnapshot(path, sats, 1, 999, 4));
    // Its move is finished from where it stopped, with the snapshot appended meanwhile, not trimmed
    // anew from the file's end.
    EXPECT_EQ(ReadFileBytes(path), kept + snapshot + snapshot);
    platform::SetTickSource(nullptr);
}

// A track file far past its limit is trimmed by reading only the tail it keeps: a sparse file of
// 600 MB grows the process's peak memory by far less than its length.
TEST(TrackFile, TrimOfAHugeFileReadsOnlyTheKeptTail) {
    QTemporaryDir dir;
    const QString path = dir.filePath("track.bin");
    constexpr qint64 kHole = 600LL * 1024 * 1024;
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_TRUE(file.resize(kHole)); // a hole: no disk space, but reads as zeros
        ASSERT_TRUE(file.seek(kHole));
        ASSERT_EQ(file.write(NumberedRecords(50000)), 50000 * kSatRecordBytes);
    }
    const long peakBefore = PeakMemoryKb();
    std::array<CSatInfo, kSatelliteSlots> sats{};
    sats[0].m_byPrnLow = 7;
    ASSERT_TRUE(AppendTrackSnapshot(path, sats, 1, 999, 512));
    EXPECT_LT(PeakMemoryKb() - peakBefore, 64 * 1024);
    const std::vector<CSatInfo> records = DecodeTrackRecords(ReadFileBytes(path));
    ASSERT_EQ(records.size(), 43692u);
    EXPECT_EQ(records.front().m_dwTime, 50000u - 43691u);
    EXPECT_EQ(records[43690].m_dwTime, 49999u);
    EXPECT_EQ(records.back().m_dwTime, 999u);
}
