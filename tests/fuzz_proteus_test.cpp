// Bounded random input over the Proteus frame decoder and the command translator.
#include "receiver/ProteusFrames.h"
#include "receiver/ProteusPackets.h"
#include "support/ProteusFrameBuilder.h"

#include <gtest/gtest.h>
#include <random>

namespace {

QByteArray RandomBytes(std::mt19937& rng, qsizetype size) {
    std::uniform_int_distribution<int> byte(0, 255);
    QByteArray out(size, '\0');
    for (char& c : out)
        c = static_cast<char>(byte(rng));
    return out;
}

// A frame of valid length with a valid sum, so the decoders see arbitrary field values.
QByteArray RandomValidFrame(std::mt19937& rng, qsizetype size) {
    const QByteArray body = RandomBytes(rng, size);
    ProteusFrameBuilder b(size);
    for (qsizetype i = 0; i < size; ++i)
        b.u8(i, static_cast<std::uint8_t>(body[i]));
    return b.frame();
}

} // namespace

TEST(FuzzProteus, FramesOfAnyContentDecodeSafely) {
    std::mt19937 rng(20240611);
    std::uniform_int_distribution<int> length(0, 320);
    ProteusEfcState state;
    std::array<int, 4> history{};
    for (int round = 0; round < 4000; ++round) {
        QByteArray frame;
        switch (round % 3) {
        case 0:
            frame = RandomBytes(rng, length(rng));
            break;
        case 1:
            frame = RandomValidFrame(rng, kProteusEfcFrameBytes);
            break;
        default:
            frame = RandomValidFrame(rng, kProteusStatusFrameBytes);
            break;
        }
        const ProteusFrameKind kind = CheckProteusFrame(frame);
        if (kind == ProteusFrameKind::Efc || kind == ProteusFrameKind::Status) {
            ASSERT_TRUE(frame.size() == 72 || frame.size() == 180);
            ASSERT_EQ(ProteusWordSum(frame, 4), 0);
        }
        // Both decoders take any buffer, whatever its length.
        const ProteusEfcFrame efc = DecodeProteusEfcFrame(frame);
        const ProteusChannelValues values = ApplyProteusEfcFrame(efc, state, history);
        ASSERT_EQ(values.values[0].isEmpty(), values.values[1].isEmpty());
        ProteusLeapCorrection(efc.gpsUtcOffset, 0);
        state.shownDateTime =
            ProteusTimeCode(ProteusGpsSeconds(efc.week, efc.timeOfWeek, -round)).right(round % 25);
        const QString page = ProteusStatusPage(DecodeProteusStatusFrame(frame), state);
        ASSERT_EQ(page.count(QStringLiteral("\r\n")), 23);
        ASSERT_TRUE(page.endsWith(QStringLiteral("\r\n")));
    }
}

TEST(FuzzProteus, CollectorNeverExceedsItsBuffer) {
    std::mt19937 rng(7);
    std::uniform_int_distribution<int> chunk(0, 120);
    for (int round = 0; round < 2000; ++round) {
        int reads = 0;
        const ProteusRead r = CollectProteusFrame(
            [&](qsizetype room) {
                ++reads;
                // A misbehaving source may offer more than asked for.
                return RandomBytes(rng, std::min<qsizetype>(chunk(rng), room + 5));
            },
            [] {});
        ASSERT_LE(r.bytes.size(), kProteusReadBuffer);
        ASSERT_LE(reads, kProteusReadBuffer + 1);
        if (r.result == ProteusReadResult::Overrun) {
            ASSERT_EQ(r.bytes.size(), kProteusReadBuffer);
        }
        if (r.result == ProteusReadResult::Nothing) {
            ASSERT_TRUE(r.bytes.isEmpty());
        }
    }
}

TEST(FuzzProteus, TranslatorGivesATablePacketThePollOrNothing) {
    std::mt19937 rng(99);
    std::uniform_int_distribution<int> pick(0, kProteusCommands - 1);
    std::uniform_int_distribution<int> unit(0, 0x2FF);
    std::uniform_int_distribution<int> len(0, 24);
    const QString timePoll = ProteusPoll(kProteusEfcPollId);
    for (int round = 0; round < 20000; ++round) {
        QString text;
        if (round % 2)
            text = g_ProteusCommands[pick(rng)].name.left(len(rng));
        const int tail = len(rng);
        for (int i = 0; i < tail; ++i)
            text.append(QChar(static_cast<char16_t>(unit(rng))));
        const QString packet = TranslateProteusCommand(text, timePoll);
        if (packet.isEmpty() || packet == timePoll)
            continue;
        ASSERT_EQ(packet.size(), 10);
        ASSERT_EQ(ProteusWordSum(ProteusWireBytes(packet)), 0);
        bool known = false;
        for (const ProteusCommand& c : g_ProteusCommands)
            known = known || (c.packet == packet && text.startsWith(c.name));
        ASSERT_TRUE(known) << qPrintable(text);
    }
}
