// Receiver profiles: exported, imported and cleared from the File menu, read at start-up, and the
// INI layer under them, with real files in the test's Documents folder.
#include "app/Globals.h"
#include "app/MainFrame.h"
#include "platform/FileDialog.h"
#include "platform/MessageBox.h"
#include "platform/Paths.h"
#include "platform/SettingsStore.h"
#include "receiver/CommandTables.h"
#include "settings/IniFile.h"
#include "support/SettingsFiles.h"
#include "support/SmallFileSystem.h"
#include "support/WithoutFileOverride.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QPushButton>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

QByteArray ReadBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void WriteBytes(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

class ProfileTest : public ::testing::Test {
protected:
    ProfileTest() {
        UseFreshSettingsStore();
        view.Initialise();
        frame.Action(ID_RECEIVER_JACKSON)->trigger();
        platform::SetFileDialogHandler([this](platform::FileDialogKind kind, const QString& initial) {
            asked = kind;
            offered = initial;
            return answer;
        });
        platform::SetMessageBoxHandler([this](const platform::MessageBoxRequest& request) {
            messages << request.text;
            return platform::MessageResult::Ok;
        });
    }
    ~ProfileTest() override {
        platform::SetFileDialogHandler({});
        platform::SetMessageBoxHandler(
            [](const platform::MessageBoxRequest&) { return platform::MessageResult::Ok; });
    }

    void Choose(int id, const std::optional<QString>& path) {
        answer = path;
        frame.UpdateCommandUI();
        ASSERT_TRUE(frame.Action(id)->isEnabled()) << id;
        frame.Action(id)->trigger();
    }
    QString Path(const QString& name) const { return platform::DocumentsFolder() + QLatin1Char('/') + name; }

    // A graph set-up unlike the defaults in every key a profile holds.
    void SetGraphSetUp() {
        for (std::size_t c = 0; c < kGraphChannels; ++c) {
            view.m_bPlot[c] = c % 2 == 0;
            view.m_strLabel[c] = QStringLiteral("Ch %1 ; x").arg(c);
            view.m_bHoldMin[c] = c % 3 == 0;
            view.m_nPrecision[c] = static_cast<int>(c % 7);
            view.m_bHoldMax[c] = c % 2 == 1;
            view.m_nFilterMode[c] = static_cast<int>(c % 3);
            view.m_bAllanDeviation[c] = c == 1;
            view.m_bMean[c] = c == 2;
            view.m_bStdDev[c] = c == 3;
            view.m_bBestFit[c] = c == 4;
            view.m_dMax[c] = 0.0001234567 * static_cast<double>(c + 1);
            view.m_dMin[c] = -1234567.891 - static_cast<double>(c);
            view.m_dOffset[c] = 1e-9 / 3 * static_cast<double>(c);
            view.m_dMagnification[c] = 1e6 / 7;
            view.m_dFilterCoeff[c] = 0.1 + 0.01 * static_cast<double>(c);
            view.m_nAuxTrace[c] = static_cast<int>(8 - c);
            view.m_strAuxRequest[c] = QStringLiteral(":MEAS%1?<CR>").arg(c);
        }
        view.m_nPeakSSTrace = 5;
        view.m_nTroughSSTrace = 6;
        view.m_strButton[7] = {QStringLiteral("Mine"), QStringLiteral("MY:CMD?;X")};
        view.m_strCommandList = QStringLiteral("A?;B?;");
    }

    CMainFrame frame;
    CChildView& view = frame.m_wndView;
    std::optional<QString> answer;
    platform::FileDialogKind asked{};
    QString offered;
    QStringList messages;
};

TEST_F(ProfileTest, ExportThenImportGivesBackEveryValue) {
    SetGraphSetUp();
    const double liveMax = view.m_dMax[0];
    const QString first = Path(QStringLiteral("Profiles/Mine.INI"));
    QDir().mkpath(Path(QStringLiteral("Profiles")));
    Choose(ID_EXPORT_PROFILE, first);
    EXPECT_EQ(asked, platform::FileDialogKind::Save);
    EXPECT_TRUE(offered.isEmpty());
    EXPECT_EQ(view.m_dMax[0], liveMax) << "an export leaves the live values alone";
    EXPECT_TRUE(view.m_strProfilePath.isEmpty()) << "an export does not make the profile current";
    EXPECT_TRUE(ReadBytes(first).startsWith("[3]\r\nCommands=A?;B?;\r\nButTxt0="));

    // Another program: the family's defaults, a different graph set-up.
    frame.Action(ID_RECEIVER_JACKSON)->trigger();
    const QByteArray expected = ReadBytes(first);
    Choose(ID_IMPORT_PROFILE, first);
    EXPECT_EQ(asked, platform::FileDialogKind::Open);
    EXPECT_EQ(view.m_strProfilePath, first) << "the path's case is kept";
    EXPECT_EQ(view.m_dMax[0], liveMax);
    EXPECT_EQ(frame.m_wndDlgBar.Button(7)->text(), QStringLiteral("Mine"));
    // Every key comes back: exporting the imported set-up writes the same file.
    const QString second = Path(QStringLiteral("second.ini"));
    Choose(ID_EXPORT_PROFILE, second);
    EXPECT_EQ(ReadBytes(second), expected);
    // The import reached the settings store.
    const auto store = platform::OpenSettingsStore();
    EXPECT_EQ(store->value("Profile/Path").toString(), first);
    EXPECT_EQ(store->value("Aux/Enabled0").toInt(), 8);
}

TEST_F(ProfileTest, TheDefaultLabelsExportTheSameBytesAfterAnImport) {
    ASSERT_EQ(view.m_strLabel[0], QStringLiteral("EFC "));
    const QString first = Path(QStringLiteral("defaults.ini"));
    Choose(ID_EXPORT_PROFILE, first);
    Choose(ID_IMPORT_PROFILE, first);
    EXPECT_EQ(view.m_strLabel[0], QStringLiteral("EFC ")) << "the blank is part of the label";
    const QString second = Path(QStringLiteral("again.ini"));
    Choose(ID_EXPORT_PROFILE, second);
    EXPECT_EQ(ReadBytes(second), ReadBytes(first));
}

TEST_F(ProfileTest, ExportsUnderTwoFamiliesShareOneFile) {
    const QString path = Path(QStringLiteral("both.ini"));
    WriteBytes(path, "; kept comment\n[other]\nkey=1\n");
    SetGraphSetUp();
    Choose(ID_EXPORT_PROFILE, path);
    frame.Action(ID_RECEIVER_UCCM)->trigger();
    view.m_nPeakSSTrace = 2;
    Choose(ID_EXPORT_PROFILE, path);

    const IniFile file(ReadBytes(path));
    EXPECT_EQ(file.Value(u"3", u"ButTxt7"), QStringLiteral("Mine"));
    EXPECT_EQ(file.Value(u"4", u"ButTxt0"), g_CommandButtons[RECEIVER_UCCM][0][0]);
    EXPECT_EQ(file.Value(u"log", u"peakss"), QStringLiteral("2")) << "one shared graph set-up, the last";
    EXPECT_TRUE(ReadBytes(path).startsWith("; kept comment\n[other]\nkey=1\n[3]\r\n"));
}

TEST_F(ProfileTest, AHandWrittenProfileIsReadAsThePrivateProfileFunctionsWould) {
    const QString path = Path(QStringLiteral("hand.ini"));
    WriteBytes(path, "; my receiver\r\n"
                     "[GRAPH]\r\n"
                     "  labelc2 =  Temperature  \r\n"
                     "MINC2=-50\n"
                     "MaxC2 = abc\n"
                     "PrecisionC2=4\n"
                     "precisionc2=1\n" // the first match wins
                     "; PlotC2=1\n"
                     "[3]\n"
                     "commands = *IDN?;SYST:ERR?;\n"
                     "BUTTXT0=\"Quoted\"\n"
                     "ButCmd0=A;B\n"
                     "[aux]\nEnabled1 = 3\nRequestString1=~:DATA:E0?<CR>\n"
                     "[Log]\nPeakSS=9\n");
    view.m_dOffset[2] = 0.5;
    view.m_bPlot[2] = false;
    Choose(ID_IMPORT_PROFILE, path);
    EXPECT_EQ(view.m_strLabel[2], QStringLiteral("Temperature"));
    EXPECT_EQ(view.m_dMin[2], -50.0);
    EXPECT_EQ(view.m_dMax[2], 0.0) << "text that is not a number reads as 0";
    EXPECT_EQ(view.m_nPrecision[2], 4);
    EXPECT_FALSE(view.m_bPlot[2]) << "a comment is no key";
    EXPECT_EQ(view.m_dOffset[2], 0.5) << "a missing key keeps the current value";
    EXPECT_EQ(view.m_strCommandList, QStringLiteral("*IDN?;SYST:ERR?;"));
    EXPECT_EQ(view.m_strButton[0].label, QStringLiteral("Quoted"));
    EXPECT_EQ(view.m_strButton[0].command, QStringLiteral("A;B"));
    EXPECT_TRUE(view.m_strButton[1].label.isEmpty()) << "a missing button is empty and hidden";
    EXPECT_TRUE(frame.m_wndDlgBar.Button(1)->isHidden());
    EXPECT_EQ(view.m_nAuxTrace[1], 3);
    EXPECT_EQ(view.m_strAuxRequest[1], QStringLiteral("~:DATA:E0?<CR>"));
    EXPECT_EQ(view.m_nPeakSSTrace, 0) << "no channel 9: off";
}

TEST_F(ProfileTest, WritingKeepsEveryOtherByteAndEndsNewLinesInCrLf) {
    IniFile file("top=1\n[A]\nx = old ; note\n\n[b]\ny=2"); // no line end at the very end
    file.SetValue(u"a", u"X", QStringLiteral("new"));
    file.SetValue(u"A", u"z", QStringLiteral("3"));
    file.SetValue(u"B", u"w", QStringLiteral("two\nlines"));
    file.SetValue(u"C", u"v", QStringLiteral("4"));
    EXPECT_EQ(file.Bytes(),
              QByteArray("top=1\n[A]\nx =new\nz=3\r\n\n[b]\ny=2\r\nw=two lines\r\n[C]\r\nv=4\r\n"));
    EXPECT_EQ(file.Value(u"a", u"x"), QStringLiteral("new"));
    EXPECT_FALSE(file.Value(u"", u"top")) << "keys before any section belong to none";
}

TEST(ProfileFile, ValuesThatReadingWouldTrimAreQuotedAndUnquotedOnesStillRead) {
    IniFile file("[Graph]\r\nLabelC0=EFC \r\n"); // as earlier versions wrote a label's blank
    EXPECT_EQ(file.Value(u"Graph", u"LabelC0"), QStringLiteral("EFC"));
    file.SetValue(u"Graph", u"LabelC0", QStringLiteral("EFC "));
    EXPECT_EQ(file.Bytes(), QByteArray("[Graph]\r\nLabelC0=\"EFC \"\r\n"));
    for (const char* value : {"\tTI", "\"quoted\"", "'single'", "\"open", " "}) {
        file.SetValue(u"Graph", u"LabelC1", QString::fromUtf8(value));
        EXPECT_EQ(IniFile(file.Bytes()).Value(u"Graph", u"LabelC1"), QString::fromUtf8(value));
    }
}

TEST_F(ProfileTest, UnreadableProfilesAreRefusedReadOnlyOnesReadAndFailedExportsSaid) {
    const QString readOnly = Path(QStringLiteral("readonly.ini"));
    WriteBytes(readOnly, "[3]\nButTxt0=Fixed\n");
    QFile::setPermissions(readOnly, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther);
    Choose(ID_IMPORT_PROFILE, readOnly);
    EXPECT_EQ(view.m_strButton[0].label, QStringLiteral("Fixed"));
    EXPECT_EQ(view.m_strProfilePath, readOnly);

    const QString fifo = Path(QStringLiteral("fifo.ini"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    for (const QString& bad : {Path(QStringLiteral("missing.ini")), platform::DocumentsFolder(), fifo}) {
        messages.clear();
        Choose(ID_IMPORT_PROFILE, bad);
        EXPECT_EQ(view.m_strProfilePath, readOnly) << "the old profile stays current";
        EXPECT_EQ(messages, QStringList{QStringLiteral("Unable to read profile %1").arg(bad)});
    }
    // An export that cannot be written says so, and why.
    messages.clear();
    const QString unwritable = Path(QStringLiteral("no such folder/p.ini"));
    Choose(ID_EXPORT_PROFILE, unwritable);
    EXPECT_EQ(
        messages,
        QStringList{QStringLiteral("Unable to write profile %1: No such file or directory").arg(unwritable)});
    // Cancelling changes nothing.
    Choose(ID_IMPORT_PROFILE, std::nullopt);
    EXPECT_EQ(view.m_strProfilePath, readOnly);
    EXPECT_EQ(offered, readOnly);
}

// An export onto a full disk says so and leaves the profile that was there whole.
TEST_F(ProfileTest, AnExportOntoAFullDiskKeepsTheOldProfile) {
    SmallFileSystem disk(64 * 1024);
    if (!disk.Mounted())
        GTEST_SKIP() << disk.Reason();
    const QString path = disk.FilePath(QStringLiteral("p.ini"));
    const QByteArray old = "[3]\r\nButTxt0=Old\r\n";
    WriteBytes(path, old);
    ASSERT_TRUE(disk.LeaveFree(0));
    Choose(ID_EXPORT_PROFILE, path);
    EXPECT_EQ(messages,
              QStringList{QStringLiteral("Unable to write profile %1: No space left on device").arg(path)});
    EXPECT_EQ(ReadBytes(path), old);
}

// A folder that refuses new files, and a profile there that cannot be read: each export says why.
TEST_F(ProfileTest, AnExportThatIsRefusedSaysWhy) {
    const QString folder = Path(QStringLiteral("locked"));
    ASSERT_TRUE(QDir().mkpath(folder));
    const QString unreadable = folder + QStringLiteral("/old.ini");
    WriteBytes(unreadable, "[3]\r\nButTxt0=Old\r\n");
    ASSERT_TRUE(QFile::setPermissions(unreadable, QFile::WriteOwner));
    ASSERT_TRUE(QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner));
    {
        const WithoutFileOverride asAnyUser;
        Choose(ID_EXPORT_PROFILE, folder + QStringLiteral("/new.ini"));
        Choose(ID_EXPORT_PROFILE, unreadable);
    }
    QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    EXPECT_EQ(
        messages,
        (QStringList{QStringLiteral("Unable to write profile %1/new.ini: Permission denied").arg(folder),
                     QStringLiteral("Unable to write profile %1: Permission denied").arg(unreadable)}));
    EXPECT_FALSE(QFile::exists(folder + QStringLiteral("/new.ini")));
}

TEST_F(ProfileTest, ClearTakesTheBuiltInButtonsAndKeepsTheGraph) {
    const QString path = Path(QStringLiteral("p.ini"));
    WriteBytes(path, "[3]\nButTxt0=Mine\n[Graph]\nLabelC0=Kept\n");
    frame.UpdateCommandUI();
    EXPECT_FALSE(frame.Action(ID_CLEAR_PROFILE)->isEnabled()) << "no profile yet";
    Choose(ID_IMPORT_PROFILE, path);
    Choose(ID_CLEAR_PROFILE, std::nullopt);
    EXPECT_TRUE(view.m_strProfilePath.isEmpty());
    EXPECT_EQ(view.m_strButton[0].label, g_CommandButtons[RECEIVER_JACKSON][0][0]);
    EXPECT_EQ(view.m_strLabel[0], QStringLiteral("Kept"));
    EXPECT_TRUE(platform::OpenSettingsStore()->value("Profile/Path").toString().isEmpty());
    frame.UpdateCommandUI();
    EXPECT_FALSE(frame.Action(ID_CLEAR_PROFILE)->isEnabled());
}

TEST(ProfileStartUp, TheCurrentProfilesButtonsAreReadButNotItsGraph) {
    UseFreshSettingsStore();
    QDir().mkpath(platform::DocumentsFolder());
    const QString path = platform::DocumentsFolder() + QStringLiteral("/StartUp.ini");
    WriteBytes(path, "[3]\nCommands=X?;\nButTxt0=From profile\nButCmd0=X?\n[Graph]\nLabelC0=Not read\n");
    {
        const auto store = platform::OpenSettingsStore();
        store->setValue("Version/RegVersion", 2);
        store->setValue("Receiver/Type", RECEIVER_JACKSON);
        store->setValue("Profile/Path", path);
        store->setValue("Graph/LabelC0", "Stored");
    }
    CMainFrame frame;
    frame.m_wndView.Initialise();
    EXPECT_EQ(frame.m_wndDlgBar.Button(0)->text(), QStringLiteral("From profile"));
    EXPECT_EQ(frame.m_wndView.m_strCommandList, QStringLiteral("X?;"));
    EXPECT_EQ(frame.m_wndView.m_strLabel[0], QStringLiteral("Stored"));
}

} // namespace
