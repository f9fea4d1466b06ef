// What a reply leaves behind: trimming, the number test, the per-family value rules, leap seconds.
#include "app/ChildView.h"
#include "app/Globals.h"
#include "receiver/ReplyText.h"
#include "receiver/ReplyValues.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

TEST(TrimReply, EchoPromptAndLineEndsGoButLeadingBreaksOnlyAfterAnEcho) {
    const QString hp = QStringLiteral(":SYST:ERR?\r\n+0,\"No error\"\r\nscpi > ");
    EXPECT_EQ(TrimReply(hp, 7, QStringLiteral(":SYST:ERR?\r")), QStringLiteral("+0,\"No error\""));
    EXPECT_EQ(TrimReply(QStringLiteral("\r\n12.5\r\n\r\nOK"), 2, QStringLiteral("READ?\r")),
              QStringLiteral("\r\n12.5"));
    EXPECT_EQ(TrimReply(QStringLiteral("TOD DI\r\r\nUCCM> "), 6, QStringLiteral("TOD DI\r")), QString());
    EXPECT_EQ(TimeTextFromReply(RECEIVER_DATUM, QStringLiteral("LTM: 123 12:34:56.0")),
              QStringLiteral("12:34:56"));
}

TEST(ValidateNumber, TrimsAndKeepsOnlyTextThatReadsWholeAsANumber) {
    for (const char* good : {"  -12.5E+3 \r\n", "+1.23E-08", "7", "1."}) {
        QString text = QString::fromLatin1(good);
        EXPECT_TRUE(CChildView::ValidateNumber(text)) << good;
        EXPECT_EQ(text, QString::fromLatin1(good).trimmed());
    }
    for (const char* bad :
         {"12 volts", ".5", "E3", " ", "", "+", "-", "1-2", "1..5", "1E", "+-1", "1e999", "1,5"}) {
        QString text = QString::fromLatin1(bad);
        EXPECT_FALSE(CChildView::ValidateNumber(text)) << bad;
        EXPECT_TRUE(text.isEmpty()) << bad;
    }
}

TEST(ChannelRules, DatumTimeIntervalAndUccmTemperature) {
    EXPECT_EQ(TimeIntervalValue(RECEIVER_DATUM, QStringLiteral("rpd: a b 3.5e-9 phase x")),
              QStringLiteral("3.5E-9"));
    EXPECT_EQ(TimeIntervalValue(RECEIVER_DATUM, QStringLiteral("12e-9")), QStringLiteral("12E-9"));
    EXPECT_EQ(TimeIntervalValue(RECEIVER_DATUM, QStringLiteral("PHASE RPD: x")), QString());
    EXPECT_EQ(UccmTemperatureValue(QStringLiteral("loop temp cor  = 12.5"), QString()),
              QStringLiteral("12.5"));
    EXPECT_EQ(UccmTemperatureValue(QStringLiteral("LOOP 3 abc"), QStringLiteral("9")), QStringLiteral("9"));
    EXPECT_EQ(UccmTemperatureValue(QStringLiteral("LOOP 3 4e1"), QStringLiteral("9")), QStringLiteral("4E1"));
    std::array<CSatInfo, kSatelliteSlots> sats{};
    EXPECT_EQ(PeakTroughLevel(sats, true), QString());
    sats[3] = {7, 0, 0, 45, 0, 5, 0, 0};
    sats[9] = {0, 0, 0, 30, 0, 0, 1, 0};
    sats[11] = {0, 0, 0, 99, 0, 0, 0, 0}; // not in use
    EXPECT_EQ(PeakTroughLevel(sats, true), QStringLiteral("45.5"));
    EXPECT_EQ(PeakTroughLevel(sats, false), QStringLiteral("30"));
}

TEST(LeapSeconds, UccmReadsOnlyACompleteLineThatStartsAfterALineEnd) {
    EXPECT_EQ(LeapSecondsFromAnswer(QStringLiteral("18\r\n"), QString(), 2), 0); // 8 characters or fewer
    const QString line = QString(96, QLatin1Char('c')) + QStringLiteral("12");
    EXPECT_FALSE(UccmLeapSecondsFromMessages(line + QStringLiteral("\r\n")));  // may have begun earlier
    EXPECT_FALSE(UccmLeapSecondsFromMessages(QStringLiteral("x\r\n") + line)); // not complete yet
    EXPECT_EQ(UccmLeapSecondsFromMessages(QStringLiteral("x\r\nshort\r\n") + line + QStringLiteral("\r\n")),
              0x12);
    const QString outOfRange = QString(96, QLatin1Char('c')) + QStringLiteral("FF");
    EXPECT_EQ(UccmLeapSecondsFromMessages(QStringLiteral("\n") + outOfRange + QStringLiteral("\r\n")), 0);
}

TEST(HandleReply, IdentityRuleTimeIntervalLimitAndTheErrorLine) {
    QTemporaryDir folder;
    CChildView view;
    const auto dispatch = [&](int family, int step, const char* answer) {
        g_nReceiverType = family;
        view.m_nPollStep = step;
        view.m_strReply = QString::fromLatin1(answer);
        view.HandleReply();
    };
    view.m_bInitZ3816A = true;
    dispatch(RECEIVER_HP, 1, "HEWLETT-PACKARD,Z3816A,0,1\r\nsecond");
    EXPECT_TRUE(view.m_bInitZ3816A);
    EXPECT_EQ(view.m_strIdentity, QStringLiteral("HEWLETT-PACKARD,Z3816A,0,1"));
    dispatch(RECEIVER_HP, 1, "HEWLETT-PACKARD,Z3801A,0,1");
    EXPECT_FALSE(view.m_bInitZ3816A);

    dispatch(RECEIVER_HP, 9, "+7.0E-01"); // beyond half a second
    EXPECT_EQ(view.m_strChannelValue[1], QString());
    dispatch(RECEIVER_HP, 9, "-0.5");
    EXPECT_EQ(view.m_strChannelValue[1], QStringLiteral("-0.5"));
    view.m_nAuxIndex = 4;
    dispatch(RECEIVER_JACKSON, 19, "3.3,V\r\nmore");
    EXPECT_EQ(view.m_strAuxAnswer[4], QStringLiteral("3.3,V"));

    view.m_strDebugPath = folder.filePath(QStringLiteral("debug.txt"));
    view.m_bDebugEnable = true;
    view.m_strRequest = QStringLiteral("CVT?\r");
    dispatch(RECEIVER_DATUM, 8, "CVT:");
    EXPECT_EQ(view.m_strChannelValue[0], QString());
    QFile debug(view.m_strDebugPath);
    ASSERT_TRUE(debug.open(QIODevice::ReadOnly));
    EXPECT_TRUE(debug.readAll().contains("Err: [s]CVT?<CR>[r]CVT:"));
    dispatch(RECEIVER_DATUM, 8, "CVT: 1234 5678");
    EXPECT_EQ(view.m_strChannelValue[0], QStringLiteral("1234"));
}
