// The Options sheet, driven as a user drives it: opened from the menu, entries typed into its
// controls, OK or Cancel clicked.
#include "app/Globals.h"
#include "app/MainFrame.h"
#include "platform/FileDialog.h"
#include "platform/MessageBox.h"
#include "platform/Paths.h"
#include "platform/SettingsStore.h"
#include "platform/TickCount.h"
#include "receiver/SatInfo.h"
#include "settings/OptionsSheet.h"
#include "settings/SettingsIo.h"
#include "simulator/ReceiverSimulator.h"
#include "support/FileBytes.h"
#include "support/SettingsFiles.h"
#include "support/StatusScreens.h"
#include "support/WaitBounds.h"

#include <QAction>
#include <QApplication>
#include <QColorDialog>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <functional>
#include <gtest/gtest.h>

namespace {

enum Tab { kPaths, kTraces, kFtp, kComs, kTimeServices, kAuxiliary, kAuxComs, kExport };

// Runs `act` on a modal dialog of type T as soon as it is open (the event loop may run before it is).
template <typename T> void WhenOpen(const std::function<void(T&)>& act) {
    auto* poll = new QTimer;
    QObject::connect(poll, &QTimer::timeout, poll, [poll, act] {
        if (auto* dialog = qobject_cast<T*>(QApplication::activeModalWidget())) {
            poll->stop();
            poll->deleteLater();
            act(*dialog);
        }
    });
    poll->start(0);
}
void WhenSheetOpens(const std::function<void(COptionsSheet&)>& act) {
    WhenOpen<COptionsSheet>(act);
}

class OptionsTest : public ::testing::Test {
protected:
    void SetUp() override {
        const QByteArray stored = StoredSettings();
        if (stored.isEmpty())
            UseFreshSettingsStore();
        else
            WriteSettingsFile(stored);
        view.OnTimer(IDT_STARTUP); // the start-up tick, which the sheet's event loop must not run again
        platform::SetMessageBoxHandler([this](const platform::MessageBoxRequest& request) {
            messages << request.text;
            return answer;
        });
    }
    // The settings file the program finds at its start; none by default.
    virtual QByteArray StoredSettings() const { return {}; }
    ~OptionsTest() override {
        platform::SetMessageBoxHandler(
            [](const platform::MessageBoxRequest&) { return platform::MessageResult::Ok; });
        platform::SetFileDialogHandler({});
    }

    // Opens the sheet from the menu and lets `act` use it; `act` ends by clicking OK or Cancel.
    void UseSheet(const std::function<void()>& act) {
        bool acted = false;
        WhenSheetOpens([&](COptionsSheet& open) {
            sheet = &open;
            acted = true;
            act();
        });
        frame.Action(ID_OPTIONS)->trigger();
        EXPECT_TRUE(acted);
        sheet = nullptr;
    }
    template <typename T = QWidget> T* Control(int tab, int id) const {
        return sheet->Pages()[static_cast<std::size_t>(tab)]->Control<T>(id);
    }
    void Type(int tab, int id, const QString& text) { Control<QLineEdit>(tab, id)->setText(text); }
    void Click(const char* button) { sheet->findChild<QPushButton*>(QString::fromLatin1(button))->click(); }
    // As a person does it: the tab, a click into the edit, its text selected and replaced by keys.
    void TypeIntoField(int tab, int id, const QString& text) {
        sheet->Tabs()->setCurrentIndex(tab);
        ASSERT_TRUE(QTest::qWaitForWindowActive(sheet, kBusyMachineWaitMs));
        auto* edit = Control<QLineEdit>(tab, id);
        QTest::mouseClick(edit, Qt::LeftButton);
        ASSERT_EQ(QApplication::focusWidget(), edit);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(QApplication::focusWidget(), text);
    }
    // OK as a person clicks it, expected to close the sheet; a sheet that stays open is cancelled,
    // so that the test goes on.
    void PressOK() {
        QTest::mouseClick(sheet->findChild<QPushButton*>(QStringLiteral("IDOK")), Qt::LeftButton);
        if (sheet->isVisible()) {
            ADD_FAILURE() << "OK refused: " << qPrintable(messages.join(u' '));
            Click("IDCANCEL");
        }
    }

