#include "receiver/ProteusPackets.h"

#include <gtest/gtest.h>

namespace {

QByteArray Bytes(std::initializer_list<int> values) {
    QByteArray out;
    for (int v : values)
        out.append(static_cast<char>(v));
    return out;
}

} // namespace

TEST(ProteusPackets, CommandTableIsByteForByteOnTheWire) {
    struct Expected {
        const char* name;
        int x, y, c0, c1;
    };
    const Expected expected[kProteusCommands] = {
        {"RESET GPS", 0x04, 0x04, 0xAC, 0xF9},        {"RESET EPHEMERIS", 0x02, 0x04, 0xAE, 0xF9},
        {"RESET POWERCYCLE", 0x08, 0x04, 0xA8, 0xF9}, {"RESET ALL", 0x0E, 0x04, 0xA2, 0xF9},
        {"1k/4sec", 0x00, 0x04, 0xB0, 0xF9},          {"4k/4sec", 0x00, 0x05, 0xB0, 0xF8},
        {"1M/4sec", 0x00, 0x06, 0xB0, 0xF7},          {"5M/4sec", 0x00, 0x07, 0xB0, 0xF6},
        {"1k/12sec", 0x00, 0x08, 0xB0, 0xF5},         {"4k/12sec", 0x00, 0x09, 0xB0, 0xF4},
        {"1M/12sec", 0x00, 0x0A, 0xB0, 0xF3},         {"5M/12sec", 0x00, 0x0B, 0xB0, 0xF2},
        {"1k/1PPM", 0x00, 0x0C, 0xB0, 0xF1},          {"4k/1PPM", 0x00, 0x0D, 0xB0, 0xF0},
        {"1M/1PPM", 0x00, 0x0E, 0xB0, 0xEF},          {"5M/1PPM", 0x00, 0x0F, 0xB0, 0xEE},
    };
    for (int i = 0; i < kProteusCommands; ++i) {
        const Expected& e = expected[i];
        SCOPED_TRACE(e.name);
        EXPECT_EQ(g_ProteusCommands[i].name, QLatin1String(e.name));
        const QByteArray wire = ProteusWireBytes(g_ProteusCommands[i].packet);
        EXPECT_EQ(wire, Bytes({0x50, 0x02, 0x00, 0x00, e.x, e.y, 0x00, 0x00, e.c0, e.c1}));
        EXPECT_EQ(ProteusWordSum(wire), 0);
        // Stored form: no unit 0, each zero byte held as 0xFF.
        EXPECT_FALSE(g_ProteusCommands[i].packet.contains(QChar(0)));
        EXPECT_EQ(g_ProteusCommands[i].packet[2].unicode(), 0xFF);
    }
}

TEST(ProteusPackets, PollsAndTheZeroByteStorage) {
    EXPECT_EQ(ProteusPoll(kProteusStatusPollId), QString::fromUtf16(u"\u00FF\u00DA\u00FF\u0026"));
    EXPECT_EQ(ProteusWireBytes(ProteusPoll(kProteusEfcPollId)), Bytes({0x00, 0xA2, 0x00, 0x5E}));
    EXPECT_EQ(ProteusWordSum(Bytes({0x01, 0x02, 0x34, 0x12, 0xFF}), 2), 0x1234); // an odd tail is left out
    // Every byte but 0xFF survives the round trip; a real 0xFF comes back as 0x00, and a unit
    // above 0xFF goes out as its low byte.
    QByteArray wire;
    for (int b = 0; b < 0xFF; ++b)
        wire.append(static_cast<char>(b));
    const QString stored = ProteusStoredPacket(wire);
    EXPECT_FALSE(stored.contains(QChar(0)));
    EXPECT_EQ(ProteusWireBytes(stored), wire);
    EXPECT_EQ(ProteusWireBytes(ProteusStoredPacket(Bytes({0xFF}))), Bytes({0x00}));
    EXPECT_EQ(ProteusWireBytes(QString(QChar(0x2126))), Bytes({0x26}));
}

TEST(ProteusPackets, TranslateMatchesNamesAsPrefixesUpToLineEnd) {
    const QString timePoll = ProteusPoll(kProteusEfcPollId);
    EXPECT_EQ(ProteusWireBytes(TranslateProteusCommand(QStringLiteral("RESET ALL\r"), timePoll)),
              Bytes({0x50, 0x02, 0x00, 0x00, 0x0E, 0x04, 0x00, 0x00, 0xA2, 0xF9}));
    EXPECT_EQ(TranslateProteusCommand(QStringLiteral("5M/1PPM and more\r\n"), timePoll),
              g_ProteusCommands[15].packet);
    // The time-code poll passes unchanged, also with a CR after it.
    EXPECT_EQ(TranslateProteusCommand(timePoll + QLatin1Char('\r'), timePoll), timePoll);
    for (const QString& text :
         {QStringLiteral("reset gps"), QStringLiteral("RESET"), QStringLiteral(""),
          QStringLiteral("\r1k/4sec"), QStringLiteral(" 1k/4sec"), QStringLiteral("*IDN?\r")})
        EXPECT_TRUE(TranslateProteusCommand(text, timePoll).isEmpty()) << qPrintable(text);
    EXPECT_TRUE(TranslateProteusCommand(QStringLiteral("\r"), QString()).isEmpty());
}

TEST(ProteusPackets, ReplyAllowanceNeverDividesByABadBaudRate) {
    EXPECT_EQ(ProteusReplyAllowance(4, 9600), 191u);
    EXPECT_EQ(ProteusReplyAllowance(4, 0), 0u);
    EXPECT_EQ(ProteusReplyAllowance(4, -9600), 0u);
}
