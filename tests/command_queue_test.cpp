#include "controls/CommandQueue.h"

#include <gtest/gtest.h>

// The plain cases (a CR added, "<CR>" kept, buttons) go through the dialog bar's test.
TEST(CommandQueueText, SendBoxLineEndNamesAndListItems) {
    EXPECT_EQ(SendBoxCommand("A<LF>B"), "A<LF>B");
    // The names are matched as written; other spellings are ordinary text.
    EXPECT_EQ(SendBoxCommand("X<cr>"), "X<cr>\r");
    EXPECT_EQ(CommandListItems("B;a;;"), (QStringList{"B", "a", ""}));
    EXPECT_TRUE(CommandListItems("no separator").isEmpty());
    EXPECT_TRUE(CommandListItems("").isEmpty());
}

TEST(UserWindowTrim, DropsTheFirstThirdAndTheRestOfItsLine) {
    EXPECT_EQ(TrimUserWindowText("abc"), "abc");
    // 12 characters: the first 4 go, then up to and including the next LF.
    EXPECT_EQ(TrimUserWindowText("aa\nbbbb\ncc\nd"), "cc\nd");
    // Without a later line end, what follows the first third stays.
    EXPECT_EQ(TrimUserWindowText("abcdefghi"), "defghi");
}
