// Position, lock state and satellite table from the receivers' answers.
#include "app/ChildView.h"
#include "app/Globals.h"
#include "receiver/LockState.h"
#include "receiver/PositionParser.h"
#include "receiver/SatelliteParser.h"
#include "support/StatusScreens.h"

#include <gtest/gtest.h>

namespace {

constexpr double kLatitude = 37 + 23 / 60.0 + 45.678 / 3600;

struct Table {
    std::array<CSatInfo, kSatelliteSlots> sats{};
    std::array<QString, kSatelliteSlots> extra;
    int satsInReply = -1;
    SatelliteAnswerResult Parse(const QString& text, int family = RECEIVER_HP) {
        return ParseSatelliteAnswer(text, family, SatelliteTable{sats, extra, satsInReply});
    }
    // "prn/elevation/azimuth/signal" of each slot, up to the last one in use.
    QStringList Slots() const {
        QStringList result;
        for (const CSatInfo& s : sats)
            result << (s.InUse() ? QStringLiteral("%1/%2/%3/%4")
                                       .arg(s.SatelliteNumber())
                                       .arg(s.m_byElevation)
                                       .arg(s.m_wAzimuth)
                                       .arg(s.SignalLevel())
                                 : QString());
        while (!result.isEmpty() && result.last().isEmpty())
            result.removeLast();
        return result;
    }
};

// A table after a short line (the columns are measured from the header's own line).
QString ScreenWith(const QStringList& rows) {
    return CrLfLines(
        QStringList{"Receiver status screen, head", "Tracking", "PRN  El  Az  C/N     PRN  El  Az"} + rows +
        QStringList{QString(40, u' '), "end"});
}

} // namespace

// Whole positions of every family are read end to end in family_polling_test.
TEST(Position, DatumHemisphereLetter) {
    EXPECT_DOUBLE_EQ(*ParsePositionText("POS:   10 30.00 n", RECEIVER_DATUM).latitude, 10.5);
    const PositionFields cut = ParsePositionText("POS:   10 30.00", RECEIVER_DATUM); // no letter: south
    EXPECT_DOUBLE_EQ(*cut.latitude, -10.5);
    EXPECT_FALSE(cut.longitude || cut.height);
}

TEST(Position, FieldsStandAlone) {
    EXPECT_DOUBLE_EQ(*ParsePositionText("AVG LAT s 33:52:10.000\r\n", 0).latitude,
                     -(33 + 52 / 60.0 + 10 / 3600.0));
    // No hemisphere letter, no digit, no line end: that field is missing, the others count.
    const PositionFields p = ParsePositionText("LAT  37:23:45\r\nHGT  m\r\nLON  W 10:30\r\nLAT  N 1", 0);
    EXPECT_FALSE(p.latitude || p.height);
    EXPECT_DOUBLE_EQ(*p.longitude, -10.5);
    // Numbers are read within their line; a C library's "inf" is not a number here.
    EXPECT_DOUBLE_EQ(*ParsePositionText("LAT  N \r\n42\r\n", 0).latitude, 0.0);
    EXPECT_DOUBLE_EQ(*ParsePositionText("LON  E inf\r\n", 0).longitude, 0.0);

    g_nReceiverType = RECEIVER_HP;
    CChildView view;
    view.ParsePosition(QString());         // does not count
    view.ParsePosition("no position yet"); // read: still at 0, 0
    view.ParsePosition(HpStatusScreen());  // read
    const QString moved = HpStatusScreen().replace("N  37", "N  38");
    for (int call = 3; call <= 101; ++call) {
        EXPECT_DOUBLE_EQ(view.m_dLatitude, kLatitude);
        view.ParsePosition(moved); // the 101st call reads again
    }
    EXPECT_DOUBLE_EQ(view.m_dLatitude, kLatitude + 1);
}

TEST(LockState, EachFamilysMarkOfValidTime) {
    EXPECT_FALSE(TimeValidFromStatus(HpStatusScreen(), RECEIVER_UCCM));
    EXPECT_FALSE(TimeValidFromStatus(HpStatusScreen(), 7));
    EXPECT_FALSE(
        TimeValidFromStatus("UTC  " + QString(29, u'0') + "?", RECEIVER_HP)); // '?' at +11 to +34 only
    EXPECT_TRUE(TimeValidFromStatus("UTC  " + QString(30, u'0') + "?", RECEIVER_HP));
    EXPECT_TRUE(TimeValidFromStatus("LOCAL 12:00:00", RECEIVER_JACKSON));

    g_nReceiverType = RECEIVER_HP;
    CChildView view;
    view.ParseLockState(HpStatusScreen(true));
    EXPECT_TRUE(view.m_bSetTimeEnabled);
    view.m_bSetTimePending = true; // a Set time in progress keeps its enabler
    view.ParseLockState(HpStatusScreen(false));
    EXPECT_FALSE(view.m_bTimeValid);
    EXPECT_TRUE(view.m_bSetTimeEnabled);
}

