#include "receiver/ProteusPackets.h"

#include <QStringList>
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
    for (const ProteusCommand& command : g_ProteusCommands) {
        SCOPED_TRACE(command.name.toStdString());
        // Stored form: no unit 0, each zero byte held as 0xFF; on the wire the words sum to 0.
        EXPECT_FALSE(command.packet.contains(QChar(0)));
        const QByteArray wire = ProteusWireBytes(command.packet);
        ASSERT_EQ(wire.size(), 10);
        EXPECT_EQ(wire.left(4), Bytes({0x50, 0x02, 0x00, 0x00}));
        EXPECT_EQ(wire.mid(6, 2), Bytes({0x00, 0x00}));
        EXPECT_EQ(ProteusWordSum(wire), 0);
    }
    // Each name with the two bytes that make it what it is: four resets, then the rates counting
    // up from 4 in the second byte.
    const std::pair<const char*, QByteArray> commands[kProteusCommands] = {
        {"RESET GPS", Bytes({0x04, 0x04})},        {"RESET EPHEMERIS", Bytes({0x02, 0x04})},
        {"RESET POWERCYCLE", Bytes({0x08, 0x04})}, {"RESET ALL", Bytes({0x0E, 0x04})},
        {"1k/4sec", Bytes({0x00, 0x04})},          {"4k/4sec", Bytes({0x00, 0x05})},
        {"1M/4sec", Bytes({0x00, 0x06})},          {"5M/4sec", Bytes({0x00, 0x07})},
        {"1k/12sec", Bytes({0x00, 0x08})},         {"4k/12sec", Bytes({0x00, 0x09})},
        {"1M/12sec", Bytes({0x00, 0x0A})},         {"5M/12sec", Bytes({0x00, 0x0B})},
        {"1k/1PPM", Bytes({0x00, 0x0C})},          {"4k/1PPM", Bytes({0x00, 0x0D})},
        {"1M/1PPM", Bytes({0x00, 0x0E})},          {"5M/1PPM", Bytes({0x00, 0x0F})}};
    for (int i = 0; i < kProteusCommands; ++i) {
        EXPECT_EQ(g_ProteusCommands[i].name, QLatin1String(commands[i].first)) << i;
        EXPECT_EQ(ProteusWireBytes(g_ProteusCommands[i].packet).mid(4, 2), commands[i].second) << i;
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
