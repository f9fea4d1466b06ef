#include "app/Globals.h"
#include "app/MainFrame.h"
#include "platform/FileDialog.h"
#include "platform/Paths.h"
#include "platform/SerialPort.h"
#include "platform/SettingsStore.h"

#include <QAction>
#include <QComboBox>
#include <QFile>
#include <QPushButton>
#include <QToolBar>
#include <gtest/gtest.h>

namespace {

class IdlePort : public platform::SerialPort {
public:
    QString name() const override { return QStringLiteral("fake"); }
    bool write(const QByteArray&) override { return true; }
    QByteArray readAvailable() override { return {}; }
    bool waitForReadyRead(int) override { return false; }
    void purge() override {}
};

class MenuCommandsTest : public ::testing::Test {
protected:
    MenuCommandsTest() {
        g_nReceiverType = RECEIVER_JACKSON;
        frame.UpdateCommandUI();
    }
    ~MenuCommandsTest() override { platform::setFileDialogHandler({}); }

    QAction& Action(int id) {
        QAction* action = frame.Action(id);
        EXPECT_NE(action, nullptr) << id;
        return *action;
    }
    // Chooses a command from the menu, as the operator would.
    void Choose(int id) { Action(id).trigger(); }
    // A menu item that is greyed cannot be chosen: give the switches what enables them.
    void EnableEverySwitch() {
        g_nReceiverType = RECEIVER_HP;
        view.m_strMapPath = platform::documentsFolder() + QStringLiteral("/earth.png");
        QFile file(view.m_strMapPath);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        frame.UpdateCommandUI();
    }
    void SetRunning(bool running) {
        if (running)
            view.m_hComPort = std::make_unique<IdlePort>();
        else
            view.m_hComPort.reset();
        frame.UpdateCommandUI();
    }

