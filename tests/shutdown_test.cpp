#include "app/Globals.h"
#include "app/MainFrame.h"
#include "controls/AboutDialog.h"
#include "controls/TrayIcon.h"
#include "platform/SettingsStore.h"
#include "publishing/VersionText.h"

#include <QCoreApplication>
#include <QLabel>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

class TrayTest : public ::testing::Test {
protected:
    TrayTest() {
        SetSystemTrayAvailableOverride(true);
        SetTrayReportsOnlyActivationsOverride(false);
        frame.show();
    }
    ~TrayTest() override {
        SetSystemTrayAvailableOverride(std::nullopt);
        SetTrayReportsOnlyActivationsOverride(std::nullopt);
    }

    CMainFrame frame;
    CChildView& view = frame.m_wndView;
};

TEST_F(TrayTest, HideShowsOneIconAndOnlyADoubleClickBringsTheWindowBack) {
    g_strWindowTitle = QString(200, QLatin1Char('t'));
    view.OnHide();
    view.OnHide();
    EXPECT_TRUE(view.m_bTrayIcon);
    EXPECT_TRUE(frame.isHidden());
    QList<QSystemTrayIcon*> shown = view.findChildren<QSystemTrayIcon*>();
    shown.removeIf([](const QSystemTrayIcon* icon) { return !icon->isVisible(); });
    ASSERT_EQ(shown.size(), 1);
    EXPECT_EQ(shown[0]->toolTip().size(), 127); // the title cut to the tip's length

    view.OnTrayNotify(QSystemTrayIcon::Trigger);
    view.OnTrayNotify(QSystemTrayIcon::Context);
    EXPECT_TRUE(frame.isHidden());
    view.OnTrayNotify(QSystemTrayIcon::DoubleClick);
    EXPECT_FALSE(frame.isHidden());
    EXPECT_FALSE(view.m_bTrayIcon);
}

TEST_F(TrayTest, WhereTheTrayOnlyReportsActivationsAClickBringsTheWindowBackWithoutOneHideMinimises) {
    SetTrayReportsOnlyActivationsOverride(true);
    view.OnHide();
    view.OnTrayNotify(QSystemTrayIcon::Trigger);
    EXPECT_FALSE(frame.isHidden());

    SetSystemTrayAvailableOverride(false);
    view.OnHide();
    EXPECT_FALSE(view.m_bTrayIcon);
    EXPECT_FALSE(frame.isHidden());
    EXPECT_TRUE(frame.isMinimized());

    // A tray appears; hidden to it while minimised, the window comes back shown normally.
    SetSystemTrayAvailableOverride(true);
    SetTrayReportsOnlyActivationsOverride(false);
    view.OnHide();
    view.OnTrayNotify(QSystemTrayIcon::DoubleClick);
    EXPECT_TRUE(frame.isVisible());
    EXPECT_EQ(frame.windowState(), Qt::WindowNoState);
}

TEST_F(TrayTest, ShutDownWhileHiddenRemovesTheIconAndSavesSettingsAndPlacementOnce) {
    view.Initialise();
    frame.setGeometry(50, 60, 640, 480);
    view.m_nBaud = 4800;
    view.OnHide();
    // Closed from the event loop, as a termination signal does: the program ends although no
    // window is visible.
    QTimer::singleShot(0, &frame, [this] { frame.close(); });
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, [] { QCoreApplication::exit(7); });
    guard.start(3000);
    EXPECT_EQ(QCoreApplication::exec(), 0);
    EXPECT_FALSE(view.m_bTrayIcon);
    EXPECT_FALSE(view.IsTimerActive(IDT_USER_COMMAND));
    EXPECT_EQ(platform::OpenSettingsStore()->value("Port/Baud").toInt(), 4800);
    EXPECT_EQ(platform::OpenSettingsStore()->value("Initial/WindowPos").toString(),
              "0,1,-1,-1,-1,-1,50,60,690,540");

    // A second shut-down (the frame's destruction) changes nothing.
    platform::OpenSettingsStore()->remove("Initial/WindowPos");
    view.OnDestroy();
    EXPECT_FALSE(platform::OpenSettingsStore()->contains("Initial/WindowPos"));
}

TEST(StartUp, TheStoredPlacementIsAppliedAtInitialisation) {
    platform::OpenSettingsStore()->setValue("Initial/WindowPos", "0,1,-1,-1,-1,-1,15,25,615,425");
    CMainFrame frame;
    frame.m_wndView.Initialise();
    EXPECT_EQ(frame.geometry(), QRect(15, 25, 600, 400));
}

TEST(VersionText, NormalisingKeepsTheFirstDotOnly) {
    EXPECT_EQ(NormaliseVersion("1.2.3"), "1.23");
    EXPECT_EQ(NormaliseVersion("5.1"), "5.1");
    EXPECT_EQ(NormaliseVersion(" 2. 0. 1.4 "), "2.014");
    EXPECT_EQ(NormaliseVersion("1,2,3"), "");
}

TEST(VersionText, BuiltOnceFromTheCompiledVersion) {
    const QString text = GetVersionText();
    EXPECT_EQ(text, QStringLiteral("Version %1 %2").arg(NormaliseVersion(ORVANE_VERSION), ORVANE_COMMENTS));
    g_strVersion = QStringLiteral("Version kept");
    EXPECT_EQ(GetVersionText(), "Version kept");

    CAboutDialog about;
    const auto* line = about.findChild<QLabel*>(QString::number(IDC_VERSION_TEXT));
    ASSERT_NE(line, nullptr);
    EXPECT_EQ(line->text(), "Version kept");
}

} // namespace
