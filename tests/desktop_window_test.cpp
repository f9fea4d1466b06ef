// The main window under a real window manager, on an X server of the test's own: where a stored
// placement puts the window's frame, and hiding to the tray and coming back from it.
#include "app/CommandIds.h"
#include "app/MainFrame.h"
#include "platform/SettingsStore.h"
#include "settings/WindowPlacement.h"
#include "support/DesktopSession.h"
#include "support/WaitBounds.h"

#include <QApplication>
#include <QScreen>
#include <QSystemTrayIcon>
#include <QTest>
#include <QWindow>
#include <gtest/gtest.h>

namespace {

constexpr unsigned kNormalState = 1;
constexpr unsigned kIconicState = 3;

QString Text(const QRect& rect) {
    return QStringLiteral("%1,%2 %3x%4").arg(rect.x()).arg(rect.y()).arg(rect.width()).arg(rect.height());
}

// The last state of a window that the window manager reported to Qt.
class StatesReportedToQt : public QObject {
public:
    explicit StatesReportedToQt(QWindow& window) : m_window(window) { window.installEventFilter(this); }

    Qt::WindowStates states;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::WindowStateChange && event->spontaneous())
            states = m_window.windowStates();
        return false;
    }

private:
    QWindow& m_window;
};

class DesktopTest : public ::testing::Test {
protected:
    void SetUp() override {
        desktop = TestDesktop();
        if (!desktop)
            GTEST_SKIP() << qPrintable(DesktopUnavailableReason());
        ASSERT_EQ(desktop->WindowManagerFailure(), QString());
        // Each test starts from the window's own size unless it stores a placement.
        platform::OpenSettingsStore()->remove("Initial/WindowPos");
    }

    // Shows the frame at its size and waits until the window manager shows it.
    void ShowOnScreen(CMainFrame& frame) {
        frame.resize(900, 600);
        frame.show();
        ASSERT_TRUE(QTest::qWaitFor([&] { return OnScreen(frame.winId()); }, kBusyMachineWaitMs))
            << Describe(frame);
    }

    // What the window manager and Qt say of the frame, for failure messages.
    std::string Describe(const CMainFrame& frame) const {
        const WId window = frame.winId();
        return QStringLiteral("WM_STATE %1, %2viewable, %3maximised, frame %4, Qt state %5")
            .arg(desktop->WmState(window).value_or(0))
            .arg(desktop->IsViewable(window) ? "" : "not ")
            .arg(desktop->IsMaximized(window) ? "" : "not ")
            .arg(Text(desktop->FrameRect(window)))
            .arg(frame.windowState().toInt())
            .toStdString();
    }

    // Mapped, and in the normal state for the window manager.
    bool OnScreen(WId window) const {
        return desktop->IsViewable(window) && desktop->WmState(window) == kNormalState;
    }

    // Shown from the tray: on the screen and activated (Qt activates a window once it is mapped).
    bool BackAndActive(const CMainFrame& frame) const {
        return OnScreen(frame.winId()) && frame.isActiveWindow();
    }

    // The icon's own window, once the tray has taken it in and shows it.
    QWidget* ShownTrayIconWindow() const {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (!widget->inherits("QSystemTrayIconSys") || !desktop->IsViewable(widget->winId()))
                continue;
            if (desktop->TrayArea().contains(QRect(widget->mapToGlobal(QPoint(0, 0)), widget->size())))
                return widget;
        }
        return nullptr;
    }

    // Hides the window to the tray and double-clicks the tray icon, as the operator does.
    void HideAndDoubleClickTheTrayIcon(CMainFrame& frame) {
        CChildView& view = frame.m_wndView;
        view.OnHide();
        ASSERT_TRUE(view.m_bTrayIcon);
        ASSERT_TRUE(QTest::qWaitFor([&] { return !desktop->IsViewable(frame.winId()); }, kBusyMachineWaitMs));
        // Qt takes in the focus that hiding lost only after a short timer of its own. Shown again
        // before that (the test's double-click is far quicker than a hand's, more so on a busy
        // machine), Qt counts the window manager's focus-in as no change and leaves the widgets of
        // the window inactive: click once Qt has taken it in, as the operator's double-click does.
        ASSERT_TRUE(QTest::qWaitFor([&] { return QGuiApplication::focusWindow() != frame.windowHandle(); },
                                    kBusyMachineWaitMs));
        QWidget* icon = nullptr;
        ASSERT_TRUE(
            QTest::qWaitFor([&] { return (icon = ShownTrayIconWindow()) != nullptr; }, kBusyMachineWaitMs));
        const QPoint center = icon->mapToGlobal(icon->rect().center());
        ASSERT_TRUE(DesktopSession::RunTool(
            QStringLiteral("xdotool"),
            {QStringLiteral("mousemove"), QString::number(center.x()), QString::number(center.y()),
             QStringLiteral("click"), QStringLiteral("--repeat"), QStringLiteral("2"),
             QStringLiteral("--delay"), QStringLiteral("80"), QStringLiteral("1")}));
        ASSERT_TRUE(QTest::qWaitFor([&] { return !view.m_bTrayIcon; }, kBusyMachineWaitMs))
            << "the icon was not double-clicked";
    }

    DesktopSession* desktop = nullptr;
};