    CMainFrame frame;
    CChildView& view = frame.m_wndView;
    COptionsSheet* sheet = nullptr;
    QStringList messages;
    platform::MessageResult answer = platform::MessageResult::Ok;
};

TEST_F(OptionsTest, EverySettingComesBackUnchangedThroughOK) {
    view.m_strLogPath = QStringLiteral("/Data/Logs/GPS Log.LOG"); // capitals stay
    view.m_nLogInterval = 45000;
    view.m_nExportInterval = static_cast<int>(4294967000u);
    view.m_dMax[3] = 0.000123456789012345;
    view.m_dOffset[7] = -1e-9 / 3;
    view.m_nFilterMode[5] = 2;
    view.m_strComPort = QStringLiteral("/dev/serial/by-id/usb-GPS_Receiver-if00");
    view.m_nBaud2 = 57600;
    view.m_byParity2 = 4;
    view.m_byPacing2 = 2;
    view.m_strFtpPassword = QStringLiteral("s3cret ;");
    view.m_nLeapCorrection = -18;
    view.m_strAuxRequest[6] = QStringLiteral("~:DATA:E0?<CR>");
    view.m_nAuxTrace[6] = 8;
    view.m_crCustom[15] = RGB(1, 2, 3);
    const QMap<QString, QString> before = SavedSettings(view);
    UseSheet([&] {
        EXPECT_EQ(Control<QLineEdit>(kPaths, 1045)->text(), QStringLiteral("45"));
        EXPECT_EQ(Control<QLineEdit>(kFtp, 1063)->echoMode(), QLineEdit::Password);
        Click("IDOK");
    });
    ExpectSameSettings(SavedSettings(view), before);
    // OK saved the settings.
    EXPECT_EQ(platform::OpenSettingsStore()->value("Log/Path").toString(), view.m_strLogPath);
}

TEST_F(OptionsTest, EntriesReachTheSettingsOnlyThroughOK) {
    const QMap<QString, QString> before = SavedSettings(view);
    const auto enter = [&] {
        Type(kPaths, 1045, QStringLiteral("45"));
        Control<QCheckBox>(kPaths, 1378)->setChecked(!view.m_bUserToFile);
        Type(kTraces, 1336 + 2, QStringLiteral("2.5e-3"));
        Control<QRadioButton>(kTraces, 1379 + 3 * 4 + 1)->setChecked(true);
        Control<QComboBox>(kComs, 1018)->setEditText(QStringLiteral("/dev/gps *"));
        Control<QComboBox>(kComs, 1019)->setCurrentText(QStringLiteral("4800"));
        Control<QComboBox>(kComs, 1020)->setCurrentIndex(2);
        Control<QRadioButton>(kAuxComs, 1042)->setChecked(true);
        Type(kTimeServices, 1160, QStringLiteral("-250"));
        Type(kExport, 1154, QStringLiteral("4294967"));
    };
    UseSheet([&] {
        enter();
        Click("IDCANCEL");
    });
    ExpectSameSettings(SavedSettings(view), before);
    EXPECT_FALSE(platform::OpenSettingsStore()->contains("Log/LogInterval")) << "Cancel saves nothing";

    const bool userToFile = view.m_bUserToFile;
    UseSheet([&] {
        enter();
        Click("IDOK");
    });
    EXPECT_EQ(view.m_nLogInterval, 45000);
    EXPECT_EQ(view.m_bUserToFile, !userToFile);
    EXPECT_EQ(view.m_dMagnification[2], 2.5e-3);
    EXPECT_EQ(view.m_nFilterMode[4], 1);
    EXPECT_EQ(view.m_strComPort, QStringLiteral("/dev/gps")) << "only the mark is stripped";
    EXPECT_EQ(view.m_nBaud, 4800);
    EXPECT_EQ(view.m_byDataBits, 7);
    EXPECT_EQ(view.m_byPacing2, 1);
    EXPECT_EQ(view.m_nFineCorrection, -250);
    EXPECT_EQ(static_cast<std::uint32_t>(view.m_nExportInterval), 4294967000u);
    EXPECT_EQ(platform::OpenSettingsStore()->value("Log/LogInterval").toInt(), 45000);
}

TEST_F(OptionsTest, AnEntryOutsideItsRangeKeepsTheSheetOpenOnItsPage) {
    struct Edge {
        Tab tab;
        int id;
        const char* accepted;
        const char* refused;
        const char* message;
    };
    const Edge edges[] = {
        {kExport, 1154, "4294967", "4294968", "Please enter an integer between 0 and 4294967."},
        {kTraces, 1285 + 1, "0.9999", "1", "Please enter a number between 1e-15 and 0.9999."},
        {kPaths, 1045, "5000", "5001", "Please enter an integer between 3 and 5000."},
        {kAuxiliary, 1303 + 3, "8", "9", "Please enter an integer between 0 and 8."},
        {kTimeServices, 1369, "-100", "-101", "Please enter an integer between -100 and 100."},
        {kFtp, 1136, "600", "twelve", "Please enter an integer."},
        {kTraces, 1261, "-1e15", "1,5", "Please enter a number."},
    };
    UseSheet([&] {
        for (const Edge& edge : edges) {
            messages.clear();
            sheet->Tabs()->setCurrentIndex(kPaths == edge.tab ? kExport : kPaths);
            Type(edge.tab, edge.id, QString::fromLatin1(edge.refused));
            Click("IDOK");
            EXPECT_TRUE(sheet->isVisible()) << edge.id;
            EXPECT_EQ(sheet->Tabs()->currentIndex(), edge.tab) << edge.id;
            EXPECT_EQ(messages, QStringList{QString::fromLatin1(edge.message)}) << edge.id;
            Type(edge.tab, edge.id, QString::fromLatin1(edge.accepted));
        }
        messages.clear();
        Click("IDOK");
        EXPECT_TRUE(messages.isEmpty());
    });
    EXPECT_EQ(view.m_dFilterCoeff[1], 0.9999);
    EXPECT_EQ(view.m_nLogInterval, 5000000);
    EXPECT_EQ(view.m_nAuxTrace[3], 8);
    EXPECT_EQ(view.m_dMax[0], -1e15);
}

TEST_F(OptionsTest, PageControlsFollowTheBitmapRuleAndTheFamily) {
    g_nReceiverType = RECEIVER_PROTEUS;
    UseSheet([&] {
        auto* useBitmap = Control<QCheckBox>(kPaths, 1085);
        auto* blit = Control<QCheckBox>(kPaths, 1084);
        useBitmap->setChecked(false);
        EXPECT_FALSE(blit->isEnabled());
        EXPECT_TRUE(Control(kPaths, 1098)->isEnabled());
        useBitmap->setChecked(true);
        blit->setChecked(true);
        EXPECT_TRUE(blit->isEnabled());
        EXPECT_FALSE(Control(kPaths, 1098)->isEnabled());
        // The Proteus family: no auxiliary port, no time-code translation; its C/N channels stay.
        EXPECT_FALSE(Control(kAuxiliary, 1117)->isEnabled());
        EXPECT_FALSE(Control(kAuxiliary, 1318)->isEnabled());
        EXPECT_TRUE(Control(kAuxiliary, 1301)->isEnabled());
        EXPECT_TRUE(Control(kPaths, 1031)->isHidden());
        Click("IDOK");
    });
    EXPECT_TRUE(g_bUseBitmap);
    EXPECT_TRUE(g_bBlitFromDisplay);
}

TEST_F(OptionsTest, DeleteRemovesTheFileTheBoxNamesOnceConfirmed) {
    QDir().mkpath(platform::DocumentsFolder());
    const QString opened = platform::DocumentsFolder() + QStringLiteral("/Opened.log");
    const QString typed = platform::DocumentsFolder() + QStringLiteral("/Typed.log");
    for (const QString& path : {opened, typed}) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    view.m_strLogPath = opened;
    UseSheet([&] {
        Type(kPaths, 1026, typed);
        answer = platform::MessageResult::No;
        Control<QPushButton>(kPaths, 1070)->click();
        EXPECT_TRUE(QFile::exists(typed));
        EXPECT_EQ(messages, QStringList{QStringLiteral("Delete %1?").arg(typed)});
        answer = platform::MessageResult::Yes;
        Control<QPushButton>(kPaths, 1070)->click();
        EXPECT_FALSE(QFile::exists(typed));
        // Browse starts from the box's path and puts the choice in it.
        platform::SetFileDialogHandler([&](platform::FileDialogKind, const QString& initial) {
            EXPECT_EQ(initial, typed);
            return std::optional<QString>(QStringLiteral("/Chosen/New.LOG"));
        });
        Control<QPushButton>(kPaths, 1067)->click();
        Click("IDCANCEL");
    });
    EXPECT_TRUE(QFile::exists(opened));
    EXPECT_EQ(view.m_strLogPath, opened);
}

TEST_F(OptionsTest, ColourButtonsChooseWithTheSixteenCustomColours) {
    view.m_crCustom[9] = RGB(9, 9, 9);
    const COLORREF before = view.m_crTrace[3];
    const auto choose = [&](QDialogButtonBox::StandardButton button) {
        WhenOpen<QColorDialog>([&, button](QColorDialog& chooser) {
            EXPECT_EQ(QColorDialog::customColor(9), QColor(9, 9, 9));
            EXPECT_EQ(chooser.currentColor(),
                      QColor(GetRValue(before), GetGValue(before), GetBValue(before)));
            chooser.setCurrentColor(QColor(1, 2, 3));
            QColorDialog::setCustomColor(15, QColor(4, 5, 6)); // "Add to Custom Colors"
            chooser.findChild<QDialogButtonBox*>()->button(button)->click();
        });
        Control<QPushButton>(kTraces, 1407 + 3)->click();
    };
    UseSheet([&] {
        choose(QDialogButtonBox::Cancel);
        choose(QDialogButtonBox::Ok);
        Click("IDOK");
    });
    EXPECT_EQ(view.m_crTrace[3], RGB(1, 2, 3));
    EXPECT_EQ(view.m_crCustom[15], RGB(4, 5, 6));
    EXPECT_EQ(view.m_crCustom[9], RGB(9, 9, 9));
}

TEST_F(OptionsTest, PortPagesListThePortsAndTakeTheNearestRate) {
    view.m_nBaud = 50000;
    view.m_byParity = 9; // not in the list: kept
    view.m_strComPort2 = QStringLiteral("/dev/Receiver Link");
    UseSheet([&] {
        auto* ports = Control<QComboBox>(kAuxComs, 1018);
        EXPECT_GE(ports->findText(QStringLiteral("/dev/ttyS0")), 0);
        EXPECT_GE(ports->findText(QStringLiteral("/dev/Receiver Link")), 0);
        EXPECT_EQ(ports->currentText(), QStringLiteral("/dev/Receiver Link"));
        EXPECT_EQ(Control<QComboBox>(kComs, 1019)->currentText(), QStringLiteral("56000"));
        EXPECT_EQ(Control<QComboBox>(kComs, 1023)->currentIndex(), -1);
        Click("IDOK");
    });
    EXPECT_EQ(view.m_nBaud, 56000);
    EXPECT_EQ(view.m_byParity, 9);
    EXPECT_EQ(view.m_strComPort2, QStringLiteral("/dev/Receiver Link"));
}

// A settings file with values that the pages would not offer: size limits above the arrows' 10240
// kB, kept by a hand edit or an older version, and an HTML interval of 0 that keeps the page off.
class StoredValuesTest : public OptionsTest {
protected:
    QByteArray StoredSettings() const override {
        return QStringLiteral("[Version]\nRegVersion=2\nLogVersion=2\n[Receiver]\nType=0\n"
                              "[Log]\nPath=%1\nMaxSize=20000\nStatusInterval=0\n"
                              "[Dump]\nPath=%2\n[Sat]\nMaxFileSize=20000\n")
            .arg(LogPath(), TrackPath())
            .toUtf8();
    }
    QString LogPath() const { return m_folder.filePath(QStringLiteral("gpslog.log")); }
    QString TrackPath() const { return m_folder.filePath(QStringLiteral("gpsdmp.bin")); }

