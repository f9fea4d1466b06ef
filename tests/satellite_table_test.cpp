#include "app/ChildView.h"
#include "app/Globals.h"
#include "receiver/SatelliteParser.h"
#include "support/QtPrinters.h"
#include "support/StatusScreens.h"

#include <gtest/gtest.h>

namespace {

struct Table {
    std::array<CSatInfo, kSatelliteSlots> sats{};
    std::array<QString, kSatelliteSlots> extra;
    int satsInReply = -1;

    SatelliteAnswerResult Parse(const QString& text, int family) {
        return ParseSatelliteAnswer(text, family, SatelliteTable{sats, extra, satsInReply});
    }
};

CSatInfo Sat(int prn, int elevation, int azimuth, int snr, int tenths = 0) {
    CSatInfo sat;
    sat.m_byPrnLow = static_cast<std::uint8_t>(prn & 0xFF);
    sat.m_byPrnHigh = static_cast<std::uint8_t>(prn >> 8);
    sat.m_byElevation = static_cast<std::uint8_t>(elevation);
    sat.m_wAzimuth = static_cast<std::uint16_t>(azimuth);
    sat.m_bySnrWhole = static_cast<std::uint8_t>(snr);
    sat.m_bySnrTenths = static_cast<std::uint8_t>(tenths);
    return sat;
}

void ExpectSat(const CSatInfo& actual, const CSatInfo& expected, int slot) {
    EXPECT_EQ(actual.SatelliteNumber(), expected.SatelliteNumber()) << "slot " << slot;
    EXPECT_EQ(actual.m_byElevation, expected.m_byElevation) << "slot " << slot;
    EXPECT_EQ(actual.m_wAzimuth, expected.m_wAzimuth) << "slot " << slot;
    EXPECT_EQ(actual.m_bySnrWhole, expected.m_bySnrWhole) << "slot " << slot;
    EXPECT_EQ(actual.m_bySnrTenths, expected.m_bySnrTenths) << "slot " << slot;
}

// A screen with the given table lines after a short line (the columns are measured from the
// header's own line) and before a tail.
QString ScreenWith(const QStringList& tableLines) {
    QStringList lines{QStringLiteral("Receiver status screen, head line one"), QStringLiteral("Tracking")};
    lines << tableLines << QStringLiteral("LAT  N  37:23:45.678") << QStringLiteral("end");
    return CrLfLines(lines);
}

} // namespace

TEST(SatelliteTable, StatusScreenFillsSlotsInOrderOfAppearance) {
    const CSatInfo expected[] = {Sat(2, 45, 123, 42),  Sat(9, 10, 300, 0),   Sat(5, 67, 45, 45),
                                 Sat(17, 5, 20, 0),    Sat(12, 30, 270, 38), Sat(25, 12, 10, 31),
                                 Sat(131, 40, 190, 44)};
    for (const QString& screen : {HpStatusScreen(), JacksonStatusScreen(), UccmStatusScreen()}) {
        Table table;
        table.sats[20] = Sat(3, 3, 3, 3); // left over from an earlier answer
        const SatelliteAnswerResult result = table.Parse(screen, RECEIVER_HP);
        ASSERT_EQ(result.end, SatelliteAnswerEnd::Normal);
        EXPECT_TRUE(result.changed);
        EXPECT_EQ(table.satsInReply, 5);
        for (int slot = 0; slot < 7; ++slot)
            ExpectSat(table.sats[slot], expected[slot], slot);
        for (int slot = 7; slot < kSatelliteSlots; ++slot)
            EXPECT_FALSE(table.sats[slot].InUse()) << slot;
        // The rest of a tracked row, spaces reduced (here it holds the not-tracked column too).
        EXPECT_EQ(table.extra[0], QStringLiteral("9 10 300"));
        EXPECT_EQ(table.extra[4], QStringLiteral("L1"));
        EXPECT_EQ(table.extra[1], QString());
    }
}