TEST_F(DesktopTest, AStoredPlacementLargerThanTheScreenKeepsTheTitleBarOnTheScreen) {
    // Stored on a larger monitor; applied by the start-up tick, maybe before the window manager
    // has framed the window.
    platform::OpenSettingsStore()->setValue("Initial/WindowPos", "0,1,-1,-1,-1,-1,0,0,1700,1000");
    CMainFrame frame;
    frame.resize(1100, 760);
    frame.show();
    const WId window = frame.winId();
    const QRect screen = frame.screen()->availableGeometry();
    // The frame fills the screen, its title bar above the client area.
    const auto frameFillsTheScreen = [&] {
        return OnScreen(window) && desktop->FrameRect(window) == screen &&
               frame.geometry().top() > screen.top() + 5;
    };
    EXPECT_TRUE(QTest::qWaitFor(frameFillsTheScreen, kBusyMachineWaitMs)) << Describe(frame);

    // Framed already, the window is fitted at once.
    frame.setGeometry(100, 100, 600, 400);
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            return frame.geometry().topLeft() == QPoint(100, 100) && desktop->FrameRect(window).width() < 700;
        },
        kBusyMachineWaitMs));
    ApplyWindowPlacement(frame, *ParseWindowPlacement("0,1,-1,-1,-1,-1,-30,-40,2000,1200"));
    EXPECT_TRUE(QTest::qWaitFor(frameFillsTheScreen, kBusyMachineWaitMs)) << Describe(frame);
}

TEST_F(DesktopTest, AMaximisedStartWithAPlacementLargerThanTheScreenRestoresOntoTheScreen) {
    // Saved maximised on a larger monitor (or edited by hand); started as the program starts, a few
    // times, as the window manager's news of a restore comes in either order.
    for (int start = 0; start < 3; ++start) {
        platform::OpenSettingsStore()->setValue("Initial/WindowPos", "0,3,-1,-1,-1,-1,0,0,100000,100000");
        CMainFrame frame;
        frame.resize(1100, 760);
        frame.show();
        const WId window = frame.winId();
        const QRect screen = frame.screen()->availableGeometry();
        const StatesReportedToQt reported(*frame.windowHandle());
        // Maximised, and Qt has taken in where (a restore sooner than that goes unnoticed by Qt).
        const auto shownMaximised = [&] {
            const QRect shown = desktop->WindowRect(window);
            return OnScreen(window) && desktop->IsMaximized(window) &&
                   (reported.states & Qt::WindowMaximized) && shown.width() == screen.width() &&
                   frame.geometry() == shown;
        };
        QRect maximised;
        // Restored (moved off the maximised rectangle, and Qt knows it) with the whole frame on the
        // screen, the title bar above the window.
        const auto restoredOnTheScreen = [&] {
            const QRect shown = desktop->WindowRect(window);
            return !desktop->IsMaximized(window) && reported.states == Qt::WindowNoState &&
                   shown != maximised && frame.geometry() == shown &&
                   screen.contains(desktop->FrameRect(window)) && shown.top() > screen.top() + 5;
        };
        ASSERT_TRUE(QTest::qWaitFor(shownMaximised, kBusyMachineWaitMs)) << Describe(frame);
        maximised = desktop->WindowRect(window);

        // The title bar's restore button.
        desktop->RequestMaximized(window, false);
        ASSERT_TRUE(QTest::qWaitFor(restoredOnTheScreen, kBusyMachineWaitMs))
            << start << ": " << Describe(frame);

        // Maximised and restored again, it comes back there.
        desktop->RequestMaximized(window, true);
        ASSERT_TRUE(QTest::qWaitFor(shownMaximised, kBusyMachineWaitMs)) << Describe(frame);
        maximised = desktop->WindowRect(window);
        desktop->RequestMaximized(window, false);
        ASSERT_TRUE(QTest::qWaitFor(restoredOnTheScreen, kBusyMachineWaitMs)) << Describe(frame);
    }
}

// With no window manager nothing ever frames the window: a stored maximised state is still taken.
TEST_F(DesktopTest, AMaximisedStartWithoutAWindowManagerStillEndsMaximised) {
    desktop->EndWindowManager();
    platform::OpenSettingsStore()->setValue("Initial/WindowPos", "0,3,-1,-1,-1,-1,10,10,800,600");
    CMainFrame frame;
    frame.show();
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return frame.windowState() & Qt::WindowMaximized; }, kBusyMachineWaitMs))
        << Describe(frame);
}

