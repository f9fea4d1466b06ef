// The operator's menu commands, chosen through their actions as from the menu or the toolbar.
#include "app/Globals.h"
#include "app/MainFrame.h"
#include "platform/FileDialog.h"
#include "platform/Paths.h"
#include "platform/SettingsStore.h"

#include <QAction>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QMenu>
#include <QPushButton>
#include <condition_variable>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <mutex>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

class MenuCommandsTest : public ::testing::Test {
protected:
    MenuCommandsTest() {
        view.Initialise();
        // Everything an item needs to be enabled: a family with an error queue, a backdrop file.
        g_nReceiverType = RECEIVER_HP;
        view.m_strMapPath = platform::DocumentsFolder() + QStringLiteral("/earth.png");
        QFile file(view.m_strMapPath);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        view.CheckMapBackdrop();
        frame.UpdateCommandUI();
    }
    ~MenuCommandsTest() override { platform::SetFileDialogHandler({}); }

    QAction& Action(int id) { return *frame.Action(id); }
    void Choose(int id) { Action(id).trigger(); }

    CMainFrame frame;
    CChildView& view = frame.m_wndView;
};

TEST_F(MenuCommandsTest, SwitchesFlipTheirMemberAndCheckMarkAndAreSavedAtShutDown) {
    const std::pair<int, bool CChildView::*> switches[] = {
        {ID_READ_ERROR_QUEUE, &CChildView::m_bDeQueue},
        {ID_AUTO_LEAPS, &CChildView::m_bAutoLeaps},
        {ID_BEEP_ON_ERROR, &CChildView::m_bBeepOnError},
        {ID_DEBUG_TO_USER_WINDOW, &CChildView::m_bComsDebug},
        {ID_VERBOSE_SERIAL, &CChildView::m_bVerboseDebug},
        {ID_FTP_DEBUG, &CChildView::m_bFtpDebug},
        {ID_USER_TO_FILE, &CChildView::m_bUserToFile},
        {ID_DEBUG_FILE_ENABLE, &CChildView::m_bDebugEnable},
        {ID_IDENTIFY_SATELLITES, &CChildView::m_bIdentSats},
        {ID_SAT_BACKDROP, &CChildView::m_bMapBackdrop},
        {ID_RAW_STATUS, &CChildView::m_bRawStatus},
    };
    for (const auto& [id, member] : switches) {
        const bool before = view.*member;
        view.m_wndMap.m_bCacheValid = true;
        Choose(id);
        EXPECT_EQ(view.*member, !before) << id;
        EXPECT_EQ(Action(id).isChecked(), !before) << id;
        if (id == ID_IDENTIFY_SATELLITES || id == ID_SAT_BACKDROP) {
            EXPECT_FALSE(view.m_wndMap.m_bCacheValid) << "the map picture is stale";
        }
    }
    // The trails are one of three.
    Choose(ID_EXTENDED_TRAILS);
    EXPECT_EQ(view.m_nTrailMode, 2);
    EXPECT_TRUE(Action(ID_EXTENDED_TRAILS).isChecked());
    EXPECT_FALSE(Action(ID_NO_TRAILS).isChecked() || Action(ID_RECENT_TRAILS).isChecked());
    frame.close();
    const auto store = platform::OpenSettingsStore();
    EXPECT_EQ(store->value("Sat/Trail").toInt(), 2);
    // Under the keys earlier versions wrote them.
    const std::pair<const char*, bool CChildView::*> saved[] = {
        {"Log/DeQueue", &CChildView::m_bDeQueue},
        {"Time/AutoLeaps", &CChildView::m_bAutoLeaps},
        {"Mode/BeepOnError", &CChildView::m_bBeepOnError},
        {"Mode/ComsDebug", &CChildView::m_bComsDebug},
        {"Mode/VerboseDebug", &CChildView::m_bVerboseDebug},
        {"Mode/FTPDebug", &CChildView::m_bFtpDebug},
        {"User/ToFile", &CChildView::m_bUserToFile},
        {"Debug/Enable", &CChildView::m_bDebugEnable},
        {"Map/Ident", &CChildView::m_bIdentSats},
        {"Map/Backdrop", &CChildView::m_bMapBackdrop},
    };
    for (const auto& [key, member] : saved)
        EXPECT_EQ(store->value(key).toString(), QString::number(view.*member ? 1 : 0)) << key;
}

