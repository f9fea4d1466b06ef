#include "app/ChildView.h"
#include "app/Globals.h"
#include "receiver/LockState.h"
#include "receiver/PositionParser.h"
#include "support/QtPrinters.h"
#include "support/StatusScreens.h"

#include <gtest/gtest.h>

namespace {
constexpr double kLatitude = 37 + 23 / 60.0 + 45.678 / 3600;
constexpr double kLongitude = -(122 + 1 / 60.0 + 2.5 / 3600);
} // namespace

TEST(Position, TextFamiliesReadDegreesMinutesSecondsAndHemispheres) {
    for (int family : {RECEIVER_HP, RECEIVER_JACKSON, RECEIVER_UCCM}) {
        const QString screen = family == RECEIVER_HP        ? HpStatusScreen()
                               : family == RECEIVER_JACKSON ? JacksonStatusScreen()
                                                            : UccmStatusScreen();
        const PositionFields p = ParsePositionText(screen, family);
        EXPECT_DOUBLE_EQ(p.latitude.value_or(0), kLatitude) << family;
        EXPECT_DOUBLE_EQ(p.longitude.value_or(0), kLongitude) << family;
        EXPECT_DOUBLE_EQ(p.height.value_or(0), 45.2) << family;
    }
    const PositionFields proteus = ParsePositionText(ProteusStatusPage(), RECEIVER_PROTEUS);
    EXPECT_DOUBLE_EQ(proteus.latitude.value_or(0), kLatitude);
    EXPECT_DOUBLE_EQ(proteus.longitude.value_or(0), kLongitude);
    EXPECT_DOUBLE_EQ(proteus.height.value_or(0), 45.2);

    const PositionFields south =
        ParsePositionText(QStringLiteral("AVG LAT s 33:52:10.000\r\nx"), RECEIVER_HP);
    EXPECT_DOUBLE_EQ(*south.latitude, -(33 + 52 / 60.0 + 10 / 3600.0));
    EXPECT_DOUBLE_EQ(*ParsePositionText(QStringLiteral("LON e 8.5\r\n"), RECEIVER_HP).longitude, 8.5);
}

TEST(Position, MissingFieldsLeaveTheOthers) {
    // No line end after the keyword, no hemisphere letter, no digit: nothing for that field.
    const PositionFields p = ParsePositionText(
        QStringLiteral("LAT  37:23:45\r\nHGT  m\r\nLON  W 10:30\r\nno end LAT N 1"), RECEIVER_HP);
    EXPECT_FALSE(p.latitude);
    EXPECT_FALSE(p.height);
    EXPECT_DOUBLE_EQ(*p.longitude, -10.5);
    EXPECT_FALSE(ParsePositionText(QStringLiteral("LAT  N 37:23:45"), RECEIVER_HP).latitude);
    // A number is read within its line only.
    EXPECT_DOUBLE_EQ(*ParsePositionText(QStringLiteral("LAT  N \r\n42\r\n"), RECEIVER_HP).latitude, 0.0);
}

TEST(Position, DatumReadsThreeFixedRecords) {
    const PositionFields p = ParsePositionText(DatumPositionAnswer(), RECEIVER_DATUM);
    EXPECT_DOUBLE_EQ(*p.latitude, 37 + 23.45 / 60);
    EXPECT_DOUBLE_EQ(*p.longitude, -(122 + 1.5 / 60));
    EXPECT_DOUBLE_EQ(*p.height, 45.2);

    // 'n' is north; a missing hemisphere character is south; no second record stops there.
    EXPECT_DOUBLE_EQ(*ParsePositionText(QStringLiteral("POS:   10 30.00 n"), RECEIVER_DATUM).latitude, 10.5);
    const PositionFields shortAnswer = ParsePositionText(QStringLiteral("POS:   10 30.00"), RECEIVER_DATUM);
    EXPECT_DOUBLE_EQ(*shortAnswer.latitude, -10.5);
    EXPECT_FALSE(shortAnswer.longitude);
    EXPECT_FALSE(shortAnswer.height);
    EXPECT_FALSE(ParsePositionText(QStringLiteral("LAT  N 1:2:3\r\n"), RECEIVER_DATUM).latitude);
}