TEST(SatelliteTable, ProteusPageAndItsSecondHeader) {
    Table table;
    ASSERT_EQ(table.Parse(ProteusStatusPage(), RECEIVER_PROTEUS).end, SatelliteAnswerEnd::Normal);
    EXPECT_EQ(table.satsInReply, 3);
    ExpectSat(table.sats[0], Sat(7, 45, 123, 42), 0);
    ExpectSat(table.sats[1], Sat(30, 10, 300, 0), 1);
    ExpectSat(table.sats[2], Sat(11, 67, 45, 45), 2);
    ExpectSat(table.sats[3], Sat(19, 30, 270, 38), 3);
    EXPECT_FALSE(table.sats[4].InUse());
}

TEST(SatelliteTable, ChangedOnlyByGeometryOrTrackingState) {
    Table table;
    table.Parse(HpStatusScreen(), RECEIVER_HP);
    EXPECT_FALSE(table.Parse(HpStatusScreen(), RECEIVER_HP).changed);
    QString louder = HpStatusScreen();
    louder.replace(QStringLiteral("123   42"), QStringLiteral("123   47"));
    EXPECT_FALSE(table.Parse(louder, RECEIVER_HP).changed);
    EXPECT_EQ(table.sats[0].m_bySnrWhole, 47);
    QString moved = louder;
    moved.replace(QStringLiteral(" 45 123"), QStringLiteral(" 46 123"));
    EXPECT_TRUE(table.Parse(moved, RECEIVER_HP).changed);

    // The same satellite, place and geometry, now in the not-tracked column.
    Table lost;
    lost.Parse(ScreenWith({QStringLiteral("PRN  El  Az  C/N     PRN  El  Az"),
                           SatelliteRow(QStringLiteral("  2  45 123   42 ")), QString(40, u' ')}),
               RECEIVER_HP);
    const SatelliteAnswerResult result =
        lost.Parse(ScreenWith({QStringLiteral("PRN  El  Az  C/N     PRN  El  Az"),
                               SatelliteRow({}, QStringLiteral("  2  45 123")), QString(40, u' ')}),
                   RECEIVER_HP);
    EXPECT_TRUE(result.changed);
    ExpectSat(lost.sats[0], Sat(2, 45, 123, 0), 0);
    EXPECT_EQ(lost.satsInReply, 0);
}

TEST(SatelliteTable, RowsWithBlankColumnsAndOutOfRangeFields) {
    Table table;
    for (int slot = 0; slot < kSatelliteSlots; ++slot)
        table.sats[slot] = Sat(slot + 1, 10, 10, 10);
    const QString header = QStringLiteral("PRN  El  Az  C/N     PRN  El  Az");
    table.Parse(
        ScreenWith({header, SatelliteRow({}, QStringLiteral("  4  20  30")), // not tracked only
                    SatelliteRow(QStringLiteral("1000  45 123   42 ")),      // number too large
                    SatelliteRow(QStringLiteral("65537  45 123   42 ")),     // must not wrap to 1
                    SatelliteRow(QStringLiteral("  6 300 123   42 ")),       // must not wrap to 44
                    SatelliteRow(QStringLiteral("  7  45 360   42 ")),       // azimuth out of range
                    SatelliteRow(QStringLiteral("  x  45 123   42 ")),       // not a number
                    SatelliteRow(QStringLiteral("  8  ab 123   42 ")),       // elevation not a number
                    SatelliteRow(QStringLiteral("  9  45 123   42 ")), QString(40, u' '), // ends the table
                    SatelliteRow(QStringLiteral(" 10  45 123   42 "))}),
        RECEIVER_HP);
    EXPECT_EQ(table.satsInReply, 1);
    ExpectSat(table.sats[0], Sat(4, 20, 30, 0), 0);
    ExpectSat(table.sats[1], Sat(9, 45, 123, 42), 1);
    for (int slot = 2; slot < kSatelliteSlots; ++slot)
        EXPECT_FALSE(table.sats[slot].InUse()) << slot;
}

