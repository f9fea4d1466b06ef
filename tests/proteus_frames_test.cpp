#include "receiver/ProteusFrames.h"
#include "support/ProteusFrameBuilder.h"

#include <QStringList>
#include <deque>
#include <gtest/gtest.h>

namespace {

QByteArray SampleEfcFrame(std::int32_t efc = 1008) {
    ProteusFrameBuilder b(kProteusEfcFrameBytes);
    b.u8(0, 0x10).u8(3, 0x99); // header bytes, outside the check
    b.i32(6, 345600).i32(10, 42).u16(14, (123 << 4) | 0x0F).i32(16, 18 << 26);
    const int sats[4] = {5, 17, 0, 31};
    for (int i = 0; i < 4; ++i)
        b.u8(20 + i, sats[i])
            .u8(24 + i, 10 + i)
            .u16(28 + 2 * i, 40 + i)
            .u16(36 + 2 * i, 8 * i)
            .u8(44 + i, 90 + i);
    b.u16(48, 2200).i32(50, -1234).i32(56, -655360).u8(61, 0x06).i32(66, efc);
    return b.frame();
}

QByteArray SampleStatusFrame() {
    ProteusFrameBuilder b(kProteusStatusFrameBytes);
    b.u8(0, 0x08).u8(14, 0xF2);
    b.i32(16, static_cast<std::int32_t>(-33.5 * 8388608))
        .i32(20, static_cast<std::int32_t>(151.25 * 8388608));
    b.i32(24, 40 * 16 + 8).i32(32, 3).u16(36, 65535);
    for (int i = 0; i < 6; ++i)
        b.i32(44 + 4 * i, (i + 1) * 8);
    b.u16(68, 1).u16(70, 2).u16(72, 3).u16(74, 21).u16(76, 18).u16(78, 9).u16(80, 15);
    // Channel 0 tracks 17, channel 1 is unused, channel 2 sees 5 without tracking, channel 3 tracks 5.
    b.u8(82, 0x80 | 17).u8(83, 44).u8(106, 61).u16(130, 271);
    b.u8(86, 5).u8(87, 30).u8(110, 7).u16(134, 12);
    b.u8(88, 0x80 | 5).u8(89, 39).u8(112, 45).u16(136, 180);
    return b.frame();
}

} // namespace

TEST(ProteusFrames, CheckTellsFramesByLengthAndSumFromByteFour) {
    QByteArray efc = SampleEfcFrame();
    EXPECT_EQ(CheckProteusFrame(efc), ProteusFrameKind::Efc);
    EXPECT_EQ(CheckProteusFrame(SampleStatusFrame()), ProteusFrameKind::Status);
    efc[1] = 0x55; // bytes 0-3 are outside the check
    EXPECT_EQ(CheckProteusFrame(efc), ProteusFrameKind::Efc);
    efc[4] = 0x01;
    EXPECT_EQ(CheckProteusFrame(efc), ProteusFrameKind::BadChecksum);
    QByteArray status = SampleStatusFrame();
    status[179] = static_cast<char>(status[179] ^ 0x40);
    EXPECT_EQ(CheckProteusFrame(status), ProteusFrameKind::BadChecksum);
    for (qsizetype size : {0, 71, 73, 179})
        EXPECT_EQ(CheckProteusFrame(QByteArray(size, '\0')), ProteusFrameKind::WrongLength) << size;

    using R = ProteusReadResult;
    using K = ProteusFrameKind;
    EXPECT_EQ(ProteusFailureText(R::Frame, K::BadChecksum, 72), QStringLiteral("Failed checksum 72"));
    EXPECT_EQ(ProteusFailureText(R::Frame, K::BadChecksum, 180), QStringLiteral("Failed checksum STATUS"));
    EXPECT_TRUE(ProteusFailureText(R::Nothing, K::WrongLength, 0).isEmpty());
}

