#include "receiver/CommandTables.h"
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