    QTemporaryDir m_folder;
};

TEST_F(StoredValuesTest, SizeLimitsAboveTheArrowsRangeCutNoHistoryAndSurviveOK) {
    // More than 10240 kB of history in each file, less than 20000 kB.
    const QByteArray log = QByteArray("1709600000\t1\t\t\t\t\t\t\t\t\r\n").repeated(500000);
    const QByteArray track(1000000 * kSatRecordBytes, '\x01');
    ASSERT_TRUE(WriteFileBytes(LogPath(), log));
    ASSERT_TRUE(WriteFileBytes(TrackPath(), track));

    view.UpdateLogFile();
    view.m_dwLastTrack = platform::GetTickCount() - 20000;
    view.ParseSatellites(HpStatusScreen());
    for (const auto& [path, old] : {std::pair{LogPath(), log}, std::pair{TrackPath(), track}}) {
        const QByteArray now = ReadFileBytes(path);
        EXPECT_GT(now.size(), old.size()) << qPrintable(path);
        EXPECT_TRUE(now.startsWith(old)) << "history cut from " << qPrintable(path);
    }

    // OK with the fields as they were shown keeps both limits, in the view and in the file.
    UseSheet([&] {
        EXPECT_EQ(Control<QLineEdit>(kPaths, 1088)->text(), QStringLiteral("20000"));
        PressOK();
    });
    EXPECT_TRUE(messages.isEmpty()) << qPrintable(messages.join(u'\n'));
    EXPECT_EQ(view.m_nLogMaxSize, 20000);
    EXPECT_EQ(view.m_nTrackMaxSize, 20000);
    EXPECT_TRUE(ReadSettingsFile().contains(QStringLiteral("\nMaxSize=20000\n")));
    EXPECT_TRUE(ReadSettingsFile().contains(QStringLiteral("\nMaxFileSize=20000\n")));

    // The edits take any size the operator types; only the arrows stop at 10240.
    UseSheet([&] {
        TypeIntoField(kPaths, 1087, QStringLiteral("30000"));
        PressOK();
    });
    EXPECT_TRUE(messages.isEmpty()) << qPrintable(messages.join(u'\n'));
    EXPECT_EQ(view.m_nTrackMaxSize, 30000);
}

TEST_F(StoredValuesTest, AnUntouchedIntervalOfZeroLetsOtherChangesBeSaved) {
    UseSheet([&] {
        EXPECT_EQ(Control<QLineEdit>(kPaths, 1046)->text(), QStringLiteral("0"));
        TypeIntoField(kPaths, 1370, QStringLiteral("200"));
        PressOK();
    });
    EXPECT_TRUE(messages.isEmpty()) << qPrintable(messages.join(u'\n'));
    EXPECT_EQ(view.m_nRetries, 200);
    EXPECT_EQ(view.m_nStatusInterval, 0);
    const QString saved = ReadSettingsFile();
    EXPECT_TRUE(saved.contains(QStringLiteral("\nRetries=200\n"))) << qPrintable(saved);
    EXPECT_TRUE(saved.contains(QStringLiteral("\nStatusInterval=0\n"))) << qPrintable(saved);
}

TEST(OptionsWhileRunning, ThePortRestsWhileTheSheetIsOpenAndStartsAgainAfter) {
    UseFreshSettingsStore();
    auto clock = std::make_shared<platform::ManualTickSource>(5000);
    platform::SetTickSource(clock);
    sim::ReceiverSimulator receiver(sim::Family::JacksonLabs);
    ASSERT_TRUE(receiver.start());
    {
        CMainFrame frame;
        CChildView& view = frame.m_wndView;
        view.OnTimer(IDT_STARTUP); // the start-up tick, which the sheet's event loop must not run again
        view.m_strComPort = receiver.portPath();
        view.m_bAutoLeaps = false;
        view.OnStart();
        ASSERT_TRUE(view.IsRunning());
        // The profiles are exported and imported only while stopped; Options is always there.
        frame.UpdateCommandUI();
        EXPECT_FALSE(frame.Action(ID_EXPORT_PROFILE)->isEnabled());
        EXPECT_FALSE(frame.Action(ID_IMPORT_PROFILE)->isEnabled());
        EXPECT_TRUE(frame.Action(ID_OPTIONS)->isEnabled());
        for (const char* button : {"IDCANCEL", "IDOK"}) {
            bool acted = false;
            WhenSheetOpens([&](COptionsSheet& sheet) {
                acted = true;
                EXPECT_FALSE(view.IsRunning());
                EXPECT_FALSE(view.IsTimerActive(IDT_USER_COMMAND));
                EXPECT_TRUE(receiver.waitForClient(false, kBusyMachineWaitMs)) << "the port is closed";
                sheet.findChild<QPushButton*>(QString::fromLatin1(button))->click();
            });
            frame.Action(ID_OPTIONS)->trigger();
            EXPECT_TRUE(acted);
            EXPECT_TRUE(view.IsRunning()) << button;
            EXPECT_TRUE(view.IsTimerActive(IDT_USER_COMMAND)) << button;
            EXPECT_TRUE(receiver.waitForClient(true, kBusyMachineWaitMs)) << "the port is open again";
        }
        view.OnStop();
    }
    platform::SetTickSource(nullptr);
}

TEST_F(OptionsTest, EveryPageRendered) {
    const QString folder = QStringLiteral(ORVANE_BINARY_DIR "/screenshots");
    QDir().mkpath(folder);
    UseSheet([&] {
        sheet->adjustSize();
        for (int tab = 0; tab < sheet->Tabs()->count(); ++tab) {
            sheet->Tabs()->setCurrentIndex(tab);
            const QImage image = sheet->grab().toImage();
            EXPECT_GT(image.width(), 300);
            EXPECT_TRUE(image.save(QStringLiteral("%1/options_%2.png").arg(folder).arg(tab)));
        }
        Click("IDCANCEL");
    });
}

} // namespace
