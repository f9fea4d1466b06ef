#include "app/ChildView.h"
#include "app/Globals.h"
#include "platform/TickCount.h"
#include "platform/WallClock.h"
#include "receiver/SatelliteTrackFile.h"
#include "support/FixedWallClock.h"
#include "support/QtPrinters.h"
#include "support/StatusScreens.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

QByteArray ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void WriteAll(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
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

std::array<CSatInfo, kSatelliteSlots> OneSatellite() {
    std::array<CSatInfo, kSatelliteSlots> sats{};
    sats[3].m_byPrnLow = 7;
    sats[3].m_byElevation = 45;
    return sats;
}

struct ViewFixture : ::testing::Test {
    void SetUp() override {
        platform::setTickSource(ticks);
        platform::setWallClock(clock);
        g_nReceiverType = RECEIVER_HP;
        view.m_strDumpPath = dir.filePath(QStringLiteral("gpsdmp.bin"));
        view.m_dwLastTrack = 0;
    }
    void TearDown() override {
        platform::setTickSource(nullptr);
        platform::setWallClock(nullptr);
    }
    QTemporaryDir dir;
    std::shared_ptr<platform::ManualTickSource> ticks = std::make_shared<platform::ManualTickSource>(10001);
    std::shared_ptr<FixedWallClock> clock = std::make_shared<FixedWallClock>(0x12345678);
    CChildView view;
};

} // namespace

TEST(SatInfo, TwelveLittleEndianBytes) {
    CSatInfo sat;
    sat.m_byPrnLow = 0x83;
    sat.m_byElevation = 45;
    sat.m_wAzimuth = 0x0123;
    sat.m_bySnrWhole = 42;
    sat.m_bySatCount = 9;
    sat.m_bySnrTenths = 5;
    sat.m_byPrnHigh = 0x01;
    sat.m_dwTime = 0x65A1B2C3;
    const SatRecordBytes expected = {0x83, 45, 0x23, 0x01, 42, 9, 5, 0x01, 0xC3, 0xB2, 0xA1, 0x65};
    EXPECT_EQ(SerialiseSatInfo(sat), expected);
    const CSatInfo back = DeserialiseSatInfo(expected);
    EXPECT_EQ(SerialiseSatInfo(back), expected);
    EXPECT_EQ(back.SatelliteNumber(), 0x183);
    EXPECT_DOUBLE_EQ(back.SignalLevel(), 42.5);
    // A partial record at the end of the file is no record.
    EXPECT_EQ(DecodeTrackRecords(NumberedRecords(3) + "xy").size(), 3u);
}

TEST_F(ViewFixture, SnapshotHasOneRecordPerSlotInUseWithSharedTimeAndCount) {
    view.ParseSatellites(HpStatusScreen());
    const QByteArray bytes = ReadAll(view.m_strDumpPath);
    ASSERT_EQ(bytes.size(), 7 * kSatRecordBytes);
    // Slot 0: PRN 2, elevation 45, azimuth 123, signal 42, count 5, time 0x12345678.
    EXPECT_EQ(bytes.left(12), QByteArray::fromHex("022d7b002a05000078563412"));
    const std::vector<CSatInfo> records = DecodeTrackRecords(bytes);
    const int numbers[] = {2, 9, 5, 17, 12, 25, 131};
    for (int i = 0; i < 7; ++i) {
        EXPECT_EQ(records[i].SatelliteNumber(), numbers[i]);
        EXPECT_EQ(records[i].m_dwTime, 0x12345678u);
        EXPECT_EQ(records[i].m_bySatCount, 5);
    }
    // The live table carries the stamp too.
    EXPECT_EQ(view.m_sat[6].m_dwTime, 0x12345678u);
    EXPECT_EQ(view.m_sat[6].m_bySatCount, 5);
    EXPECT_EQ(view.m_dwLastTrack, 10001u);
}