TEST_F(MenuCommandsTest, LockTiExtentsHoldsBothEndsOfTheTimeIntervalChannel) {
    view.m_bHoldMin = {true, true, false, false, false, false, false, false};
    view.m_bHoldMax = {false, false, false, false, false, false, false, false};
    view.m_wndGraph.m_bCacheValid = true;
    frame.UpdateCommandUI();
    EXPECT_TRUE(Action(ID_LOCK_TI_EXTENTS).isChecked());

    Choose(ID_LOCK_TI_EXTENTS); // minimum held, maximum not: both off
    EXPECT_FALSE(view.m_bHoldMin[1] || view.m_bHoldMax[1]);
    EXPECT_FALSE(Action(ID_LOCK_TI_EXTENTS).isChecked());
    EXPECT_FALSE(view.m_wndGraph.m_bCacheValid);
    Choose(ID_LOCK_TI_EXTENTS);
    EXPECT_TRUE(view.m_bHoldMin[1] && view.m_bHoldMax[1]);
    // The EFC channel keeps its holds.
    EXPECT_TRUE(view.m_bHoldMin[0]);
    EXPECT_FALSE(view.m_bHoldMax[0]);
}

TEST_F(MenuCommandsTest, ItemsGreyedByTheirRules) {
    view.m_bDeQueue = true;
    for (int family = 0; family < kReceiverFamilies; ++family) {
        g_nReceiverType = family;
        frame.UpdateCommandUI();
        EXPECT_EQ(Action(ID_READ_ERROR_QUEUE).isEnabled(), family <= RECEIVER_DATUM) << family;
        EXPECT_TRUE(Action(ID_READ_ERROR_QUEUE).isChecked()) << family;
    }
}

