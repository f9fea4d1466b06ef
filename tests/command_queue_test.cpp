#include "controls/CommandQueue.h"

#include <gtest/gtest.h>

TEST(CommandQueueText, SendAddsCrUnlessTheTextNamesALineEnd) {
    EXPECT_EQ(SendBoxCommand(":SYST:ERR?"), ":SYST:ERR?\r");
    EXPECT_EQ(SendBoxCommand("SST?<CR>"), "SST?<CR>");
    EXPECT_EQ(SendBoxCommand("A<LF>B"), "A<LF>B");
    EXPECT_EQ(SendBoxCommand(""), "\r");
    // The names are matched as written; other spellings are ordinary text.
    EXPECT_EQ(SendBoxCommand("X<cr>"), "X<cr>\r");
}

TEST(CommandQueueText, ButtonsAlwaysAddCr) {
    EXPECT_EQ(ButtonCommand(""), "\r");
    EXPECT_EQ(ButtonCommand("SST?<CR>"), "SST?<CR>\r");
}

TEST(CommandQueueText, CommandListItemsEndAtTheLastSemicolon) {
    EXPECT_EQ(CommandListItems("B;a;;"), (QStringList{"B", "a", ""}));
    EXPECT_EQ(CommandListItems("one;two"), (QStringList{"one"}));
    EXPECT_TRUE(CommandListItems("no separator").isEmpty());
    EXPECT_TRUE(CommandListItems("").isEmpty());
    EXPECT_EQ(SortedCommandItems("b;C;a;"), (QStringList{"a", "b", "C"}));
}

TEST(UserWindowTrim, DropsTheFirstThirdAndTheRestOfItsLine) {
    EXPECT_EQ(TrimUserWindowText("abc"), "abc");
    // 12 characters: the first 4 go, then up to and including the next LF.
    EXPECT_EQ(TrimUserWindowText("aa\nbbbb\ncc\nd"), "cc\nd");
    // Without a later line end, what follows the first third stays.
    EXPECT_EQ(TrimUserWindowText("abcdefghi"), "defghi");
}
