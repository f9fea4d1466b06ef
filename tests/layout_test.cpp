#include "app/Layout.h"
#include "app/TextWnd.h"

#include <gtest/gtest.h>

TEST(Layout, AllViewSplitsOddSizesTowardTheRightAndBottom) {
    const DisplayLayout layout = LayoutForMode(0, 801, 601);
    EXPECT_EQ(*layout.graph, QRect(0, 0, 400, 300));
    EXPECT_EQ(*layout.map, QRect(400, 0, 401, 300));
    EXPECT_EQ(*layout.text, QRect(0, 300, 801, 301));
}

TEST(Layout, SingleViewsFillTheAreaAndHideTheOthers) {
    const DisplayLayout map = LayoutForMode(2, 801, 601);
    EXPECT_EQ(*map.map, QRect(0, 0, 801, 601));
    EXPECT_FALSE(map.graph || map.text);
    const DisplayLayout status = LayoutForMode(4, 801, 601);
    EXPECT_EQ(*status.text, QRect(0, 0, 801, 601));
    EXPECT_FALSE(status.graph || status.map);
    EXPECT_TRUE(LayoutForMode(9, 801, 601).childrenUnchanged);
}

TEST(Layout, StatusFontDoublesInTheStatusView) {
    EXPECT_EQ(FontSizesFor(0, 855, 840).statusHeight, 20);
    EXPECT_EQ(FontSizesFor(4, 855, 840).statusHeight, 40);
    EXPECT_EQ(FontSizesFor(4, 855, 840).statusWidth, 10);
    EXPECT_EQ(FontSizesFor(1, 900, 650).timeHeight, 200);
    EXPECT_EQ(FontSizesFor(1, 900, 650).timeWidth, 100);
}

TEST(StatusScreen, LinesSplitAtCrLfAndStopAt23) {
    EXPECT_TRUE(StatusScreenLines(QStringLiteral("no line end")).isEmpty());
    EXPECT_EQ(StatusScreenLines(QStringLiteral("a\r\nb\r\nc")), (QStringList{"a", "b", "c"}));
    QString thirty;
    for (int i = 0; i < 30; ++i)
        thirty += QStringLiteral("line %1\r\n").arg(i);
    const QStringList lines = StatusScreenLines(thirty);
    ASSERT_EQ(lines.size(), 23);
    EXPECT_EQ(lines.last(), QStringLiteral("line 22"));
}
