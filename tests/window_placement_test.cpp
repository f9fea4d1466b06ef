#include "app/MainFrame.h"
#include "platform/SettingsStore.h"
#include "settings/WindowPlacement.h"

#include <QGuiApplication>
#include <QScreen>
#include <gtest/gtest.h>

namespace {

TEST(WindowPlacementString, MalformedTextIsRefusedAndTrailingTextIgnored) {
    for (const char* bad :
         {"", "0,1,-1,-1,-1,-1,10,20,30", "0,1,-1,-1,-1,-1,10,20,30,x", "0,1,-1,-1,-1,-1,ten,20,30,40",
          "0;1;-1;-1;-1;-1;10;20;30;40", "0 ,1,-1,-1,-1,-1,10,20,30,40",
          "0,1,-1,-1,-1,-1,10,20,30,99999999999", "garbage"})
        EXPECT_FALSE(ParseWindowPlacement(QString::fromLatin1(bad))) << bad;

    const auto withTail = ParseWindowPlacement(" 0, 1,-1,-1,-1,-1, 10,20,+30,40 and more");
    ASSERT_TRUE(withTail);
    EXPECT_EQ(withTail->NormalRect(), QRect(10, 20, 20, 20));
}

TEST(WindowPlacementScreens, AWindowOnNoScreenMovesOntoThePrimary) {
    const QRect primary(0, 0, 1920, 1040);
    const QRect left(-1280, 0, 1280, 1024);
    const QRect onLeftMonitor(-1200, 100, 800, 600);
    EXPECT_EQ(PlaceOnScreens(onLeftMonitor, {primary, left}, primary), onLeftMonitor);
    // The left monitor was removed.
    const QRect moved = PlaceOnScreens(onLeftMonitor, {primary}, primary);
    EXPECT_TRUE(primary.contains(moved));
    EXPECT_EQ(moved.size(), onLeftMonitor.size());
    // A window bigger than the screen that is left shrinks to fit it.
    EXPECT_TRUE(primary.contains(PlaceOnScreens(QRect(5000, 0, 2500, 1500), {primary}, primary)));
    // Partly visible is visible enough.
    const QRect partly(1800, 900, 800, 600);
    EXPECT_EQ(PlaceOnScreens(partly, {primary}, primary), partly);
    // Stored on a bigger monitor: shrunk to the screen it lands on and moved inside it.
    const QRect huge(100, 50, 100000, 100000);
    EXPECT_EQ(PlaceOnScreens(huge, {primary, left}, primary), primary);
    EXPECT_EQ(PlaceOnScreens(QRect(-1250, 10, 1400, 3000), {primary, left}, primary), left);
}

TEST(WindowPlacementFrame, AHugeOrOverflowingPlacementIsFittedToTheScreenOrIgnored) {
    CMainFrame frame;
    const QRect available = QGuiApplication::primaryScreen()->availableGeometry();
    WindowPlacement placement;
    placement.right = 100000;
    placement.bottom = 100000;
    ApplyWindowPlacement(frame, placement);
    EXPECT_TRUE(available.contains(frame.geometry())) << frame.width() << "x" << frame.height();
    EXPECT_EQ(ReadWindowPlacement(frame).NormalRect(), frame.geometry()); // saved as fitted

    frame.setGeometry(30, 40, 700, 500);
    const auto overflowing = ParseWindowPlacement("0,1,-1,-1,-1,-1,-2000000000,0,2000000000,500");
    ASSERT_TRUE(overflowing);
    ApplyWindowPlacement(frame, *overflowing);
    EXPECT_EQ(frame.geometry(), QRect(30, 40, 700, 500));
}

TEST(WindowPlacementFrame, ReadAndApplyKeepTheNormalRectangleAndState) {
    CMainFrame frame;
    frame.setGeometry(30, 40, 700, 500);
    WindowPlacement placement = ReadWindowPlacement(frame);
    EXPECT_EQ(placement.showCmd, 1u);
    EXPECT_EQ(placement.NormalRect(), QRect(30, 40, 700, 500));

    placement.showCmd = 3;
    ApplyWindowPlacement(frame, placement);
    EXPECT_TRUE(frame.windowState() & Qt::WindowMaximized);
    EXPECT_EQ(ReadWindowPlacement(frame).showCmd, 3u);

    placement.showCmd = 2;
    ApplyWindowPlacement(frame, placement);
    EXPECT_TRUE(frame.windowState() & Qt::WindowMinimized);

    // A stored "hide" would leave the program unreachable: it shows normally.
    placement.showCmd = 0;
    ApplyWindowPlacement(frame, placement);
    EXPECT_EQ(frame.windowState(), Qt::WindowNoState);
    EXPECT_EQ(frame.geometry(), QRect(30, 40, 700, 500));
}

TEST(WindowPlacementStore, MalformedOrMissingStringsLeaveTheRecordAlone) {
    CMainFrame frame;
    platform::OpenSettingsStore()->remove("Initial/WindowPos");
    WindowPlacement placement;
    placement.left = 77;
    EXPECT_FALSE(frame.m_wndView.LoadWindowPlacement(placement));
    platform::OpenSettingsStore()->setValue("Initial/WindowPos", "1,2,3");
    EXPECT_FALSE(frame.m_wndView.LoadWindowPlacement(placement));
    EXPECT_EQ(placement.left, 77);

    const WindowPlacement saved{2, 3, -32000, -32000, -1, -1, -1600, 20, -400, 900};
    frame.m_wndView.SaveWindowPlacement(saved);
    EXPECT_EQ(platform::OpenSettingsStore()->value("Initial/WindowPos").toString(),
              "2,3,-32000,-32000,-1,-1,-1600,20,-400,900");
    ASSERT_TRUE(frame.m_wndView.LoadWindowPlacement(placement));
    EXPECT_EQ(placement, saved);

    // Written by hand without quotes, the store reads the numbers back as a list.
    {
        auto store = platform::OpenSettingsStore();
        store->setValue("Initial/WindowPos",
                        QStringList{"0", "1", "-1", "-1", "-1", "-1", "1", "2", "3", "4"});
    }
    ASSERT_TRUE(frame.m_wndView.LoadWindowPlacement(placement));
    EXPECT_EQ(placement.NormalRect(), QRect(1, 2, 2, 2));
}

} // namespace