TEST_F(MenuCommandsTest, BackdropSwitchNeedsAReadableFileAndNeverWaitsOnOne) {
    // A FIFO would block an open for reading until a writer comes; the guard plays that writer
    // every second, so that a program that opens it fails here instead of hanging.
    const QString folder = platform::DocumentsFolder();
    const QString fifo = folder + QStringLiteral("/backdrop.fifo");
    QFile::remove(fifo);
    ASSERT_EQ(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    std::mutex mutex;
    std::condition_variable finished;
    bool done = false;
    std::thread guard([&] {
        std::unique_lock lock(mutex);
        while (!finished.wait_for(lock, std::chrono::seconds(1), [&] { return done; })) {
            const int fd = ::open(QFile::encodeName(fifo).constData(), O_WRONLY | O_NONBLOCK);
            if (fd >= 0)
                ::close(fd);
        }
    });
    std::optional<QString> answer;
    platform::SetFileDialogHandler([&](platform::FileDialogKind, const QString&) { return answer; });
    QElapsedTimer elapsed;
    elapsed.start();
    for (const QString& path : {QString(), folder + QStringLiteral("/missing.png"), folder, fifo}) {
        answer = path;
        Choose(ID_MAP_BACKDROP_FILE);
        frame.UpdateCommandUI();
        EXPECT_FALSE(Action(ID_SAT_BACKDROP).isEnabled()) << qPrintable(path);
    }
    EXPECT_LT(elapsed.elapsed(), 2000);
    {
        std::lock_guard lock(mutex);
        done = true;
    }
    finished.notify_one();
    guard.join();

    // A file that appears later is found when a menu is about to show, not by the toolbar's
    // periodic refresh.
    QFile later(folder + QStringLiteral("/missing.png"));
    answer = later.fileName();
    Choose(ID_MAP_BACKDROP_FILE);
    ASSERT_TRUE(later.open(QIODevice::WriteOnly));
    frame.UpdateCommandUI();
    EXPECT_FALSE(Action(ID_SAT_BACKDROP).isEnabled());
    QMenu* viewMenu = nullptr;
    for (QObject* object : Action(ID_SAT_BACKDROP).associatedObjects())
        if (auto* menu = qobject_cast<QMenu*>(object))
            viewMenu = menu;
    ASSERT_TRUE(viewMenu);
    viewMenu->popup(QPoint(0, 0));
    EXPECT_TRUE(Action(ID_SAT_BACKDROP).isEnabled());
    viewMenu->hide();
}

TEST_F(MenuCommandsTest, FileChoicesTakeThePathAndCancelChangesNothing) {
    std::optional<QString> answer;
    platform::FileDialogKind asked{};
    QString offered;
    platform::SetFileDialogHandler([&](platform::FileDialogKind kind, const QString& initial) {
        asked = kind;
        offered = initial;
        return answer;
    });
    const std::pair<int, QString CChildView::*> choices[] = {
        {ID_CHOOSE_LOG_FILE, &CChildView::m_strLogPath},
        {ID_CHOOSE_SATELLITE_FILE, &CChildView::m_strDumpPath},
        {ID_CHOOSE_HTML_FILE, &CChildView::m_strHtmlPath},
        {ID_CHOOSE_USER_FILE, &CChildView::m_strUserPath},
        {ID_CHOOSE_DEBUG_FILE, &CChildView::m_strDebugPath},
        {ID_MAP_BACKDROP_FILE, &CChildView::m_strMapPath},
    };
    for (const auto& [id, member] : choices) {
        const QString before = view.*member;
        answer.reset();
        Choose(id);
        EXPECT_EQ(offered, before);
        EXPECT_EQ(view.*member, before);
        answer = QStringLiteral("/Data/Chosen %1.LOG").arg(id);
        Choose(id);
        EXPECT_EQ(view.*member, *answer); // the case kept
        EXPECT_EQ(asked, id == ID_MAP_BACKDROP_FILE ? platform::FileDialogKind::Open
                                                    : platform::FileDialogKind::Save);
    }
    // The backdrop choice saves the settings at once.
    EXPECT_EQ(platform::OpenSettingsStore()->value("Map/Path").toString(), view.m_strMapPath);
}

TEST_F(MenuCommandsTest, AutoRunIsWrittenAtOnce) {
    view.m_bAutoRun = false;
    Choose(ID_AUTO_RUN);
    EXPECT_TRUE(Action(ID_AUTO_RUN).isChecked());
    EXPECT_EQ(platform::OpenSettingsStore()->value("Initial/WasRunning").toInt(), 1);
    Choose(ID_AUTO_RUN);
    EXPECT_EQ(platform::OpenSettingsStore()->value("Initial/WasRunning").toInt(), 0);
}

TEST_F(MenuCommandsTest, FamilyChangeAppliesTheFamilyDefaultsAndSaves) {
    const std::pair<int, int> families[] = {{ID_RECEIVER_HP, RECEIVER_HP},
                                            {ID_RECEIVER_DATUM, RECEIVER_DATUM},
                                            {ID_RECEIVER_PROTEUS, RECEIVER_PROTEUS},
                                            {ID_RECEIVER_JACKSON, RECEIVER_JACKSON},
                                            {ID_RECEIVER_UCCM, RECEIVER_UCCM}};
    for (const auto& [id, family] : families) {
        view.m_nBaud = 1200;
        view.m_strProfilePath = QStringLiteral("/profiles/mine.ini");
        Choose(id);
        EXPECT_EQ(g_nReceiverType, family);
        EXPECT_NE(view.m_nBaud, 1200);
        EXPECT_TRUE(view.m_strProfilePath.isEmpty());
        for (const auto& [otherId, otherFamily] : families)
            EXPECT_EQ(Action(otherId).isChecked(), otherFamily == family);
        // The dialog bar shows the family's buttons and commands.
        EXPECT_EQ(frame.m_wndDlgBar.Button(0)->text(), view.m_strButton[0].label);
        EXPECT_GT(frame.m_wndDlgBar.CommandBox()->count(), 0);
        const auto store = platform::OpenSettingsStore();
        EXPECT_EQ(store->value("Receiver/Type").toInt(), family);
        EXPECT_EQ(store->value("Port/Baud").toInt(), view.m_nBaud);
    }
}

} // namespace