    CMainFrame frame;
    CChildView& view = frame.m_wndView;
};

TEST_F(MenuCommandsTest, SwitchesFlipTheirMemberAndCheckMark) {
    struct Switch {
        int id;
        bool CChildView::*member;
    };
    const Switch switches[] = {
        {ID_READ_ERROR_QUEUE, &CChildView::m_bDeQueue},
        {ID_AUTO_LEAPS, &CChildView::m_bAutoLeaps},
        {ID_BEEP_ON_ERROR, &CChildView::m_bBeepOnError},
        {ID_DEBUG_TO_USER_WINDOW, &CChildView::m_bComsDebug},
        {ID_VERBOSE_SERIAL, &CChildView::m_bVerboseDebug},
        {ID_FTP_DEBUG, &CChildView::m_bFtpDebug},
        {ID_USER_TO_FILE, &CChildView::m_bUserToFile},
        {ID_DEBUG_FILE_ENABLE, &CChildView::m_bDebugEnable},
        {ID_RAW_STATUS, &CChildView::m_bRawStatus},
        {ID_IDENTIFY_SATELLITES, &CChildView::m_bIdentSats},
        {ID_SAT_BACKDROP, &CChildView::m_bMapBackdrop},
    };
    EnableEverySwitch();
    for (const Switch& s : switches) {
        const bool before = view.*s.member;
        EXPECT_EQ(Action(s.id).isChecked(), before) << s.id;
        Choose(s.id);
        EXPECT_EQ(view.*s.member, !before) << s.id;
        EXPECT_EQ(Action(s.id).isChecked(), !before) << s.id;
        Choose(s.id);
        EXPECT_EQ(view.*s.member, before) << s.id;
        EXPECT_EQ(Action(s.id).isChecked(), before) << s.id;
    }
}

TEST_F(MenuCommandsTest, SwitchesAreSavedAtShutDown) {
    const std::pair<bool CChildView::*, const char*> saved[] = {
        {&CChildView::m_bDeQueue, "Log/DeQueue"},
        {&CChildView::m_bAutoLeaps, "Time/AutoLeaps"},
        {&CChildView::m_bBeepOnError, "Mode/BeepOnError"},
        {&CChildView::m_bComsDebug, "Mode/ComsDebug"},
        {&CChildView::m_bVerboseDebug, "Mode/VerboseDebug"},
        {&CChildView::m_bFtpDebug, "Mode/FTPDebug"},
        {&CChildView::m_bUserToFile, "User/ToFile"},
        {&CChildView::m_bDebugEnable, "Debug/Enable"},
        {&CChildView::m_bIdentSats, "Map/Ident"},
        {&CChildView::m_bMapBackdrop, "Map/Backdrop"},
    };
    const int ids[] = {ID_READ_ERROR_QUEUE,    ID_AUTO_LEAPS,  ID_BEEP_ON_ERROR, ID_DEBUG_TO_USER_WINDOW,
                       ID_VERBOSE_SERIAL,      ID_FTP_DEBUG,   ID_USER_TO_FILE,  ID_DEBUG_FILE_ENABLE,
                       ID_IDENTIFY_SATELLITES, ID_SAT_BACKDROP};
    view.Initialise();
    EnableEverySwitch();
    std::vector<bool> chosen;
    for (std::size_t i = 0; i < std::size(ids); ++i) {
        Choose(ids[i]);
        chosen.push_back(view.*saved[i].first);
    }
    Choose(ID_EXTENDED_TRAILS);
    view.m_bHoldMin[1] = view.m_bHoldMax[1] = false;
    Choose(ID_LOCK_TI_EXTENTS);
    frame.close();

    const auto store = platform::openSettingsStore();
    for (std::size_t i = 0; i < std::size(saved); ++i)
        EXPECT_EQ(store->value(saved[i].second).toInt(), chosen[i] ? 1 : 0) << saved[i].second;
    EXPECT_EQ(store->value("Sat/Trail").toInt(), 2);
    EXPECT_EQ(store->value("Graph/HoldC1").toInt(), 1);
    EXPECT_EQ(store->value("Graph/HoldMaxC1").toInt(), 1);
}

TEST_F(MenuCommandsTest, SkyMapSwitchesMarkTheMapPictureStale) {
    EnableEverySwitch();
    for (int id : {ID_IDENTIFY_SATELLITES, ID_NO_TRAILS, ID_EXTENDED_TRAILS, ID_SAT_BACKDROP}) {
        view.m_wndMap.m_bCacheValid = true;
        Choose(id);
        EXPECT_FALSE(view.m_wndMap.m_bCacheValid) << id;
    }
}

TEST_F(MenuCommandsTest, TrailsAreOneOfThree) {
    const int ids[] = {ID_NO_TRAILS, ID_RECENT_TRAILS, ID_EXTENDED_TRAILS};
    for (int mode = 0; mode < 3; ++mode) {
        Choose(ids[mode]);
        EXPECT_EQ(view.m_nTrailMode, mode);
        for (int other = 0; other < 3; ++other)
            EXPECT_EQ(Action(ids[other]).isChecked(), other == mode);
    }
}

TEST_F(MenuCommandsTest, LockTiExtentsHoldsBothEndsOfTheTimeIntervalChannel) {
    view.m_bHoldMin = {true, true, false, false, false, false, false, false};
    view.m_bHoldMax = {false, false, false, false, false, false, false, false};
    view.m_wndGraph.m_bCacheValid = true;
    frame.UpdateCommandUI();
    EXPECT_TRUE(Action(ID_LOCK_TI_EXTENTS).isChecked());

    Choose(ID_LOCK_TI_EXTENTS); // minimum held, maximum not: both off
    EXPECT_FALSE(view.m_bHoldMin[1]);
    EXPECT_FALSE(view.m_bHoldMax[1]);
    EXPECT_FALSE(Action(ID_LOCK_TI_EXTENTS).isChecked());
    EXPECT_FALSE(view.m_wndGraph.m_bCacheValid);
    Choose(ID_LOCK_TI_EXTENTS);
    EXPECT_TRUE(view.m_bHoldMin[1]);
    EXPECT_TRUE(view.m_bHoldMax[1]);
    // The EFC channel keeps its holds.
    EXPECT_TRUE(view.m_bHoldMin[0]);
    EXPECT_FALSE(view.m_bHoldMax[0]);
}

TEST_F(MenuCommandsTest, ReadErrorQueueOnlyForTheFamiliesThatHaveOne) {
    view.m_bDeQueue = true;
    for (int family = 0; family < kReceiverFamilies; ++family) {
        g_nReceiverType = family;
        frame.UpdateCommandUI();
        EXPECT_EQ(Action(ID_READ_ERROR_QUEUE).isEnabled(), family <= RECEIVER_DATUM) << family;
        EXPECT_TRUE(Action(ID_READ_ERROR_QUEUE).isChecked()) << family;
    }
}

TEST_F(MenuCommandsTest, SatBackdropNeedsAReadableFile) {
    view.m_strMapPath.clear();
    frame.UpdateCommandUI();
    EXPECT_FALSE(Action(ID_SAT_BACKDROP).isEnabled());
    view.m_strMapPath = platform::documentsFolder() + QStringLiteral("/missing.png");
    frame.UpdateCommandUI();
    EXPECT_FALSE(Action(ID_SAT_BACKDROP).isEnabled());
    view.m_strMapPath = platform::documentsFolder();
    frame.UpdateCommandUI();
    EXPECT_FALSE(Action(ID_SAT_BACKDROP).isEnabled()) << "a folder is no picture";

    const QString readOnly = platform::documentsFolder() + QStringLiteral("/backdrop.png");
    QFile file(readOnly);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    file.setPermissions(QFile::ReadOwner);
    view.m_strMapPath = readOnly;
    frame.UpdateCommandUI();
    EXPECT_TRUE(Action(ID_SAT_BACKDROP).isEnabled());
}

TEST_F(MenuCommandsTest, EnablersFollowRunningAndStopped) {
    const int whenStopped[] = {ID_START,
                               ID_RECEIVER_HP,
                               ID_RECEIVER_DATUM,
                               ID_RECEIVER_PROTEUS,
                               ID_RECEIVER_JACKSON,
                               ID_RECEIVER_UCCM,
                               ID_CHOOSE_LOG_FILE,
                               ID_CHOOSE_SATELLITE_FILE,
                               ID_CHOOSE_HTML_FILE};
    const int whenRunning[] = {ID_STOP, ID_HIDE};
    const int always[] = {ID_CHOOSE_USER_FILE, ID_CHOOSE_DEBUG_FILE, ID_MAP_BACKDROP_FILE, ID_AUTO_RUN,
                          ID_BEEP_ON_ERROR,    ID_VIEW_ALL,          ID_APP_ABOUT,         ID_APP_EXIT};
    for (bool running : {false, true, false}) {
        SetRunning(running);
        for (int id : whenStopped)
            EXPECT_EQ(Action(id).isEnabled(), !running) << id;
        for (int id : whenRunning)
            EXPECT_EQ(Action(id).isEnabled(), running) << id;
        for (int id : always)
            EXPECT_TRUE(Action(id).isEnabled()) << id;
    }
}

TEST_F(MenuCommandsTest, UpdateAllForcesEveryOutputAndGreysUntilEnabledAgain) {
    view.m_bUpdateAllEnabled = true;
    view.m_dwLastLog = view.m_dwLastHtml = view.m_dwLastFtp = view.m_dwLastExport = 1234;
    view.m_dwLastSetTime = 1234;
    frame.UpdateCommandUI();
    ASSERT_TRUE(Action(ID_UPDATE_ALL).isEnabled());
    Choose(ID_UPDATE_ALL);
    EXPECT_EQ(view.m_dwLastLog, 0u);
    EXPECT_EQ(view.m_dwLastHtml, 0u);
    EXPECT_EQ(view.m_dwLastFtp, 0u);
    EXPECT_EQ(view.m_dwLastExport, 0u);
    EXPECT_EQ(view.m_dwLastSetTime, 1234u);
    EXPECT_TRUE(view.m_bForceUpdate);
    EXPECT_FALSE(Action(ID_UPDATE_ALL).isEnabled());
}

TEST_F(MenuCommandsTest, CommandsWithoutAHandlerAreGreyed) {
    for (int id : {ID_OPTIONS, ID_EXPORT, ID_ANIMATE_SATELLITES, ID_EXPORT_PROFILE})
        EXPECT_FALSE(Action(id).isEnabled()) << id;
}

TEST_F(MenuCommandsTest, FileChoicesTakeThePathAndCancelChangesNothing) {
    std::optional<QString> answer = QStringLiteral("/data/Chosen Log.LOG");
    QString offered;
    platform::setFileDialogHandler([&](platform::FileDialogKind kind, const QString& initial) {
        EXPECT_EQ(kind, platform::FileDialogKind::Save);
        offered = initial;
        return answer;
    });
    view.m_strLogPath = QStringLiteral("/old/gpslog.log");
    Choose(ID_CHOOSE_LOG_FILE);
    EXPECT_EQ(offered, "/old/gpslog.log");
    EXPECT_EQ(view.m_strLogPath, "/data/Chosen Log.LOG"); // case kept

    const std::pair<int, QString CChildView::*> choices[] = {
        {ID_CHOOSE_SATELLITE_FILE, &CChildView::m_strDumpPath},
        {ID_CHOOSE_HTML_FILE, &CChildView::m_strHtmlPath},
        {ID_CHOOSE_USER_FILE, &CChildView::m_strUserPath},
        {ID_CHOOSE_DEBUG_FILE, &CChildView::m_strDebugPath},
    };
    for (const auto& [id, member] : choices) {
        answer = QStringLiteral("/x/%1").arg(id);
        Choose(id);
        EXPECT_EQ(view.*member, *answer);
        const QString kept = view.*member;
        answer.reset();
        Choose(id);
        EXPECT_EQ(view.*member, kept);
    }
}

TEST_F(MenuCommandsTest, MapBackdropFileIsOpenedNotSaved) {
    platform::setFileDialogHandler([](platform::FileDialogKind kind, const QString&) {
        EXPECT_EQ(kind, platform::FileDialogKind::Open);
        return std::optional<QString>(QStringLiteral("/maps/Earth.PNG"));
    });
    view.m_wndMap.m_bCacheValid = true;
    Choose(ID_MAP_BACKDROP_FILE);
    EXPECT_EQ(view.m_strMapPath, "/maps/Earth.PNG");
    EXPECT_FALSE(view.m_wndMap.m_bCacheValid);
}

TEST_F(MenuCommandsTest, AutoRunIsWrittenAtOnce) {
    view.m_bAutoRun = false;
    Choose(ID_AUTO_RUN);
    EXPECT_TRUE(view.m_bAutoRun);
    EXPECT_TRUE(Action(ID_AUTO_RUN).isChecked());
    EXPECT_EQ(platform::openSettingsStore()->value("Initial/WasRunning").toInt(), 1);
    Choose(ID_AUTO_RUN);
    EXPECT_EQ(platform::openSettingsStore()->value("Initial/WasRunning").toInt(), 0);
}

TEST_F(MenuCommandsTest, FamilyChangeAppliesTheFamilyDefaultsAndSaves) {
    view.Initialise();
    view.m_nBaud = 1200;
    view.m_strProfilePath = QStringLiteral("/profiles/mine.ini");
    Choose(ID_RECEIVER_HP);
    EXPECT_EQ(g_nReceiverType, RECEIVER_HP);
    EXPECT_NE(view.m_nBaud, 1200);
    EXPECT_TRUE(view.m_strProfilePath.isEmpty());
    // The dialog bar shows the family's buttons.
    EXPECT_FALSE(view.m_strButton[0].label.isEmpty());
    EXPECT_EQ(frame.m_wndDlgBar.Button(0)->text(), view.m_strButton[0].label);
    EXPECT_GT(frame.m_wndDlgBar.CommandBox()->count(), 0);
    const auto store = platform::openSettingsStore();
    EXPECT_EQ(store->value("Receiver/Type").toInt(), RECEIVER_HP);
    EXPECT_EQ(store->value("Port/Baud").toInt(), view.m_nBaud);
}

TEST_F(MenuCommandsTest, FamilyCommandsSelectTheFamilyWithACheckMark) {
    const std::pair<int, int> families[] = {{ID_RECEIVER_HP, RECEIVER_HP},
                                            {ID_RECEIVER_DATUM, RECEIVER_DATUM},
                                            {ID_RECEIVER_PROTEUS, RECEIVER_PROTEUS},
                                            {ID_RECEIVER_JACKSON, RECEIVER_JACKSON},
                                            {ID_RECEIVER_UCCM, RECEIVER_UCCM}};
    for (const auto& [id, family] : families) {
        Choose(id);
        EXPECT_EQ(g_nReceiverType, family);
        for (const auto& [otherId, otherFamily] : families)
            EXPECT_EQ(Action(otherId).isChecked(), otherFamily == family);
    }
}

TEST_F(MenuCommandsTest, ViewCommandsReachTheViewBeforeTheFrame) {
    Choose(ID_VIEW_MAP);
    EXPECT_EQ(view.m_nViewMode, 2);
    EXPECT_TRUE(Action(ID_VIEW_MAP).isChecked());
    EXPECT_FALSE(Action(ID_VIEW_ALL).isChecked());
    Choose(ID_VIEW_DIALOGBAR);
    EXPECT_TRUE(frame.m_bDialogBarHidden);
    EXPECT_FALSE(Action(ID_VIEW_DIALOGBAR).isChecked());
    Choose(ID_VIEW_TOOLBAR);
    EXPECT_TRUE(frame.m_wndToolBar->isHidden());
    EXPECT_FALSE(Action(ID_VIEW_TOOLBAR).isChecked());
}

} // namespace
