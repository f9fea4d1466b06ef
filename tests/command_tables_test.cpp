#include "receiver/CommandTables.h"
#include "receiver/ControlNotation.h"
#include "receiver/ProteusPackets.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

TEST(CommandTables, CommandListsHaveTheirItemCountsAndLengths) {
    const int items[kReceiverFamilies] = {111, 38, 16, 122, 70};
    const int lengths[kReceiverFamilies] = {2064, 187, 153, 2186, 1343};
    for (int f = 0; f < kReceiverFamilies; ++f) {
        EXPECT_EQ(g_CommandLists[f].split(QLatin1Char(';'), Qt::SkipEmptyParts).size(), items[f]) << f;
        EXPECT_EQ(g_CommandLists[f].size(), lengths[f]) << f;
        EXPECT_TRUE(g_CommandLists[f].endsWith(QLatin1Char(';'))) << f;
        EXPECT_FALSE(g_CommandLists[f].contains(u";;"_s)) << f;
    }
    EXPECT_TRUE(g_CommandLists[RECEIVER_DATUM].startsWith(u"?;"_s));
    EXPECT_TRUE(g_CommandLists[RECEIVER_JACKSON].contains(u";GPS:DYNAM:MODE  <0,8>;"_s));
    EXPECT_TRUE(g_CommandLists[RECEIVER_UCCM].endsWith(u";GPS:SAT:TRAC:<select>: ALL;"_s));
}

TEST(CommandTables, ButtonsFillTheirFirstSlotsExactly) {
    const int counts[kReceiverFamilies] = {10, 37, 16, 15, 9};
    for (int f = 0; f < kReceiverFamilies; ++f)
        for (int i = 0; i < kCommandButtons; ++i) {
            // Contiguous from 0, and a label always comes with its command.
            EXPECT_EQ(g_CommandButtons[f][i][0].isEmpty(), i >= counts[f]) << f << " " << i;
            EXPECT_EQ(g_CommandButtons[f][i][1].isEmpty(), i >= counts[f]) << f << " " << i;
        }
    EXPECT_EQ(g_CommandButtons[RECEIVER_HP][4][1], u":DIAG:TEST? ALL"_s);
    EXPECT_EQ(g_CommandButtons[RECEIVER_PROTEUS][8][0], u"1k/12se"_s); // the label is cut, the command not
    EXPECT_EQ(g_CommandButtons[RECEIVER_PROTEUS][8][1], u"1k/12sec"_s);
}

TEST(CommandTables, PollRequests) {
    const int polled[kReceiverFamilies] = {10, 10, 5, 13, 8};
    for (int f = 0; f < kReceiverFamilies; ++f) {
        int count = 0;
        for (int slot = 0; slot < kPollSlots; ++slot) {
            const QString& request = g_PollCommands[f][slot];
            EXPECT_TRUE(request.isEmpty() || slot < 11 || slot > 15) << f << " " << slot;
            if (request.isEmpty())
                continue;
            ++count;
            if (f != RECEIVER_PROTEUS) { // text requests end with their only carriage return
                EXPECT_EQ(request.indexOf(QLatin1Char('\r')), request.size() - 1) << f << " " << slot;
            }
        }
        EXPECT_EQ(count, polled[f]) << f;
    }
    EXPECT_EQ(g_PollCommands[RECEIVER_HP][17], u":PTIME:TZONE?;:PTIME:TCODE?\r"_s);
    EXPECT_EQ(g_PollCommands[RECEIVER_UCCM][17], u"TIME:STR?\r"_s);
    // Proteus polls are stored packets.
    const QString* proteus = g_PollCommands[RECEIVER_PROTEUS];
    for (int slot : {0, 7})
        EXPECT_EQ(proteus[slot], ProteusPoll(kProteusStatusPollId)) << slot;
    for (int slot : {8, 16, 17})
        EXPECT_EQ(proteus[slot], ProteusPoll(kProteusEfcPollId)) << slot;
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