TEST(SatelliteTable, WithoutUsableHeaderTheTableIsWipedOut) {
    const QString rows =
        CrLfLines({SatelliteRow(QStringLiteral("  2  45 123   42 ")), QString(40, u' '), "end"});
    const QString cases[] = {
        // "PRN " at index 24: too near the start of the text.
        QString(22, u'x') + QStringLiteral("\r\nPRN  El  Az  C/N\r\n") + rows,
        // "PRN " beyond the first 25 characters of its line.
        QStringLiteral("head line\r\n") + QString(30, u' ') + QStringLiteral("PRN  El\r\n") + rows,
        // No header at all, and a header with no line end after it.
        HpStatusScreen().replace(QStringLiteral("PRN "), QStringLiteral("SV  ")),
        QString(30, u'x') + QStringLiteral("\nPRN  El  Az  C/N"),
        // A table cut off in its last field.
        QString(30, u'x') + QStringLiteral("\nPRN  El  Az  C/N\r\n  2  45 123   42"),
    };
    for (const QString& text : cases) {
        Table table;
        table.sats[5] = Sat(5, 5, 5, 5);
        table.extra[5] = QStringLiteral("kept");
        table.satsInReply = 7;
        EXPECT_EQ(table.Parse(text, RECEIVER_HP).end, SatelliteAnswerEnd::WipedOut) << qPrintable(text);
        EXPECT_FALSE(table.sats[5].InUse());
    }
    Table headerless;
    headerless.satsInReply = 7;
    headerless.extra[5] = QStringLiteral("kept");
    headerless.Parse(QStringLiteral("no table"), RECEIVER_HP);
    EXPECT_EQ(headerless.satsInReply, 7);
    EXPECT_EQ(headerless.extra[5], QStringLiteral("kept"));
    EXPECT_EQ(Table().Parse(QString(), RECEIVER_HP).end, SatelliteAnswerEnd::Ignored);
}

TEST(SatelliteTable, DatumRecordsOfTheSatelliteRequest) {
    Table table;
    table.sats[15] = Sat(15, 15, 15, 15); // slots 12-23 are not touched by this form
    table.sats[8] = Sat(8, 8, 8, 8);
    const SatelliteAnswerResult result = table.Parse(DatumSatAnswer(), RECEIVER_DATUM);
    EXPECT_EQ(result.end, SatelliteAnswerEnd::Normal);
    EXPECT_EQ(table.satsInReply, 3);
    ExpectSat(table.sats[0], Sat(14, 45, 123, 42, 5), 0);
    ExpectSat(table.sats[1], Sat(22, 67, 45, 45, 0), 1);
    ExpectSat(table.sats[2], Sat(31, 10, 300, 0, 5), 2); // 00.5 is kept
    EXPECT_FALSE(table.sats[8].InUse());
    EXPECT_TRUE(table.sats[15].InUse());

    // Dropped records do not use up a slot.
    const auto record = [](const char* prn, const char* el, const char* snr, const char* tenths) {
        return DatumSatRecord(1, QString::fromLatin1(prn), QString::fromLatin1(el), QStringLiteral("100"),
                              QString::fromLatin1(snr), QString::fromLatin1(tenths));
    };
    Table dropped;
    dropped.Parse(
        CrLfLines({record("00", "45", "40", "0"), record("  ", "45", "40", "0"), record("3", "00", "40", "0"),
                   record("4", "95", "40", "0"), record("5", "45", "00", "0"), record("6", "45", "40", "x"),
                   record("7", "4x", "40", "0")}),
        RECEIVER_DATUM);
    EXPECT_EQ(dropped.satsInReply, 1);
    ExpectSat(dropped.sats[0], Sat(6, 45, 100, 40, 0), 0);
    EXPECT_FALSE(dropped.sats[1].InUse());
}

TEST(SatelliteTable, CountGoesToTheFamilysChannel) {
    CChildView view;
    view.m_strDumpPath.clear();
    g_nReceiverType = RECEIVER_DATUM;
    view.ParseSatellites(DatumSatAnswer());
    EXPECT_EQ(view.m_strChannelValue[2], QStringLiteral("3"));
    g_nReceiverType = RECEIVER_UCCM;
    view.ParseSatellites(UccmStatusScreen());
    EXPECT_EQ(view.m_strChannelValue[3], QStringLiteral("5"));
    // A wipe-out writes no count.
    view.m_strChannelValue[3] = QStringLiteral("old");
    view.ParseSatellites(QStringLiteral("no table at all"));
    EXPECT_EQ(view.m_strChannelValue[3], QStringLiteral("old"));
    EXPECT_FALSE(view.m_sat[0].InUse());
}