TEST(Position, KnownPositionIsReadOnEveryHundredthAnswer) {
    g_nReceiverType = RECEIVER_HP;
    CChildView view;
    view.ParsePosition(QString()); // an empty answer does not count
    view.ParsePosition(HpStatusScreen());
    EXPECT_DOUBLE_EQ(view.m_dLatitude, kLatitude);
    const QString moved = QString(HpStatusScreen()).replace(QStringLiteral("N  37"), QStringLiteral("N  38"));
    for (int call = 2; call <= 100; ++call)
        view.ParsePosition(moved);
    EXPECT_DOUBLE_EQ(view.m_dLatitude, kLatitude);
    view.ParsePosition(moved); // call 101
    EXPECT_DOUBLE_EQ(view.m_dLatitude, kLatitude + 1);

    // While the position is still 0, 0 every answer is read.
    CChildView fresh;
    fresh.ParsePosition(QStringLiteral("nothing here"));
    fresh.ParsePosition(HpStatusScreen());
    EXPECT_DOUBLE_EQ(fresh.m_dLongitude, kLongitude);
}

TEST(LockState, EachFamilysMarkOfValidTime) {
    EXPECT_TRUE(TimeValidFromStatus(HpStatusScreen(true), RECEIVER_HP));
    EXPECT_FALSE(TimeValidFromStatus(HpStatusScreen(false), RECEIVER_HP));
    EXPECT_TRUE(TimeValidFromStatus(JacksonStatusScreen(), RECEIVER_JACKSON));
    EXPECT_TRUE(TimeValidFromStatus(ProteusStatusPage(), RECEIVER_PROTEUS));
    EXPECT_TRUE(TimeValidFromStatus(UccmStatusScreen(), RECEIVER_UCCM));
    EXPECT_FALSE(TimeValidFromStatus(HpStatusScreen(), RECEIVER_UCCM));
    EXPECT_TRUE(TimeValidFromStatus(DatumStatusScreen(), RECEIVER_DATUM));
    EXPECT_FALSE(TimeValidFromStatus(QStringLiteral("LOCKED TO GLONASS"), RECEIVER_DATUM));
    EXPECT_FALSE(TimeValidFromStatus(HpStatusScreen(), 7));

    // The '?' counts only in the 24 characters from 11 after the keyword; "LOCAL " stands in.
    const QString question = QStringLiteral("UTC  ") + QString(6, u'x') + QString(23, u'0') + u'?';
    EXPECT_FALSE(TimeValidFromStatus(question, RECEIVER_HP));
    EXPECT_TRUE(TimeValidFromStatus(QStringLiteral("UTC  ") + QString(30, u'0') + u'?', RECEIVER_HP));
    EXPECT_TRUE(TimeValidFromStatus(QStringLiteral("LOCAL 12:00:00"), RECEIVER_JACKSON));
    EXPECT_TRUE(TimeValidFromStatus(QStringLiteral("LOCAL ?"), RECEIVER_JACKSON)); // '?' before +11
    EXPECT_FALSE(TimeValidFromStatus(QStringLiteral("no time here"), RECEIVER_HP));
}

TEST(LockState, SetTimeEnablerFollowsUnlessASettingIsPending) {
    g_nReceiverType = RECEIVER_HP;
    CChildView view;
    view.ParseLockState(HpStatusScreen(true));
    EXPECT_TRUE(view.m_bTimeValid);
    EXPECT_TRUE(view.m_bSetTimeEnabled);
    view.m_bSetTimePending = true;
    view.ParseLockState(HpStatusScreen(false));
    EXPECT_FALSE(view.m_bTimeValid);
    EXPECT_TRUE(view.m_bSetTimeEnabled);
}
