#include "receiver/ProteusPackets.h"

namespace {

constexpr std::uint32_t kStatusFrameBytes = 180;

QString WithChecksum(QByteArray wire) {
    // Appends the word that brings the sum of all words to 0.
    const std::uint16_t check = static_cast<std::uint16_t>(0x10000 - ProteusWordSum(wire));
    wire.append(static_cast<char>(check & 0xFF));
    wire.append(static_cast<char>(check >> 8));
    return ProteusStoredPacket(wire);
}

} // namespace

QByteArray ProteusWireBytes(const QString& stored) {
    QByteArray wire;
    wire.reserve(stored.size());
    for (const QChar unit : stored) {
        const auto byte = static_cast<std::uint8_t>(unit.unicode() & 0xFF);
        wire.append(static_cast<char>(byte == 0xFF ? 0x00 : byte));
    }
    return wire;
}

QString ProteusStoredPacket(QByteArrayView wire) {
    QString stored;
    stored.reserve(wire.size());
    for (const char c : wire) {
        const auto byte = static_cast<std::uint8_t>(c);
        stored.append(QChar(byte == 0x00 ? kProteusStoredZero : char16_t{byte}));
    }
    return stored;
}

std::uint16_t ProteusWordSum(QByteArrayView bytes, qsizetype from) {
    std::uint32_t sum = 0;
    for (qsizetype i = std::max<qsizetype>(from, 0); i + 1 < bytes.size(); i += 2)
        sum += static_cast<std::uint8_t>(bytes[i]) | static_cast<std::uint8_t>(bytes[i + 1]) << 8;
    return static_cast<std::uint16_t>(sum);
}

QString ProteusPoll(std::uint8_t id) {
    QByteArray wire(4, '\0');
    wire[1] = static_cast<char>(id);
    wire[3] = static_cast<char>(0x100 - id);
    return ProteusStoredPacket(wire);
}

QString ProteusCommandPacket(std::uint8_t x, std::uint8_t y) {
    QByteArray wire("\x50\x02\x00\x00", 4);
    wire.append(static_cast<char>(x));
    wire.append(static_cast<char>(y));
    wire.append(2, '\0');
    return WithChecksum(wire);
}

const std::array<ProteusCommand, kProteusCommands> g_ProteusCommands = {{
    {QStringLiteral("RESET GPS"), ProteusCommandPacket(0x04, 0x04)},
    {QStringLiteral("RESET EPHEMERIS"), ProteusCommandPacket(0x02, 0x04)},
    {QStringLiteral("RESET POWERCYCLE"), ProteusCommandPacket(0x08, 0x04)},
    {QStringLiteral("RESET ALL"), ProteusCommandPacket(0x0E, 0x04)},
    {QStringLiteral("1k/4sec"), ProteusCommandPacket(0x00, 0x04)},
    {QStringLiteral("4k/4sec"), ProteusCommandPacket(0x00, 0x05)},
    {QStringLiteral("1M/4sec"), ProteusCommandPacket(0x00, 0x06)},
    {QStringLiteral("5M/4sec"), ProteusCommandPacket(0x00, 0x07)},
    {QStringLiteral("1k/12sec"), ProteusCommandPacket(0x00, 0x08)},
    {QStringLiteral("4k/12sec"), ProteusCommandPacket(0x00, 0x09)},
    {QStringLiteral("1M/12sec"), ProteusCommandPacket(0x00, 0x0A)},
    {QStringLiteral("5M/12sec"), ProteusCommandPacket(0x00, 0x0B)},
    {QStringLiteral("1k/1PPM"), ProteusCommandPacket(0x00, 0x0C)},
    {QStringLiteral("4k/1PPM"), ProteusCommandPacket(0x00, 0x0D)},
    {QStringLiteral("1M/1PPM"), ProteusCommandPacket(0x00, 0x0E)},
    {QStringLiteral("5M/1PPM"), ProteusCommandPacket(0x00, 0x0F)},
}};

QString TranslateProteusCommand(QString text, const QString& timeCodePoll) {
    // Button commands arrive with a CR appended.
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == QLatin1Char('\r') || text[i] == QLatin1Char('\n')) {
            text.truncate(i);
            break;
        }
    }
    for (const ProteusCommand& command : g_ProteusCommands)
        if (text.startsWith(command.name))
            return command.packet;
    if (!text.isEmpty() && text == timeCodePoll)
        return text;
    return {};
}

std::uint32_t ProteusReplyAllowance(qsizetype requestLength, int baud) {
    if (baud <= 0 || requestLength < 0)
        return 0;
    const auto bytes = static_cast<std::uint32_t>(requestLength) + kStatusFrameBytes;
    return bytes * 10000u / static_cast<std::uint32_t>(baud);
}
