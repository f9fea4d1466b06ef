#include "receiver/CommandTables.h"
#include "receiver/ControlNotation.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

QStringList Items(const QString& list) {
    return list.split(QLatin1Char(';'), Qt::SkipEmptyParts);
}

int LabelledButtons(int family) {
    int count = 0;
    for (int i = 0; i < kCommandButtons; ++i) {
        // Buttons are contiguous from 0: a label always comes with its command.
        if (!g_CommandButtons[family][i][0].isEmpty()) {
            EXPECT_EQ(count, i) << family;
            EXPECT_FALSE(g_CommandButtons[family][i][1].isEmpty()) << family << " " << i;
            ++count;
        } else {
            EXPECT_TRUE(g_CommandButtons[family][i][1].isEmpty()) << family << " " << i;
        }
    }
    return count;
}

} // namespace

TEST(CommandTables, CommandListsHaveTheirItemCountsAndLengths) {
    const int items[kReceiverFamilies] = {111, 38, 16, 122, 70};
    const int lengths[kReceiverFamilies] = {2064, 187, 153, 2186, 1343};
    for (int f = 0; f < kReceiverFamilies; ++f) {
        EXPECT_EQ(Items(g_CommandLists[f]).size(), items[f]) << f;
        EXPECT_EQ(g_CommandLists[f].size(), lengths[f]) << f;
        EXPECT_TRUE(g_CommandLists[f].endsWith(QLatin1Char(';'))) << f;
        EXPECT_FALSE(g_CommandLists[f].contains(u";;"_s)) << f;
    }
    const QStringList datum = Items(g_CommandLists[RECEIVER_DATUM]);
    EXPECT_EQ(datum.first(), u"?"_s);
    EXPECT_EQ(datum.last(), u"UTC?"_s);
    EXPECT_TRUE(g_CommandLists[RECEIVER_JACKSON].contains(u";GPS:DYNAM:MODE  <0,8>;"_s));
    EXPECT_TRUE(g_CommandLists[RECEIVER_JACKSON].contains(u";SYNC:SOUR:OUT:1PPS:DOMAIN ? ;"_s));
    EXPECT_TRUE(g_CommandLists[RECEIVER_UCCM].endsWith(u";GPS:SAT:TRAC:<select>: ALL;"_s));
}

TEST(CommandTables, ButtonsFillTheirFirstSlotsExactly) {
    const int counts[kReceiverFamilies] = {10, 37, 16, 15, 9};
    for (int f = 0; f < kReceiverFamilies; ++f)
        EXPECT_EQ(LabelledButtons(f), counts[f]) << f;

    EXPECT_EQ(g_CommandButtons[RECEIVER_HP][4][0], u"Test all"_s);
    EXPECT_EQ(g_CommandButtons[RECEIVER_HP][4][1], u":DIAG:TEST? ALL"_s);
    EXPECT_EQ(g_CommandButtons[RECEIVER_DATUM][36][1], u"VER?"_s);
    EXPECT_EQ(g_CommandButtons[RECEIVER_PROTEUS][8][0], u"1k/12se"_s);
    EXPECT_EQ(g_CommandButtons[RECEIVER_PROTEUS][8][1], u"1k/12sec"_s);
    EXPECT_EQ(g_CommandButtons[RECEIVER_UCCM][7][0], u"TOD disble"_s);
    EXPECT_EQ(g_CommandButtons[RECEIVER_UCCM][0][1], u"?"_s);
}