TEST_F(ViewFixture, SnapshotsOnlyOnChangeAndAtMostEveryTenSeconds) {
    QString moved = HpStatusScreen();
    moved.replace(QStringLiteral(" 45 123"), QStringLiteral(" 46 123"));
    view.m_dwLastTrack = ticks->ticks();
    ticks->advance(10000); // exactly the interval: not yet
    view.ParseSatellites(HpStatusScreen());
    EXPECT_FALSE(QFile::exists(view.m_strDumpPath));
    EXPECT_FALSE(view.m_wndMap.m_bCacheValid);

    ticks->advance(1);
    view.m_wndMap.m_bCacheValid = true;
    view.ParseSatellites(HpStatusScreen()); // no change since the last answer
    EXPECT_FALSE(QFile::exists(view.m_strDumpPath));
    EXPECT_TRUE(view.m_wndMap.m_bCacheValid);

    view.ParseSatellites(moved);
    EXPECT_EQ(ReadAll(view.m_strDumpPath).size(), 7 * kSatRecordBytes);
    EXPECT_FALSE(view.m_wndMap.m_bCacheValid);
    ticks->advance(5000);
    view.ParseSatellites(HpStatusScreen());
    EXPECT_EQ(ReadAll(view.m_strDumpPath).size(), 7 * kSatRecordBytes);

    // A tick count that wrapped past zero still measures the interval.
    view.m_dwLastTrack = 0xFFFFF000u;
    ticks->set(0x2000);
    view.ParseSatellites(moved);
    EXPECT_EQ(ReadAll(view.m_strDumpPath).size(), 14 * kSatRecordBytes);

    // No path: no snapshot.
    const QString path = view.m_strDumpPath;
    view.m_strDumpPath.clear();
    ticks->advance(20000);
    view.ParseSatellites(HpStatusScreen());
    EXPECT_EQ(ReadAll(path).size(), 14 * kSatRecordBytes);
}

TEST(TrackFile, TrimKeepsTheLastWholeRecords) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("track.bin"));
    auto sats = OneSatellite();

    // 1 kB: 2040 bytes are below the 2048 threshold and stay; 2052 are cut to the last 86 records.
    WriteAll(path, NumberedRecords(170));
    ASSERT_TRUE(AppendTrackSnapshot(path, sats, 1, 999, 1));
    EXPECT_EQ(ReadAll(path).size(), 171 * 12);
    WriteAll(path, NumberedRecords(171));
    AppendTrackSnapshot(path, sats, 1, 999, 1);
    std::vector<CSatInfo> records = DecodeTrackRecords(ReadAll(path));
    ASSERT_EQ(records.size(), 87u);
    EXPECT_EQ(records.front().m_dwTime, 85u);
    EXPECT_EQ(records[85].m_dwTime, 170u);
    EXPECT_EQ(records.back().m_dwTime, 999u);

    // A partial record left at the end is dropped: the kept records stay on their boundaries.
    WriteAll(path, NumberedRecords(171) + "abcde");
    AppendTrackSnapshot(path, sats, 1, 999, 1);
    const QByteArray trimmed = ReadAll(path);
    ASSERT_EQ(trimmed.size(), 87 * 12);
    records = DecodeTrackRecords(trimmed);
    EXPECT_EQ(records.front().m_dwTime, 85u);
    EXPECT_EQ(records[85].m_dwTime, 170u);
    EXPECT_EQ(records.back().m_dwTime, 999u);
    WriteAll(path, NumberedRecords(2) + "abcde");
    AppendTrackSnapshot(path, sats, 1, 999, 1);
    EXPECT_EQ(DecodeTrackRecords(ReadAll(path)).back().m_dwTime, 999u);
    EXPECT_EQ(ReadAll(path).size(), 36);

    // 512 kB: above 525,312 bytes the last 43,691 records (524,292 bytes) are kept.
    EXPECT_EQ(TrackTrimThreshold(512), 525312);
    WriteAll(path, NumberedRecords(43777)); // 525,324 bytes
    AppendTrackSnapshot(path, sats, 1, 999, 512);
    records = DecodeTrackRecords(ReadAll(path));
    ASSERT_EQ(records.size(), 43692u);
    EXPECT_EQ(records.front().m_dwTime, 43777u - 43691u);

    // No limit.
    WriteAll(path, NumberedRecords(1000));
    AppendTrackSnapshot(path, sats, 1, 999, 0);
    EXPECT_EQ(ReadAll(path).size(), 1001 * 12);
}

TEST(TrackFile, UnopenableFileIsSkippedAndStampsNothing) {
    auto sats = OneSatellite();
    EXPECT_FALSE(AppendTrackSnapshot(QStringLiteral("/nonexistent-folder/x/track.bin"), sats, 1, 999, 512));
    EXPECT_EQ(sats[3].m_dwTime, 0u);
}