TEST(ProteusFrames, CollectJoinsPiecesUntilAWaitBringsNothing) {
    auto collect = [](std::deque<QByteArray> chunks) {
        return CollectProteusFrame(
            [&](qsizetype room) {
                QByteArray c = chunks.empty() ? QByteArray() : chunks.front();
                if (!chunks.empty())
                    chunks.pop_front();
                EXPECT_LE(c.size(), room);
                return c;
            },
            [] {});
    };
    EXPECT_EQ(collect({}).result, ProteusReadResult::Nothing);
    const ProteusRead joined = collect({QByteArray(50, 'a'), QByteArray(22, 'b'), {}, QByteArray(8, 'c')});
    EXPECT_EQ(joined.result, ProteusReadResult::Frame);
    EXPECT_EQ(joined.bytes, QByteArray(50, 'a') + QByteArray(22, 'b'));
    EXPECT_EQ(collect({QByteArray(200, 'a'), QByteArray(99, 'b')}).bytes.size(), 299);
    EXPECT_EQ(collect({QByteArray(200, 'a'), QByteArray(100, 'b')}).result, ProteusReadResult::Overrun);
}

TEST(ProteusFrames, EfcFrameChannelsLeapAndTimeCode) {
    const ProteusEfcFrame f = DecodeProteusEfcFrame(SampleEfcFrame());
    // Its time, week, receiver number, time interval and health show on the status page below.
    EXPECT_EQ(ProteusSatelliteLine(f.corrections[1]), QStringLiteral("17  11  91  2.5625  0.5000"));
    EXPECT_EQ(DecodeProteusEfcFrame(QByteArray(10, '\x7F')).efc, 0); // a short buffer is not read

    // Channels stay empty until four readings are in the history, and then follow the mean.
    ProteusEfcState state;
    std::array<int, 4> history{};
    for (int i = 0; i < 4; ++i)
        EXPECT_TRUE(ApplyProteusEfcFrame(f, state, history).values[0].isEmpty());
    EXPECT_EQ(state.efcShown, 1008);
    const ProteusChannelValues v = ApplyProteusEfcFrame(f, state, history);
    EXPECT_EQ(v.values, (std::array<QString, 3>{"1008", "-1.23400e-06", "-1.000000e-05"}));
    EXPECT_DOUBLE_EQ(state.gpsUtcOffset, 18.0);

    EXPECT_EQ(ProteusLeapCorrection(f.gpsUtcOffset, 3), 18);
    EXPECT_EQ(ProteusLeapCorrection((18 << 26) - (1 << 24), 3), 18); // 17.75 rounds up
    EXPECT_EQ(ProteusLeapCorrection(0, 3), 3);
    EXPECT_EQ(ProteusTimeCode(ProteusGpsSeconds(2200, 345600, 18)), QStringLiteral("T1#H1330905582"));
    EXPECT_EQ(ProteusGpsSeconds(0, 5, 18), 4294967283u); // unsigned arithmetic wraps
}

TEST(ProteusFrames, EfcReadingIsAcceptedOnlyNearMeanAndPrediction) {
    std::array<int, 4> history{1000, 1002, 1004, 1006};
    const ProteusEfcAcceptance a = AcceptProteusEfc(history, 1008);
    EXPECT_TRUE(a.accepted);
    EXPECT_EQ(a.roundedMean, 1003);
    EXPECT_EQ(history, (std::array<int, 4>{1002, 1004, 1006, 1008}));
    history = {1000, 1002, 1004, 1006};
    EXPECT_FALSE(AcceptProteusEfc(history, 1010).accepted); // 7 from the rounded mean
    // A zero in the history blocks acceptance until it has moved out.
    history = {0, 1000, 1000, 1000};
    EXPECT_FALSE(AcceptProteusEfc(history, 1000).accepted);
    EXPECT_TRUE(AcceptProteusEfc(history, 1000).accepted);
    history = {INT32_MIN, INT32_MAX, INT32_MIN, INT32_MAX}; // stays defined
    EXPECT_FALSE(AcceptProteusEfc(history, INT32_MIN).accepted);
}

