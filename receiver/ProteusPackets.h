#pragma once
// Binary requests of the NavSymm Proteus receiver.
//
// A request is held in a QString, one UTF-16 unit per byte. A string cannot usefully hold a 0x00
// byte, so a 0x00 byte is stored as the unit 0xFF and the serial writer sends 0x00 for it; a
// request therefore never carries a real 0xFF byte. On the wire, every request is made of 16-bit
// little-endian words that add up to 0 modulo 65536.
#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <array>
#include <cstdint>

// The unit that stands for a 0x00 byte in a stored request.
inline constexpr char16_t kProteusStoredZero = 0xFF;

// The bytes that go on the wire for a stored request: the low byte of each unit, 0x00 for 0xFF.
QByteArray ProteusWireBytes(const QString& stored);

// The stored form of wire bytes: one unit per byte, 0xFF for each 0x00.
QString ProteusStoredPacket(QByteArrayView wire);

// Sum modulo 65536 of the little-endian words that begin at `from`, `from` + 2, ... A trailing odd
// byte is left out.
std::uint16_t ProteusWordSum(QByteArrayView bytes, qsizetype from = 0);

// The 4-byte poll with the given id, in stored form: 00 id 00 (0x100 - id).
QString ProteusPoll(std::uint8_t id);

// The 10-byte command packet 50 02 00 00 x y 00 00 c0 c1 in stored form, c0 c1 being the word that
// makes the five words add up to 0.
QString ProteusCommandPacket(std::uint8_t x, std::uint8_t y);

// Poll ids in use: the status frame and the EFC frame.
inline constexpr std::uint8_t kProteusStatusPollId = 0xDA;
inline constexpr std::uint8_t kProteusEfcPollId = 0xA2;

struct ProteusCommand {
    QString name;
    QString packet; // stored form
};

constexpr int kProteusCommands = 16;

// The command packets by name, in the order in which names are matched.
extern const std::array<ProteusCommand, kProteusCommands> g_ProteusCommands;

// Turns an operator command into the packet to send (stored form): the text is cut at its first CR
// or LF; the first table name that it begins with (case-sensitive) gives that packet; text equal to
// the time-code poll passes unchanged; anything else gives an empty string (nothing is sent).
QString TranslateProteusCommand(QString text, const QString& timeCodePoll);

// Milliseconds a request of `requestLength` units and a 180-byte status frame take at `baud`, at 10
// bits per byte; 0 for a baud rate of 0 or less, which no open port can have.
std::uint32_t ProteusReplyAllowance(qsizetype requestLength, int baud);