TEST(CommandTables, TextPollRequestsEndWithACarriageReturn) {
    const int polled[kReceiverFamilies] = {10, 10, 5, 13, 8};
    for (int f = 0; f < kReceiverFamilies; ++f) {
        int count = 0;
        for (int slot = 0; slot < kPollSlots; ++slot) {
            const QString& request = g_PollCommands[f][slot];
            if (request.isEmpty())
                continue;
            ++count;
            if (f != RECEIVER_PROTEUS) {
                EXPECT_TRUE(request.endsWith(QLatin1Char('\r'))) << f << " " << slot;
                EXPECT_EQ(request.count(QLatin1Char('\r')), 1) << f << " " << slot;
            }
        }
        EXPECT_EQ(count, polled[f]) << f;
        for (int slot = 11; slot <= 15; ++slot)
            EXPECT_TRUE(g_PollCommands[f][slot].isEmpty()) << f << " " << slot;
    }
    EXPECT_EQ(g_PollCommands[RECEIVER_HP][17], u":PTIME:TZONE?;:PTIME:TCODE?\r"_s);
    EXPECT_EQ(g_PollCommands[RECEIVER_JACKSON][10], u"CSAC:TEMP?\r"_s);
    EXPECT_EQ(g_PollCommands[RECEIVER_UCCM][8], u"DIAG:ROSC:EFC:REL?\r"_s);
    EXPECT_EQ(g_PollCommands[RECEIVER_UCCM][17], u"TIME:STR?\r"_s);
}

TEST(CommandTables, ProteusPollsAreStoredPacketsThatSumToZero) {
    const QString status = u"\xFF\xDA\xFF\x26"_s;
    const QString efc = u"\xFF\xA2\xFF\x5E"_s;
    const QString* slots = g_PollCommands[RECEIVER_PROTEUS];
    EXPECT_EQ(slots[0], status);
    EXPECT_EQ(slots[7], status);
    for (int slot : {8, 16, 17})
        EXPECT_EQ(slots[slot], efc) << slot;
    for (const QString& packet : {status, efc}) {
        // On the wire 0xFF is a 0x00 byte; the little-endian words add up to 0.
        unsigned sum = 0;
        for (int i = 0; i < packet.size(); i += 2) {
            const auto wire = [&](int k) { return packet[k].unicode() == 0xFF ? 0u : packet[k].unicode(); };
            sum += wire(i) | (wire(i + 1) << 8);
        }
        EXPECT_EQ(sum % 65536, 0u);
    }
}

TEST(CommandTables, StartupCommandsAndPrompts) {
    EXPECT_EQ(g_StartupCommands[RECEIVER_HP], u"PTIME:TCOD:CONT 0\r"_s);
    EXPECT_EQ(g_StartupCommands2[RECEIVER_HP], u":SYST:COMM:SER1:FDUP 0\r"_s);
    EXPECT_EQ(g_StartupCommands[RECEIVER_UCCM], u"TOD DI\r"_s);
    for (int f : {RECEIVER_DATUM, RECEIVER_PROTEUS, RECEIVER_JACKSON})
        EXPECT_TRUE(g_StartupCommands[f].isEmpty() && g_StartupCommands2[f].isEmpty()) << f;
    EXPECT_TRUE(g_StartupCommands2[RECEIVER_UCCM].isEmpty());

    EXPECT_EQ(g_ReplyPrompts[RECEIVER_HP], u"scpi<SPC>><SPC>;E?###><SPC>"_s);
    EXPECT_EQ(g_ReplyPrompts[RECEIVER_DATUM], u"EOF<CR><LF>;<ETX>"_s);
    EXPECT_EQ(g_ReplyPrompts[RECEIVER_JACKSON], u"scpi<SPC>><SPC>;Command Error<CR><LF>"_s);
    const QStringList uccm = g_ReplyPrompts[RECEIVER_UCCM].split(QLatin1Char(';'));
    ASSERT_EQ(uccm.size(), 6);
    EXPECT_EQ(uccm[0], u"Command Complete<CR><LF>UCCM-P<SPC>><SPC>"_s);
    EXPECT_EQ(uccm[5], u"UCCM<SPC>>"_s);
    EXPECT_EQ(MatchReplyEnd(u"x\r\nCommand Error\r\n"_s, g_ReplyPrompts[RECEIVER_JACKSON]), 15);
}