TEST(ProteusFrames, StatusPageLayout) {
    ProteusEfcState efc;
    std::array<int, 4> history{};
    ApplyProteusEfcFrame(DecodeProteusEfcFrame(SampleEfcFrame()), efc, history);
    efc.shownDateTime = QStringLiteral("09/03/2022 12:34:56");
    const QStringList lines =
        ProteusStatusPage(DecodeProteusStatusFrame(SampleStatusFrame()), efc).split(QStringLiteral("\r\n"));
    ASSERT_EQ(lines.size(), 24);
    EXPECT_EQ(
        lines[0],
        QStringLiteral("______________________________ NavSymm Proteus 123 ______________________GPS-3D"));
    EXPECT_EQ(lines[2],
              QStringLiteral("GPS time: 345600.0042  Week: 2200 UTC Correction: 18.0000  Date: 09/03/2022"));
    EXPECT_EQ(lines[4], QStringLiteral("ENU: PE 0.50  PN 1.00  PU 1.50  VE 2.00  VN 2.50  VU 3.00"));
    EXPECT_EQ(lines[5], QStringLiteral("Acc: Pos   1  Hor   2 Vert   3 GDOP 2.1 PDOP 1.8 HDOP 0.9 VDOP 1.5"));
    EXPECT_EQ(lines[8],
              QStringLiteral("Tracking: 2                           Not tracking: 1   UTC      12:34:56  "));
    EXPECT_TRUE(lines[9].endsWith(QStringLiteral("C/N   1PPS CLK sync to UTC")));
    // Satellite 17 has a correction line, whose IODE, Trop and Iono columns join its row.
    EXPECT_EQ(lines[10],
              QStringLiteral(" 17  61 271   44  91  2.5625  0.5000    5   7  12  30   EFC      -4.84619V"));
    EXPECT_EQ(lines[11],
              QStringLiteral("  5  45 180   39  90  2.5000  0.0000").leftJustified(56) + "TI       -1234 ns");
    const QStringList right = {
        "20MHz+-  -0.000010",  "", "LAT      S 33:30: 0.000", "LON      E151:15: 0.000",
        "HGT      +40.50 MSL", "", "SPD      3.00 m/s",       "HDG      359.99"};
    for (int row = 2; row < 10; ++row)
        EXPECT_EQ(lines[10 + row], QString(56, QLatin1Char(' ')) + right[row - 2]) << row;
    EXPECT_EQ(lines[22],
              QStringLiteral("Health monitor: Preamp-F  EPROM-F  RAM-P  TCXO-P  CritMem-P  RTC-P"));
}

TEST(ProteusFrames, StatusPageBeforeAnyEfcFrameAndOddValues) {
    ProteusStatusFrame frame = DecodeProteusStatusFrame(SampleStatusFrame());
    frame.fixMode = 9;
    frame.ppsSynchronised = false;
    const QStringList lines = ProteusStatusPage(frame, ProteusEfcState{}).split(QStringLiteral("\r\n"));
    EXPECT_TRUE(lines[0].endsWith(QLatin1Char('_')));
    EXPECT_TRUE(lines[2].endsWith(QStringLiteral("Date: ")));
    EXPECT_TRUE(lines[9].endsWith(QStringLiteral("1PPS CLK not sync")));
    EXPECT_EQ(lines[10].left(39), QStringLiteral(" 17  61 271   44").leftJustified(39)); // no extras yet
    EXPECT_EQ(ProteusLatitudeText(0), QStringLiteral("LAT      S  0:00: 0.000"));
    EXPECT_EQ(ProteusLongitudeText(-8388608 / 2), QStringLiteral("LON      W  0:30: 0.000"));
}