TEST(SatelliteTable, StatusScreensFillSlotsInOrderOfAppearance) {
    for (const QString& screen : {HpStatusScreen(), JacksonStatusScreen(), UccmStatusScreen()}) {
        Table table;
        table.sats[20].m_byPrnLow = 3; // from an earlier answer
        EXPECT_EQ(table.Parse(screen).end, SatelliteAnswerEnd::Normal);
        EXPECT_EQ(table.Slots(), (QStringList{"2/45/123/42", "9/10/300/0", "5/67/45/45", "17/5/20/0",
                                              "12/30/270/38", "25/12/10/31", "131/40/190/44"}));
        EXPECT_EQ(table.satsInReply, 5);
        EXPECT_EQ(table.extra[0], "9 10 300"); // the rest of the row, spaces reduced
        EXPECT_EQ(table.extra[4], "L1");
    }
}

TEST(SatelliteTable, ChangedOnlyByGeometryOrLostTracking) {
    Table table;
    EXPECT_TRUE(table.Parse(HpStatusScreen()).changed);
    // Rows with a blank column empty their slot on the way; the same sky is still no change.
    EXPECT_FALSE(table.Parse(HpStatusScreen()).changed);
    const QString louder = HpStatusScreen().replace("123   42", "123   47");
    EXPECT_FALSE(table.Parse(louder).changed);
    EXPECT_EQ(table.sats[0].m_bySnrWhole, 47);
    EXPECT_TRUE(table.Parse(QString(louder).replace(" 45 123", " 46 123")).changed);

    Table lost;
    lost.Parse(ScreenWith({SatelliteRow("  2  45 123   42 ")}));
    EXPECT_TRUE(lost.Parse(ScreenWith({SatelliteRow({}, "  2  45 123")})).changed);
    EXPECT_EQ(lost.Slots(), QStringList{"2/45/123/0"});
}

TEST(SatelliteTable, OutOfRangeFieldsDropTheSatelliteWithoutWrapping) {
    Table table;
    for (CSatInfo& sat : table.sats)
        sat.m_byPrnLow = 99;
    table.Parse(ScreenWith({SatelliteRow({}, "  4  20  30"), SatelliteRow("1000  45 123   42 "),
                            SatelliteRow("65537  45 123   42 "), SatelliteRow("  6 300 123   42 "),
                            SatelliteRow("  7  45 360   42 "), SatelliteRow("  x  45 123   42 "),
                            SatelliteRow("  8  ab 123   42 "), SatelliteRow("  9  45 123   42 ")}));
    EXPECT_EQ(table.Slots(), (QStringList{"4/20/30/0", "9/45/123/42"})); // later slots emptied
    EXPECT_EQ(table.satsInReply, 1);
}

TEST(SatelliteTable, WithoutUsableHeaderTheTableIsWipedOut) {
    const QString rows = CrLfLines({SatelliteRow("  2  45 123   42 "), QString(40, u' '), "end"});
    for (const QString& text : {QString(22, u'x') + "\r\nPRN  El  Az\r\n" + rows,      // header at 24
                                "head\r\n" + QString(30, u' ') + "PRN  El\r\n" + rows, // far into its line
                                HpStatusScreen().replace("PRN ", "SV  "),              // none
                                QString(30, u'x') + "\nPRN  El  Az  C/N",              // no row
                                QString(30, u'x') + "\nPRN  El  Az  C/N\r\n  2  45 123   42"}) { // cut short
        Table table;
        table.sats[5].m_byPrnLow = 5;
        table.extra[5] = "kept";
        table.satsInReply = 7;
        EXPECT_EQ(table.Parse(text).end, SatelliteAnswerEnd::WipedOut);
        EXPECT_EQ(table.Slots(), QStringList());
        if (!text.contains("\r\n  2")) { // failed in the header: count and extras stay
            EXPECT_EQ(table.satsInReply, 7);
            EXPECT_EQ(table.extra[5], "kept");
        }
    }
}

TEST(SatelliteTable, DatumRecords) {
    Table table;
    table.sats[8].m_byPrnLow = 8;   // emptied: slots up to 11 belong to this answer
    table.sats[15].m_byPrnLow = 15; // kept
    table.Parse(DatumSatAnswer(), RECEIVER_DATUM);
    EXPECT_EQ(table.Slots(), QStringList({"14/45/123/42.5", "22/67/45/45", "31/10/300/0.5"}) +
                                 QStringList(12, QString()) + QStringList{"15/0/0/0"});
    EXPECT_EQ(table.satsInReply, 3);
    Table dropped; // dropped records do not use up a slot
    dropped.Parse(
        CrLfLines({DatumSatRecord("00", "45", "100", "40", "0"), DatumSatRecord("  ", "45", "100", "40", "0"),
                   DatumSatRecord("3", "00", "100", "40", "0"), DatumSatRecord("4", "95", "100", "40", "0"),
                   DatumSatRecord("5", "45", "100", "00", "0"), DatumSatRecord("6", "45", "100", "40", "x"),
                   DatumSatRecord("7", "4x", "100", "40", "0")}),
        RECEIVER_DATUM);
    EXPECT_EQ(dropped.Slots(), QStringList{"6/45/100/40"});

    g_nReceiverType = RECEIVER_UCCM;
    CChildView view;
    view.m_strDumpPath.clear();
    view.m_strChannelValue[3] = "old";
    view.ParseSatellites("no table"); // a wipe-out writes no count
    EXPECT_EQ(view.m_strChannelValue[3], "old");
}
