#include "app/ChildView.h"
#include "app/Globals.h"
#include "receiver/ReplyValues.h"

#include <gtest/gtest.h>

namespace {
QString Validated(QString text) {
    CChildView::ValidateNumber(text);
    return text;
}
} // namespace

TEST(ValidateNumber, TrimsAndKeepsOnlyWholeNumbers) {
    EXPECT_EQ(Validated(QStringLiteral("  -12.5E+3 \r\n")), QStringLiteral("-12.5E+3"));
    EXPECT_EQ(Validated(QStringLiteral("+1.23E-08")), QStringLiteral("+1.23E-08"));
    EXPECT_EQ(Validated(QStringLiteral("7")), QStringLiteral("7"));
    EXPECT_EQ(Validated(QStringLiteral("1.")), QStringLiteral("1."));
    for (const char* bad : {"12 volts", ".5", "E3", " ", "", "+", "-", "1-2", "1..5", "1E", "+-1", "--1",
                            "1e999", "0x10", "nan", "1,5"})
        EXPECT_EQ(Validated(QString::fromLatin1(bad)), QString()) << bad;
    QString text = QStringLiteral("abc");
    EXPECT_FALSE(CChildView::ValidateNumber(text));
}

TEST(ChannelRules, DatumEfcTimeIntervalCommaAndTemperature) {
    EXPECT_EQ(DatumEfcValue(QStringLiteral("CVT: 1234 5678")), QStringLiteral("1234"));
    EXPECT_EQ(DatumEfcValue(QStringLiteral("CVT:")), QString());
    EXPECT_EQ(TimeIntervalValue(RECEIVER_HP, QStringLiteral("+1.23e-08")), QStringLiteral("+1.23E-08"));
    EXPECT_EQ(TimeIntervalValue(RECEIVER_DATUM, QStringLiteral("rpd: a b 3.5e-9 phase x")),
              QStringLiteral("3.5E-9"));
    EXPECT_EQ(TimeIntervalValue(RECEIVER_DATUM, QStringLiteral("12e-9")), QStringLiteral("12E-9"));
    EXPECT_EQ(TimeIntervalValue(RECEIVER_DATUM, QStringLiteral("PHASE RPD: x")), QString());
    EXPECT_EQ(LastCommaValue(QStringLiteral("+1.0E-06,+2.0E-06")), QStringLiteral("+1.0E-06"));
    EXPECT_EQ(LastCommaValue(QStringLiteral("a,b,c")), QStringLiteral("a,b"));
    EXPECT_EQ(UccmTemperatureValue(QStringLiteral("loop temp cor  = 12.5"), QString()),
              QStringLiteral("12.5"));
    EXPECT_EQ(UccmTemperatureValue(QStringLiteral("LOOP 3 abc"), QStringLiteral("9")), QStringLiteral("9"));
    EXPECT_EQ(UccmTemperatureValue(QStringLiteral("LOOP 3 4e1"), QStringLiteral("9")), QStringLiteral("4E1"));
    EXPECT_EQ(UccmTemperatureValue(QStringLiteral("LOOP "), QStringLiteral("9")), QStringLiteral("9"));
}

TEST(LeapSeconds, AnswersMustBeLongAndTheEchoIsDropped) {
    EXPECT_EQ(LeapSecondsFromAnswer(QStringLiteral(":PTIM:LEAP:ACC?\r\n+18\r\nscpi > "),
                                    QStringLiteral(":PTIM:LEAP:ACC?\r\n"), 3),
              18);
    EXPECT_EQ(LeapSecondsFromAnswer(QStringLiteral("18\r\nscpi > "), QStringLiteral(":PTIM:LEAP?\r\n"), 2),
              18);
    EXPECT_EQ(LeapSecondsFromAnswer(QStringLiteral("18\r\n"), QString(), 2), 0); // 8 characters or fewer
    EXPECT_EQ(LeapSecondsFromAnswer(QStringLiteral("garbage!!!"), QString(), 2), 0);
}

TEST(LeapSeconds, UccmReadsOnlyACompleteLineThatStartsAfterALineEnd) {
    const QString line = QString(96, QLatin1Char('c')) + QStringLiteral("12");
    EXPECT_FALSE(UccmLeapSecondsFromMessages(line + QStringLiteral("\r\n")));  // may have begun earlier
    EXPECT_FALSE(UccmLeapSecondsFromMessages(QStringLiteral("x\r\n") + line)); // not complete yet
    EXPECT_EQ(UccmLeapSecondsFromMessages(QStringLiteral("x\r\nshort\r\n") + line + QStringLiteral("\r\n")),
              0x12);
    const QString outOfRange = QString(96, QLatin1Char('c')) + QStringLiteral("FF");
    EXPECT_EQ(UccmLeapSecondsFromMessages(QStringLiteral("\n") + outOfRange + QStringLiteral("\r\n")), 0);
}

TEST(PeakTrough, HighestAndLowestLevelOfSatellitesInUse) {
    std::array<CSatInfo, kSatelliteSlots> sats{};
    EXPECT_EQ(PeakTroughLevel(sats, true), QString());
    EXPECT_EQ(PeakTroughLevel(sats, false), QString());
    sats[3].m_byPrnLow = 7;
    sats[3].m_bySnrWhole = 45;
    sats[3].m_bySnrTenths = 5;
    EXPECT_EQ(PeakTroughLevel(sats, true), QStringLiteral("45.5"));
    EXPECT_EQ(PeakTroughLevel(sats, false), QStringLiteral("45.5"));
    sats[9].m_byPrnHigh = 1;
    sats[9].m_bySnrWhole = 30;
    sats[10].m_byPrnLow = 2;    // in use, no signal: skipped
    sats[11].m_bySnrWhole = 99; // not in use
    EXPECT_EQ(PeakTroughLevel(sats, true), QStringLiteral("45.5"));
    EXPECT_EQ(PeakTroughLevel(sats, false), QStringLiteral("30"));
}
