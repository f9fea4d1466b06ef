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

// A frame of a valid length and sum, so that the decoders see arbitrary field values.
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
        const QByteArray frame = round % 3 == 0   ? RandomBytes(rng, length(rng))
                                 : round % 3 == 1 ? RandomValidFrame(rng, kProteusEfcFrameBytes)
                                                  : RandomValidFrame(rng, kProteusStatusFrameBytes);
        const ProteusFrameKind kind = CheckProteusFrame(frame);
        if (kind == ProteusFrameKind::Efc || kind == ProteusFrameKind::Status) {
            ASSERT_TRUE(frame.size() == 72 || frame.size() == 180);
            ASSERT_EQ(ProteusWordSum(frame, 4), 0);
        }
        // Both decoders take any buffer, whatever its length.
        const ProteusEfcFrame efc = DecodeProteusEfcFrame(frame);
        const ProteusChannelValues values = ApplyProteusEfcFrame(efc, state, history);
        ASSERT_EQ(values.values[0].isEmpty(), values.values[2].isEmpty());
        state.shownDateTime =
            ProteusTimeCode(ProteusGpsSeconds(efc.week, efc.timeOfWeek, -round)).right(round % 25);
        const QString page = ProteusStatusPage(DecodeProteusStatusFrame(frame), state);
        ASSERT_EQ(page.count(QStringLiteral("\r\n")), 23);
    }
}

TEST(FuzzProteus, TranslatorGivesATablePacketThePollOrNothing) {
    std::mt19937 rng(99);
    std::uniform_int_distribution<int> pick(0, kProteusCommands - 1);
    std::uniform_int_distribution<int> unit(0, 0x2FF);
    std::uniform_int_distribution<int> len(0, 24);
    const QString timePoll = ProteusPoll(kProteusEfcPollId);
    for (int round = 0; round < 20000; ++round) {
        // Half the texts begin with part of a command name.
        QString text = round % 2 ? g_ProteusCommands[pick(rng)].name.left(len(rng)) : QString();
        for (int i = len(rng); i > 0; --i)
            text.append(QChar(static_cast<char16_t>(unit(rng))));
        const QString packet = TranslateProteusCommand(text, timePoll);
        if (packet.isEmpty() || packet == timePoll)
            continue;
        ASSERT_EQ(ProteusWordSum(ProteusWireBytes(packet)), 0);
        const auto known = std::find_if(g_ProteusCommands.begin(), g_ProteusCommands.end(),
                                        [&](const ProteusCommand& c) { return c.packet == packet; });
        ASSERT_TRUE(known != g_ProteusCommands.end() && text.startsWith(known->name)) << qPrintable(text);
    }
}
