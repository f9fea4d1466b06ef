#include "app/Globals.h"
#include "receiver/ReplyText.h"

#include <gtest/gtest.h>

TEST(TrimReply, EchoPromptAndLineEndsGo) {
    const QString reply = QStringLiteral(":SYST:ERR?\r\n+0,\"No error\"\r\nscpi > ");
    EXPECT_EQ(TrimReply(reply, 7, QStringLiteral(":SYST:ERR?\r")), QStringLiteral("+0,\"No error\""));
    // Without an echo the leading line ends stay; only trailing ones go.
    EXPECT_EQ(TrimReply(QStringLiteral("\r\n12.5\r\n\r\nOK"), 2, QStringLiteral("READ?\r")),
              QStringLiteral("\r\n12.5"));
    // An echo and nothing else, and a reply that is all prompt.
    EXPECT_EQ(TrimReply(QStringLiteral("TOD DI\r\r\nUCCM> "), 6, QStringLiteral("TOD DI\r")), QString());
    EXPECT_EQ(TrimReply(QStringLiteral("scpi > "), 7, QStringLiteral("X\r")), QString());
    // The echo is found anywhere; the first occurrence counts.
    EXPECT_EQ(TrimReply(QStringLiteral("noise*IDN?\rA*IDN?\rB\r\n>"), 1, QStringLiteral("*IDN?\r")),
              QStringLiteral("A*IDN?\rB"));
}

TEST(ReplyBuffer, KeepsTheNewestCharactersOnly) {
    QString reply;
    for (int i = 0; i < 70; ++i)
        AppendToReply(reply, QString(1024, QLatin1Char('a' + i % 26)));
    AppendToReply(reply, QStringLiteral("scpi > "));
    EXPECT_EQ(reply.size(), kMaxReplyChars);
    EXPECT_TRUE(reply.endsWith(QStringLiteral("scpi > ")));
}

TEST(ReplyText, TruncateAtCrAndFirstAnswerField) {
    EXPECT_EQ(TruncateAtCR(QStringLiteral("line one\r\nline two")), QStringLiteral("line one"));
    EXPECT_EQ(TruncateAtCR(QStringLiteral("no break")), QStringLiteral("no break"));
    EXPECT_EQ(TruncateAtCR(QString()), QString());
    EXPECT_EQ(FirstAnswerField(QStringLiteral("12.5,V")), QStringLiteral("12.5"));
    EXPECT_EQ(FirstAnswerField(QStringLiteral("-3E-2\tmV")), QStringLiteral("-3E-2"));
    EXPECT_EQ(FirstAnswerField(QStringLiteral("7")), QStringLiteral("7"));
}

TEST(PseudoCommands, WholeTextComparedInCapitalsAfterTheMarker) {
    EXPECT_TRUE(IsPseudoCommand(QStringLiteral("  @@db\r")));
    EXPECT_FALSE(IsPseudoCommand(QStringLiteral("@ @db")));
    const PseudoCommandResult on = ParsePseudoCommand(QStringLiteral("@@db\r\n"));
    EXPECT_EQ(on.flag, PseudoFlag::ComsDebug);
    EXPECT_TRUE(on.on);
    EXPECT_EQ(on.answer, QStringLiteral("OK"));
    const PseudoCommandResult off = ParsePseudoCommand(QStringLiteral("@@/Vb\n"));
    EXPECT_EQ(off.flag, PseudoFlag::VerboseDebug);
    EXPECT_FALSE(off.on);
    EXPECT_EQ(ParsePseudoCommand(QStringLiteral("@@DF")).flag, PseudoFlag::FtpDebug);
    EXPECT_EQ(ParsePseudoCommand(QStringLiteral("@@ db\r")).answer,
              QStringLiteral("Unrecognised pseudo-command: DB"));
    EXPECT_EQ(ParsePseudoCommand(QStringLiteral("@@dbx")).flag, PseudoFlag::None);
}

TEST(TimeText, EachFamilyShowsItsTimeOfDay) {
    EXPECT_EQ(TimeTextFromReply(RECEIVER_HP, QStringLiteral("\"12:34:56\"")), QStringLiteral("12:34:56"));
    EXPECT_EQ(TimeTextFromReply(RECEIVER_JACKSON, QStringLiteral("12:34:56")), QStringLiteral("12:34:56"));
    EXPECT_EQ(TimeTextFromReply(RECEIVER_DATUM, QStringLiteral("LTM: 123 12:34:56.0")),
              QStringLiteral("12:34:56"));
    EXPECT_EQ(TimeTextFromReply(RECEIVER_DATUM, QStringLiteral("1:02:03.5")), QStringLiteral("1:02:03.5"));
    EXPECT_EQ(TimeTextFromReply(RECEIVER_HP, QStringLiteral("\"\"")), QStringLiteral("\"\""));
}
