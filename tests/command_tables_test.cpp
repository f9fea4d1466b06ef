#include "receiver/CommandTables.h"
#include "receiver/ControlNotation.h"
#include "receiver/ProteusPackets.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

// What the program relies on when it reads the tables: every button label comes with its
// command, the command lists split cleanly, and a text request ends with its only carriage return.
TEST(CommandTables, TablesHoldWhatThePollCycleAndDialogBarRelyOn) {
    for (int f = 0; f < kReceiverFamilies; ++f) {
        SCOPED_TRACE(f);
        EXPECT_TRUE(g_CommandLists[f].endsWith(QLatin1Char(';')));
        EXPECT_FALSE(g_CommandLists[f].contains(u";;"_s));
        for (int i = 0; i < kCommandButtons; ++i)
            EXPECT_EQ(g_CommandButtons[f][i][0].isEmpty(), g_CommandButtons[f][i][1].isEmpty()) << i;
        for (int slot = 0; slot < kPollSlots; ++slot) {
            const QString& request = g_PollCommands[f][slot];
            if (f != RECEIVER_PROTEUS && !request.isEmpty()) {
                EXPECT_EQ(request.indexOf(QLatin1Char('\r')), request.size() - 1) << slot;
            }
        }
    }
    // Proteus polls are stored packets.
    for (int slot : {0, 7})
        EXPECT_EQ(g_PollCommands[RECEIVER_PROTEUS][slot], ProteusPoll(kProteusStatusPollId)) << slot;
    for (int slot : {8, 16, 17})
        EXPECT_EQ(g_PollCommands[RECEIVER_PROTEUS][slot], ProteusPoll(kProteusEfcPollId)) << slot;
}

// The requests go to receivers as they stand, and the simulator takes the short, long, upper and
// lower-case forms of a SCPI header alike: only this table holds every byte of every request.
// Proteus requests are stored units, 0xFF standing for a zero byte on the wire.
TEST(CommandTables, EachFamilyPollsWithItsOwnRequestsInItsOwnSlots) {
    const char* const requests[kReceiverFamilies][kPollSlots] = {
        {"\r", "*IDN?\r", ":DIAG:LIF:COUN?\r", ":SYST:ERR?\r", "", "", "", ":SYSTEM:STATUS?\r",
         ":DIAG:ROSC:EFC:ABS?\r", ":PTIME:TINTERVAL?\r", ":SYNC:HOLD:TUNC:PRED?\r", "", "", "", "", "",
         ":PTIME:TIME:STRING?\r", ":PTIME:TZONE?;:PTIME:TCODE?\r"},
        {"SST?\r", "VER?\r", "POS?\r", "ERR?\r", "", "", "", "STS?\r", "CVT?\r", "RPD?\r", "SAT?\r", "", "",
         "", "", "", "LTM?\r", "UTC?\r"},
        {"\xFF\xDA\xFF\x26", "", "", "", "", "", "", "\xFF\xDA\xFF\x26", "\xFF\xA2\xFF\x5E", "", "", "", "",
         "", "", "", "\xFF\xA2\xFF\x5E", "\xFF\xA2\xFF\x5E"},
        {"\r", "*IDN?\r", "DIAG:LIF:COUN?\r", "GPS:JAM?\r", "SYNC:FEE?\r", "SYNC:HEALTH?\r", "MEAS?\r",
         "SYSTEM:STATUS?\r", "DIAG:ROSC:EFC:ABS?\r", "PTIME:TINTERVAL?\r", "CSAC:TEMP?\r", "", "", "", "", "",
         "PTIME:TIME:STRING?\r", "PTIME?\r"},
        {"\r", "*IDN?\r", "", "", "", "", "", "SYSTEM:STATUS?\r", "DIAG:ROSC:EFC:REL?\r", "SYNC:TINT?\r",
         "DIAG:LOOP?\r", "", "", "", "", "", "TIME:STR?\r", "TIME:STR?\r"},
    };
    for (int f = 0; f < kReceiverFamilies; ++f)
        for (int slot = 0; slot < kPollSlots; ++slot)
            EXPECT_EQ(g_PollCommands[f][slot], QString::fromLatin1(requests[f][slot])) << f << " " << slot;
}

// Each family's end-of-reply patterns, in the order they are tried (the first match gives the
// length of the prompt that is cut off the reply).
TEST(CommandTables, ReplyPromptsOfEveryFamily) {
    EXPECT_EQ(g_ReplyPrompts[RECEIVER_HP], u"scpi<SPC>><SPC>;E?###><SPC>"_s);
    EXPECT_EQ(g_ReplyPrompts[RECEIVER_DATUM], u"EOF<CR><LF>;<ETX>"_s);
    EXPECT_EQ(g_ReplyPrompts[RECEIVER_PROTEUS], u"scpi<SPC>><SPC>"_s);
    EXPECT_EQ(g_ReplyPrompts[RECEIVER_JACKSON], u"scpi<SPC>><SPC>;Command Error<CR><LF>"_s);
    EXPECT_EQ(g_ReplyPrompts[RECEIVER_UCCM],
              u"Command Complete<CR><LF>UCCM-P<SPC>><SPC>;Command complete<CR><LF>UCCM-P<SPC>>;"
              "Command complete<CR><LF>UCCM<SPC>>;UCCM-P<SPC>><SPC>;UCCM-P<SPC>>;UCCM<SPC>>"_s);
    EXPECT_EQ(MatchReplyEnd(u"x\r\nCommand Error\r\n"_s, g_ReplyPrompts[RECEIVER_JACKSON]), 15);
}

// Button and list commands the receiver gets as they stand. A Proteus command is a name the
// translator turns into a packet: a label may be cut to fit its button, the command never.
TEST(CommandTables, ButtonAndListCommandsReachTheReceiverWhole) {
    EXPECT_EQ(g_CommandButtons[RECEIVER_HP][4][1], u":DIAG:TEST? ALL"_s);
    EXPECT_EQ(g_CommandButtons[RECEIVER_PROTEUS][8][0], u"1k/12se"_s);
    EXPECT_EQ(g_CommandButtons[RECEIVER_PROTEUS][8][1], u"1k/12sec"_s);
    const QString timePoll = ProteusPoll(kProteusEfcPollId);
    for (int i = 0; i < kCommandButtons; ++i) {
        const QString& command = g_CommandButtons[RECEIVER_PROTEUS][i][1];
        if (!command.isEmpty()) {
            EXPECT_FALSE(TranslateProteusCommand(command + u'\r', timePoll).isEmpty()) << i;
        }
    }
    for (const QString& item : g_CommandLists[RECEIVER_PROTEUS].split(u';', Qt::SkipEmptyParts))
        EXPECT_FALSE(TranslateProteusCommand(item, timePoll).isEmpty()) << qPrintable(item);
    EXPECT_TRUE(g_CommandLists[RECEIVER_DATUM].startsWith(u"?;"_s));
    EXPECT_TRUE(g_CommandLists[RECEIVER_JACKSON].contains(u";GPS:DYNAM:MODE  <0,8>;"_s));
    EXPECT_TRUE(g_CommandLists[RECEIVER_UCCM].endsWith(u";GPS:SAT:TRAC:<select>: ALL;"_s));
}