TEST_F(DesktopTest, TheTrayIconBringsTheWindowBackOnScreenFromEveryState) {
    CMainFrame frame;
    ASSERT_NO_FATAL_FAILURE(ShowOnScreen(frame));
    const WId window = frame.winId();

    // With no tray, Hide minimises; the window manager restores the window (from its task list).
    ASSERT_FALSE(QSystemTrayIcon::isSystemTrayAvailable());
    const StatesReportedToQt reported(*frame.windowHandle());
    frame.m_wndView.OnHide();
    // Qt reads the window manager's state when it handles the change: let it see the window
    // iconic before the window manager restores it.
    ASSERT_TRUE(QTest::qWaitFor([&] { return reported.states & Qt::WindowMinimized; }, kBusyMachineWaitMs));
    ASSERT_TRUE(DesktopSession::RunTool(QStringLiteral("xdotool"),
                                        {QStringLiteral("windowactivate"), QString::number(window)}));
    ASSERT_TRUE(QTest::qWaitFor([&] { return OnScreen(window) && frame.windowState() == Qt::WindowNoState; },
                                kBusyMachineWaitMs))
        << Describe(frame);

    // A tray starts; hidden to it, the window comes back on the screen.
    ASSERT_EQ(desktop->StartTray(), QString());
    ASSERT_TRUE(QTest::qWaitFor(&QSystemTrayIcon::isSystemTrayAvailable, kBusyMachineWaitMs));
    ASSERT_NO_FATAL_FAILURE(HideAndDoubleClickTheTrayIcon(frame));
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return BackAndActive(frame) && frame.windowState() == Qt::WindowNoState; }, kBusyMachineWaitMs))
        << Describe(frame);

    // Maximised, it comes back maximised.
    const int screenWidth = frame.screen()->geometry().width();
    const auto maximised = [&] {
        return OnScreen(window) && frame.isMaximized() && desktop->FrameRect(window).width() == screenWidth;
    };
    frame.showMaximized();
    ASSERT_TRUE(QTest::qWaitFor(maximised, kBusyMachineWaitMs)) << Describe(frame);
    ASSERT_NO_FATAL_FAILURE(HideAndDoubleClickTheTrayIcon(frame));
    EXPECT_TRUE(QTest::qWaitFor([&] { return BackAndActive(frame) && maximised(); }, kBusyMachineWaitMs))
        << Describe(frame);

    // Minimised by the window manager, it comes back restored.
    ASSERT_TRUE(DesktopSession::RunTool(QStringLiteral("xdotool"),
                                        {QStringLiteral("windowminimize"), QString::number(window)}));
    ASSERT_TRUE(QTest::qWaitFor([&] { return frame.isMinimized(); }, kBusyMachineWaitMs)) << Describe(frame);
    ASSERT_NO_FATAL_FAILURE(HideAndDoubleClickTheTrayIcon(frame));
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return BackAndActive(frame) && !frame.isMinimized(); }, kBusyMachineWaitMs))
        << Describe(frame);
}

TEST_F(DesktopTest, AWindowHiddenToATrayThatEndsComesBackOnTheScreen) {
    CMainFrame frame;
    ASSERT_NO_FATAL_FAILURE(ShowOnScreen(frame));
    const WId window = frame.winId();
    ASSERT_EQ(desktop->StartTray(), QString());
    ASSERT_TRUE(QTest::qWaitFor(&QSystemTrayIcon::isSystemTrayAvailable, kBusyMachineWaitMs));

    frame.m_wndView.OnHide();
    ASSERT_TRUE(frame.m_wndView.m_bTrayIcon);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !desktop->IsViewable(window); }, kBusyMachineWaitMs));
    // The panel that holds the tray quits: its icon goes with it, the window comes back.
    desktop->EndTray();
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return OnScreen(window) && !frame.m_wndView.m_bTrayIcon; }, kBusyMachineWaitMs))
        << Describe(frame);
}

TEST_F(DesktopTest, ALongButtonLabelLeavesTheDisplaysTheirRoomAndTheFamiliesLabelsStayWhole) {
    CMainFrame frame;
    frame.resize(1100, 760);
    frame.show();
    QApplication::processEvents(); // the start-up tick
    CChildView& view = frame.m_wndView;
    const CvDlgBar& bar = frame.m_wndDlgBar;
    for (const int family :
         {ID_RECEIVER_HP, ID_RECEIVER_DATUM, ID_RECEIVER_PROTEUS, ID_RECEIVER_JACKSON, ID_RECEIVER_UCCM}) {
        frame.Action(family)->trigger();
        for (int i = 0; i < kCommandButtons; ++i)
            EXPECT_EQ(bar.ElidedButtonLabel(i), QString()) << family << " " << i;
    }

    view.m_strButton[3] = {QStringLiteral("Survey then hold ").repeated(12).left(199),
                           QStringLiteral("SURV?")};
    view.UpdateDialogBar();
    ASSERT_FALSE(bar.ElidedButtonLabel(3).isEmpty());
    // The graph and the map keep at least half of a window of the usual size.
    QApplication::processEvents();
    EXPECT_LE(bar.width(), frame.width() / 2) << bar.width() << " of " << frame.width();
}

} // namespace
