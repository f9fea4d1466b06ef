#include "app/ChildView.h"
#include "app/Globals.h"
#include "app/MainFrame.h"
#include "controls/DlgBar.h"
#include "platform/SettingsFileFormat.h"
#include "platform/SettingsStore.h"
#include "settings/SettingValues.h"
#include "settings/SettingsIo.h"
#include "support/BuiltLocale.h"
#include "support/FileBytes.h"
#include "support/PieceByPieceDevice.h"
#include "support/ProcessCounters.h"
#include "support/SettingsFiles.h"
#include "support/SmallFileSystem.h"

#include <QBuffer>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QPoint>
#include <QRandomGenerator>
#include <QRect>
#include <QRegularExpression>
#include <QSize>
#include <QStringList>
#include <QTemporaryDir>
#include <algorithm>
#include <bit>
#include <clocale>
#include <gtest/gtest.h>

namespace {

void ResetProcessSettings() {
    g_nReceiverType = -1;
    g_bUseBitmap = true;
    g_bBlitFromDisplay = false;
}

bool SameBits(double a, double b) {
    return std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b);
}

class SettingsStoreTest : public ::testing::Test {
protected:
    void SetUp() override {
        UseFreshSettingsStore();
        ResetProcessSettings();
    }
    void TearDown() override { ResetProcessSettings(); }
};

// A random text of the characters settings hold and those the file must escape or quote.
QString RandomText(QRandomGenerator& random) {
    static const QList<uint> kAlphabet =
        (QString::fromUtf8(" ,;=\"\\@%[]/\t\r\n\u00b0\u03c9\U0001F600az09#") + QChar(0) + QChar(7) +
         QChar(0x7F))
            .toUcs4();
    QList<uint> text;
    for (int n = random.bounded(12); n > 0; --n)
        text.append(kAlphabet.at(random.bounded(kAlphabet.size())));
    return QString::fromUcs4(reinterpret_cast<const char32_t*>(text.constData()), text.size());
}

} // namespace

TEST(SettingValues, IntegersAreWholeNumbersTakenAsTheir32BitPattern) {
    for (const auto& [text, value] : {std::pair<const char*, std::int32_t>{" -5 ", -5},
                                      {"+3", 3},
                                      {"4294967295", -1},
                                      {"-2147483648", INT32_MIN}})
        EXPECT_EQ(StoredInt32(QString::fromLatin1(text)), value) << text;
    EXPECT_EQ(StoredInt32(QVariant(4000000000u)), static_cast<std::int32_t>(4000000000u));
    for (const char* malformed : {"", " ", "4294967296", "-2147483649", "12abc", "1.5", "0x10", "+-1", "--1",
                                  "99999999999999999999999"})
        EXPECT_FALSE(StoredInt32(QString::fromLatin1(malformed))) << malformed;
    EXPECT_FALSE(StoredInt32(QString::fromUtf8("\u0663"))); // an Arabic-Indic three
    EXPECT_FALSE(StoredInt32(QVariant()));
    EXPECT_FALSE(StoredInt32(QStringList{QStringLiteral("1"), QStringLiteral("2")}));
    EXPECT_FALSE(StoredInt32(QVariant(1.0)));
    EXPECT_FALSE(StoredString(QVariant(3)));
    EXPECT_FALSE(StoredString(QStringList{QStringLiteral("a"), QStringLiteral("b")}));
}

TEST(SettingValues, DoublesReadTheLeadingNumberAndAreWrittenExactly) {
    // Text without a number, older six-digit values and trailing units: see the hand-edit test.
    EXPECT_EQ(LeadingDouble(u""), 0.0);
    EXPECT_EQ(LeadingDouble(u"  2.5e3xyz"), 2500.0);
    EXPECT_EQ(LeadingDouble(u"+1.5"), 1.5);
    EXPECT_EQ(LeadingDouble(u"+-1"), 0.0);
    EXPECT_EQ(LeadingDouble(u"-.5"), -0.5);
    EXPECT_EQ(LeadingDouble(u"0,5"), 0.0); // a comma is no decimal point, whatever the locale
    // Values the graph cannot scale by leave the default in place.
    for (const char16_t* unusable : {u"inf", u"-infinity", u"nan", u"1e999"})
        EXPECT_FALSE(LeadingDouble(unusable));
    EXPECT_FALSE(StoredDouble(QVariant(2.5))); // stored as text only

    EXPECT_EQ(DoubleSettingText(1023.0), QStringLiteral("1023"));
    EXPECT_EQ(DoubleSettingText(0.025), QStringLiteral("0.025"));
    EXPECT_EQ(DoubleSettingText(1e-7), QStringLiteral("1e-07"));
    for (double value : {0.1 + 0.2, 1234567.0, 0.000432198, 5e-8, -1e-10, 1e300, 4.9e-324, -0.0, 1.0 / 3.0}) {
        const std::optional<double> back = LeadingDouble(DoubleSettingText(value));
        ASSERT_TRUE(back);
        EXPECT_TRUE(SameBits(*back, value)) << value;
    }
}

// The file keeps Qt's layout: what Qt's own reader and writer make of it is what ours make.
TEST(SettingsFile, TextsAndNumbersReadTheSameByQtAndByUs) {
    QRandomGenerator random(20261207);
    QSettings::SettingsMap values;
    for (int i = 0; i < 300; ++i) {
        const QString key = QStringLiteral("S%1/K%2").arg(i % 7).arg(i);
        if (i % 5 == 0)
            values.insert(key, random.bounded(-100000, 100000));
        else
            values.insert(key, RandomText(random));
    }
    values.insert(QStringLiteral("Initial/WindowPos"), QStringList{QStringLiteral("0"), QStringLiteral("1")});
    QTemporaryDir folder;
    const QString qtFile = folder.filePath(QStringLiteral("qt.conf"));
    {
        QSettings qt(qtFile, QSettings::IniFormat);
        for (auto it = values.cbegin(); it != values.cend(); ++it)
            qt.setValue(it.key(), it.value());
    }
    QFile written(qtFile);
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    const QSettings::SettingsMap ours = platform::ReadSettingsText(written.readAll());
    ASSERT_EQ(ours.keys(), values.keys());
    for (auto it = values.cbegin(); it != values.cend(); ++it)
        EXPECT_EQ(ours.value(it.key()), it.value().typeId() == QMetaType::QStringList
                                            ? it.value()
                                            : QVariant(it.value().toString()))
            << qPrintable(it.key());

    const QString ourFile = folder.filePath(QStringLiteral("ours.conf"));
    QFile file(ourFile);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(platform::WriteSettingsText(values));
    file.close();
    QSettings qt(ourFile, QSettings::IniFormat);
    ASSERT_EQ(qt.allKeys().size(), values.size());
    for (auto it = values.cbegin(); it != values.cend(); ++it)
        EXPECT_EQ(qt.value(it.key()).toString(), it.value().toString()) << qPrintable(it.key());
}

// A value of a kind that Qt's writer gives in a typed form ("@Rect(...)", "@ByteArray(...)",
// "@Variant(...)"), or a text it must quote or escape.
QVariant RandomTypedValue(QRandomGenerator& random) {
    const auto number = [&random] { return random.bounded(-5000, 5000); };
    switch (random.bounded(11)) {
    case 0:
        return QRect(number(), number(), number(), number());
    case 1:
        return QSize(number(), number());
    case 2:
        return QPoint(number(), number());
    case 3: {
        QByteArray bytes(1, '\0');
        for (int n = random.bounded(12); n > 0; --n)
            bytes += static_cast<char>(random.bounded(256));
        return bytes;
    }
    case 4:
        return QVariantList{number(), RandomText(random)};
    case 5:
        return QStringList{RandomText(random), RandomText(random)};
    case 6:
        return QDateTime::fromSecsSinceEpoch(random.bounded(2000000000), Qt::UTC);
    case 7:
        return random.generateDouble() * number();
    case 8:
        return QStringLiteral(" \"lead\", a; b \\ ") + RandomText(random);
    case 9:
        return number();
    default:
        return RandomText(random);
    }
}

// A key in the General section or another one, some with letters past ASCII.
QString RandomSettingsKey(QRandomGenerator& random, int index) {
    static const QStringList kSections{QString(), QStringLiteral("Other/"), QStringLiteral("Zeta Section/"),
                                       QString::fromUtf8("M\u00e4rz/")};
    static const QStringList kNames{QStringLiteral("Key"), QStringLiteral("Plain.Name-"),
                                    QString::fromUtf8("Schl\u00fcssel")};
    return kSections.at(random.bounded(kSections.size())) + kNames.at(random.bounded(kNames.size())) +
           QString::number(index);
}

// Qt decodes "@Variant(...)" as binary data, where these few bytes claim a list of 2^31 - 1
// texts (51 GB); the store reads such values as missing and the other "@" forms as their text.
TEST(SettingsFile, NoValueCostsMoreThanItsText) {
    const QSettings::SettingsMap values = platform::ReadSettingsText(
        "[Graph]\nLabelC0=@Variant(\\0\\0\\0\\v\\x7f\\xff\\xff\\xff)\nLabelC1=@DateTime(\\0\\0)\n"
        "LabelC2=@String(@Variant(x))\nLabelC3=@@Variant(x)\nLabelC4=@ByteArray(abc)\nLabelC5=@Invalid()\n"
        "LabelC6=@Variant(unended\nLabelC7=@Rect(1 2 3 4), @@x\n");
    EXPECT_FALSE(values.value(QStringLiteral("Graph/LabelC0")).isValid());
    EXPECT_FALSE(values.value(QStringLiteral("Graph/LabelC1")).isValid());
    EXPECT_EQ(values.value(QStringLiteral("Graph/LabelC2")), QStringLiteral("@Variant(x)"));
    EXPECT_EQ(values.value(QStringLiteral("Graph/LabelC3")), QStringLiteral("@Variant(x)"));
    EXPECT_EQ(values.value(QStringLiteral("Graph/LabelC4")), QStringLiteral("abc"));
    EXPECT_TRUE(values.contains(QStringLiteral("Graph/LabelC5")));
    EXPECT_FALSE(values.value(QStringLiteral("Graph/LabelC5")).isValid());
    EXPECT_EQ(values.value(QStringLiteral("Graph/LabelC6")), QStringLiteral("@Variant(unended"));
    EXPECT_FALSE(values.value(QStringLiteral("Graph/LabelC7")).isValid());
}

// Files written by Qt's own writer with typed and quoted values of keys the program does not
// read: a save that changes only the baud rate leaves every other line as it stood, byte for byte.
TEST(SettingsFile, ValuesNotSetInThisProcessAreWrittenBackAsTheyStood) {
    constexpr int kFiles = 300;
    QRandomGenerator random(20261209);
    QTemporaryDir folder;
    int changedFiles = 0;
    for (int round = 0; round < kFiles; ++round) {
        const QString qtFile = folder.filePath(QStringLiteral("qt%1.conf").arg(round));
        {
            QSettings qt(qtFile, QSettings::IniFormat);
            qt.setValue(QStringLiteral("Port/Baud"), QStringLiteral("4800"));
            for (int i = random.bounded(3, 12); i > 0; --i)
                qt.setValue(RandomSettingsKey(random, i), RandomTypedValue(random));
        }
        const QByteArray written = ReadFileBytes(qtFile);
        WriteSettingsFile(written);
        const auto store = platform::OpenSettingsStore();
        store->setValue(QStringLiteral("Port/Baud"), QStringLiteral("9600"));
        ASSERT_TRUE(store->sync());
        const QByteArray saved = ReadFileBytes(store->fileName());
        if (saved != QByteArray(written).replace("\nBaud=4800\n", "\nBaud=9600\n") && ++changedFiles == 1)
            ADD_FAILURE() << "Qt wrote:\n" << written.toStdString() << "saved:\n" << saved.toStdString();
    }
    EXPECT_EQ(changedFiles, 0) << "of " << kFiles << " files had another line changed";

    // Typed and quoted values written by hand, malformed ones among them.
    const QByteArray byHand =
        "[General]\nAt=@\nEmptyList=,\n\n[Other]\nContinued=a\\\nb\nEscapes=\\q\\x\\\"\nQuote=\"a\"b\"c\"\n"
        "Rect=@Rect(1 2\nSpaced=  two  blanks  \nTyped=@Point(1 2), @Size(3 4)\n"
        "Variant=@Variant(\\0\\0\\0\\x7f\n\n[Port]\nBaud=4800\n";
    WriteSettingsFile(byHand);
    const auto store = platform::OpenSettingsStore();
    store->setValue(QStringLiteral("Port/Baud"), QStringLiteral("9600"));
    ASSERT_TRUE(store->sync());
    EXPECT_EQ(ReadFileBytes(store->fileName()).toStdString(),
              QByteArray(byHand).replace("Baud=4800", "Baud=9600").toStdString());

    // A value that the end of the file cut inside its quotes or its escape would run on into the
    // lines after it: it is written as a value set here.
    for (const QByteArray& cut : {QByteArray("[A]\nK=\"open"), QByteArray("[A]\nK=open\\")}) {
        WriteSettingsFile(cut);
        const auto after = platform::OpenSettingsStore();
        after->setValue(QStringLiteral("B/Key"), QStringLiteral("1"));
        ASSERT_TRUE(after->sync());
        QSettings::SettingsMap expected = platform::ReadSettingsText(cut);
        expected.insert(QStringLiteral("B/Key"), QStringLiteral("1"));
        EXPECT_EQ(platform::ReadSettingsText(ReadFileBytes(after->fileName())), expected)
            << cut.toStdString();
    }
}

// A line split across the pieces the file is read in reads as it does whole.
TEST(SettingsFile, APieceAtATimeReadsAsTheWholeText) {
    QRandomGenerator random(20261208);
    QSettings::SettingsMap values;
    for (int i = 0; i < 200; ++i)
        values.insert(QStringLiteral("S%1/K%2").arg(i % 5).arg(i), RandomText(random));
    const QByteArray text = platform::WriteSettingsText(values) + "; a comment\\\n\r\nK=\"a\\\n;b\"\r\n\\";
    PieceByPieceDevice device(text, [] { return qint64{7}; });
    const platform::SettingsText read = platform::ReadSettingsFile(device);
    ASSERT_GT(device.reads, text.size() / 8) << "not read a few bytes at a time";
    EXPECT_EQ(read.values, platform::ReadSettingsText(text));
    EXPECT_TRUE(read.overlongKeys.isEmpty());
}

// A text that starts with UTF-8's byte-order mark (as some editors save it) reads as it does
// without, however the reads split the mark; elsewhere, or cut short, its bytes are text.
TEST(SettingsFile, AByteOrderMarkAtTheStartIsSkipped) {
    const QByteArray mark = "\xEF\xBB\xBF";
    const QByteArray text = "[Aux]\nEnabled0=1\n[Version]\nRegVersion=2\n";
    const QSettings::SettingsMap plain = platform::ReadSettingsText(text);
    EXPECT_EQ(platform::ReadSettingsText(mark + text), plain);
    for (const qint64 pieceBytes : {1, 2, 4}) {
        PieceByPieceDevice device(mark + text, [pieceBytes] { return pieceBytes; });
        EXPECT_EQ(platform::ReadSettingsFile(device).values, plain) << pieceBytes << "-byte reads";
    }
    EXPECT_TRUE(platform::ReadSettingsText("K=1\n" + mark + "L=2\n").contains(QString::fromUtf8(mark + "L")));
    for (qsizetype cut = 1; cut < mark.size(); ++cut) {
        const QByteArray start = mark.first(cut);
        EXPECT_EQ(platform::ReadSettingsText(start + "K=1\n").firstKey(), QString::fromUtf8(start + "K"));
        PieceByPieceDevice device(start, [] { return qint64{1}; });
        EXPECT_TRUE(platform::ReadSettingsFile(device).values.isEmpty()) << "a start without its key";
    }
}

// A read that fails part-way (a disk's read error) is told with its reason, and gives none of
// the values before it: they are not the file.
TEST(SettingsFile, AReadThatFailsPartWayGivesItsReasonAndNoValues) {
    const QByteArray text = "[Port]\nBaud=4800\nParity=2\n[Other]\nNote=kept\n";
    int reads = 0;
    PieceByPieceDevice device(text, [&reads] { return ++reads < 3 ? qint64{16} : qint64{-1}; });
    const platform::SettingsText read = platform::ReadSettingsFile(device);
    EXPECT_EQ(read.readFailure, QStringLiteral("Input/output error"));
    EXPECT_TRUE(read.values.isEmpty());
    EXPECT_TRUE(read.valueBytes.isEmpty());
}

// A value longer than the longest the file may hold reads as missing and is named; the line's end
// is found as for any other (quoted line breaks, escapes and ';' included), so the lines after it
// read as ever. A key that long is no key.
TEST(SettingsFile, OverlongValuesReadAsMissingAndTheLinesAfterThemAsEver) {
    const QByteArray longest(platform::kLongestSettingsValue, 'v');
    QByteArray text = "[A]\nLongest=" + longest + "\nQuoted=\"" + longest + "\nInside=x;\"\nAfterQuoted=1\n" +
                      "Escaped=" + longest + "\\\nInside=y\nAfterEscaped=2\n" + "Twice=short\nTwice=v" +
                      longest + ";comment\nAfterComment=3\n;" + longest + longest + "\n" + longest +
                      "k=v\nLast=4";
    QBuffer file(&text);
    file.open(QIODevice::ReadOnly);
    const platform::SettingsText read = platform::ReadSettingsFile(file);
    EXPECT_EQ(read.values.value(QStringLiteral("A/Longest")), QString::fromLatin1(longest));
    EXPECT_EQ(read.overlongKeys, (QStringList{QStringLiteral("A/Quoted"), QStringLiteral("A/Escaped"),
                                              QStringLiteral("A/Twice")}));
    for (const char* missing : {"A/Quoted", "A/Escaped", "A/Twice"})
        EXPECT_FALSE(read.values.contains(QLatin1String(missing))) << missing;
    EXPECT_EQ(read.values.value(QStringLiteral("A/AfterQuoted")), QStringLiteral("1"));
    EXPECT_EQ(read.values.value(QStringLiteral("A/AfterEscaped")), QStringLiteral("2"));
    EXPECT_EQ(read.values.value(QStringLiteral("A/AfterComment")), QStringLiteral("3"));
    EXPECT_EQ(read.values.value(QStringLiteral("A/Last")), QStringLiteral("4"));
    EXPECT_EQ(read.values.size(), 5);
}

// Every value the store holds is changed to another valid value of its kind, loaded, saved,
// the program restarted and loaded again: everything must come back exactly.
TEST_F(SettingsStoreTest, EverySettingSurvivesARestart) {
    const QMap<QString, QString> defaults = SavedSettings(CChildView());

    const QRegularExpression doubleKey(
        QStringLiteral("^Graph/(Max|Min|Offset|Magnification|FilterCoeff)C\\d$"));
    MemorySettingsTree changed;
    int index = 0;
    for (auto it = defaults.cbegin(); it != defaults.cend(); ++it, ++index) {
        const QString& key = it.key();
        if (key.startsWith(QStringLiteral("Version/")))
            continue;
        bool isNumber = false;
        const int number = it.value().toInt(&isNumber);
        if (doubleKey.match(key).hasMatch())
            changed.SetValue(key, DoubleSettingText(1.0 / 3.0 + index * 1e-3));
        else if (isNumber)
            changed.SetValue(key, number == 0 ? 1 : 0); // a valid change for ints, bools, bytes, colours
        else // texts that the store must quote or escape, in lower case as Map/ImageFileType loads
            changed.SetValue(key, QString::fromUtf8("a,b;c =\"d\" #@ \\ \u00b0c \u03c9 ") + key.toLower());
    }

    CChildView first;
    {
        ProcessSettings process;
        LoadViewSettings(changed, first, process);
        g_nReceiverType = process.receiverType;
        g_bUseBitmap = process.useBitmap;
        g_bBlitFromDisplay = process.blitFromDisplay;
    }
    const QMap<QString, QString> expected = SavedSettings(first);
    for (auto it = expected.cbegin(); it != expected.cend(); ++it) {
        if (!it.key().startsWith(QStringLiteral("Version/"))) {
            EXPECT_NE(it.value(), defaults.value(it.key())) << "not loaded: " << qPrintable(it.key());
        }
    }

    first.SaveSettings();
    RestartSettingsStore();
    ResetProcessSettings();
    CChildView second;
    second.LoadSettings();
    ExpectSameSettings(SavedSettings(second), expected);

    // Files written by earlier versions keep their sections.
    const QString file = ReadSettingsFile();
    for (const char* section :
         {"Version", "Receiver", "Upgrade", "Remote", "Fonts",     "SNTP", "FTP",     "Export",  "Graph",
          "Aux",     "Mode",     "Time",    "Timer",  "FastTimer", "Map",  "Dump",    "Profile", "Debug",
          "Status",  "User",     "Port",    "Port2",  "Log",       "Sat",  "TIScale", "HTML",    "Initial"})
        EXPECT_TRUE(file.contains(QStringLiteral("[%1]\n").arg(QLatin1String(section)))) << section;
}

// Settings that cannot be saved (their folder cannot be made) are reported once, with the file
// and why.
TEST_F(SettingsStoreTest, SettingsThatCannotBeSavedAreReportedOnce) {
    QTemporaryDir root;
    QFile blocker(root.filePath(QStringLiteral("blocker")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    platform::SetSettingsFolder(blocker.fileName() + QStringLiteral("/config"));
    const QString file = platform::OpenSettingsStore()->fileName();
    CvDlgBar bar;
    CChildView view;
    view.m_pDlgBar = &bar;
    view.SaveSettings();
    view.SaveSettings();
    const QString said = QStringLiteral("Unable to save the settings to %1: ").arg(file);
    EXPECT_EQ(bar.UserWindowText().count(said), 1) << qPrintable(bar.UserWindowText());
}

// On a nearly full disk the settings file is never replaced by a short one: a save and the exit's
// window placement leave every stored key, the failure is said once with its reason, and the
// next save once there is room writes everything.
TEST_F(SettingsStoreTest, ANearlyFullDiskKeepsEveryStoredKey) {
    SmallFileSystem disk(64 * 1024);
    if (!disk.Mounted())
        GTEST_SKIP() << disk.Reason();
    platform::SetSettingsFolder(disk.Path());
    const QString file = platform::OpenSettingsStore()->fileName();
    CvDlgBar bar;
    CChildView view;
    view.m_pDlgBar = &bar;
    view.SaveSettings();
    const QByteArray saved = ReadFileBytes(file);
    ASSERT_TRUE(saved.contains("ComPort="));

    view.m_strHtmlPath = QStringLiteral("/srv/") + QString(6000, QLatin1Char('h')) + QStringLiteral(".htm");
    ASSERT_TRUE(disk.LeaveFree(SmallFileSystem::kPage));
    view.SaveSettings();
    view.SaveSettings();
    view.SaveWindowPlacement(WindowPlacement{});
    EXPECT_EQ(ReadFileBytes(file), saved);
    EXPECT_EQ(QDir(disk.Path()).entryList(QDir::Files | QDir::Hidden, QDir::Name),
              (QStringList{QStringLiteral(".filler"), QFileInfo(file).fileName()})); // no temporary left
    const QString said =
        QStringLiteral("Unable to save the settings to %1: No space left on device").arg(file);
    EXPECT_EQ(bar.UserWindowText().count(said), 1) << qPrintable(bar.UserWindowText());

    // No room at all: not even the save's temporary file beside the settings can be made.
    ASSERT_TRUE(disk.LeaveFree(0));
    view.SaveSettings();
    EXPECT_EQ(ReadFileBytes(file), saved);
    EXPECT_EQ(bar.UserWindowText().count(QStringLiteral("Unable to save the settings")), 1)
        << qPrintable(bar.UserWindowText()); // the same reason, not said again

    disk.FreeAll();
    view.SaveSettings();
    const QSettings::SettingsMap written = platform::ReadSettingsText(ReadFileBytes(file));
    for (const QString& key : platform::ReadSettingsText(saved).keys())
        EXPECT_TRUE(written.contains(key)) << qPrintable(key);
    EXPECT_TRUE(ReadFileBytes(file).contains(view.m_strHtmlPath.toLatin1()));
}

TEST_F(SettingsStoreTest, EdgeValuesComeBackWhole) {
    const NtpTimestamp lastCorrected = 0xE8F1A2B39ABCDEF0ull; // seconds above 2^31, as from 2024 on
    {
        CChildView view;
        view.m_ntpLastCorrected = lastCorrected;
        view.m_crTrace[5] = RGB(1, 2, 250);
        view.m_bInitialised = true;
        view.SaveSettings();
    }
    RestartSettingsStore();
    CChildView view;
    view.LoadSettings();
    EXPECT_EQ(view.m_ntpLastCorrected.load(), lastCorrected);
    EXPECT_EQ(view.m_crTrace[5], RGB(1, 2, 250));
}

TEST_F(SettingsStoreTest, ValuesOfOlderVersionsAndHandEditsAreConverted) {
    WriteSettingsFile("[SNTP]\nLastCorrectedS=-387865933\nLastCorrectedF=-1698898192\n"
                      "[Port]\nParity=258\nStopBits=-1\n"
                      "[Graph]\nMaxC0=letters\nMinC0=1.23457e+06\nOffsetC0=5e-08 ns\nTraceColor2=16711680\n"
                      "[Map]\nImageFileType=JPG\n[Log]\nLogInterval=0\nStatusInterval=0\n");
    CChildView view;
    view.LoadSettings();
    EXPECT_EQ(view.m_ntpLastCorrected.load(), 0xE8E1A2B39ABCDEF0ull);
    EXPECT_EQ(view.m_byParity, 2);
    EXPECT_EQ(view.m_byStopBits, 255);
    EXPECT_EQ(view.m_dMax[0], 0.0);
    EXPECT_EQ(view.m_dMin[0], 1234570.0);
    EXPECT_EQ(view.m_dOffset[0], 5e-8);
    EXPECT_EQ(view.m_crTrace[2], RGB(0, 0, 255));
    EXPECT_EQ(view.m_strImageFileType, QStringLiteral("jpg"));
    // A stored interval of zero stays a switched-off duty.
    EXPECT_EQ(view.m_nLogInterval, 0);
    EXPECT_EQ(view.m_nStatusInterval, 0);
}

TEST_F(SettingsStoreTest, StoredValuesOutsideTheirRangeAreBroughtIntoIt) {
    WriteSettingsFile("[Fonts]\nSmallStatusHeight=99999999\n[Mode]\nStatus=99\n[Sat]\nTrail=-1\n"
                      "[Log]\nLogInterval=1\nStatusInterval=4294967295\nPeakSS=9\n"
                      "[Export]\nInterval=4294967295\n[Aux]\nEnabled3=-2\n"
                      "[Graph]\nPrecisionC3=-5\nFilterEnableC1=7\nMagnificationC0=0\nFilterCoeffC2=1\n"
                      "MaxC4=-1e300\nTraceProportionC0=71\n");
    CChildView view;
    view.LoadSettings();
    EXPECT_EQ(view.m_nSmallStatusHeight, 100);
    EXPECT_EQ(view.m_nViewMode, 0);
    EXPECT_EQ(view.m_nTrailMode, 1);
    EXPECT_EQ(view.m_nLogInterval, 3000);
    EXPECT_EQ(view.m_nStatusInterval, 5000000);
    EXPECT_EQ(view.m_nPeakSSTrace, 0);
    // The export interval's milliseconds are an unsigned 32-bit count: 4,294,967 s is the most.
    EXPECT_EQ(static_cast<std::uint32_t>(view.m_nExportInterval), 4294967000u);
    EXPECT_EQ(view.m_nAuxTrace[3], 0);
    EXPECT_EQ(view.m_nPrecision[3], 0);
    EXPECT_EQ(view.m_nFilterMode[1], 0);
    EXPECT_EQ(view.m_dMagnification[0], 1e-15);
    EXPECT_EQ(view.m_dFilterCoeff[2], 0.9999);
    EXPECT_EQ(view.m_dMax[4], -1e15);
    EXPECT_EQ(view.m_nTraceProportion[0], 70);
}

TEST_F(SettingsStoreTest, FirstRunKeepsEveryDefault) {
    const QMap<QString, QString> defaults = SavedSettings(CChildView());
    CChildView view;
    view.LoadSettings();
    ExpectSameSettings(SavedSettings(view), defaults);
    EXPECT_EQ(g_nReceiverType, -1);
    EXPECT_TRUE(view.m_bOldRegVersion);
    EXPECT_FALSE(view.m_bOldLogVersion); // no stored log version: the data log is kept
}

// A damaged or hand-edited settings file with a 50 MB text value: the setting reads as its
// default, which is said once; the value is never held in memory whole, nor saved back.
TEST_F(SettingsStoreTest, AHugeValueReadsAsItsDefaultIsSaidOnceAndIsNotSavedBack) {
    constexpr qint64 kHugeValue = 50 * 1024 * 1024;
    const QString path = platform::OpenSettingsStore()->fileName();
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(
            "[Version]\nRegVersion=2\nLogVersion=2\n[FTP]\nServerName=ftp.example.org\n[Upgrade]\nURL1=");
        const QByteArray piece(1024 * 1024, 'u');
        for (qint64 written = 0; written < kHugeValue; written += piece.size())
            ASSERT_EQ(file.write(piece), piece.size());
        file.write("\n[Log]\nMaxSize=77\n");
    }
    CMainFrame frame;
    CChildView& view = frame.m_wndView;
    const QString defaultUrl = view.m_strUrl1;
    const long peakBefore = PeakMemoryKb();
    view.Initialise();
    EXPECT_LT(PeakMemoryKb() - peakBefore, kHugeValue / 1024 / 5) << "kB more at the peak";
    EXPECT_TRUE(view.m_strUrl1 == defaultUrl) << view.m_strUrl1.size() << " characters";
    EXPECT_EQ(view.m_strFtpServer, QStringLiteral("ftp.example.org"));
    EXPECT_EQ(view.m_nLogMaxSize, 77);
    const QString said =
        QStringLiteral("Unable to read Upgrade/URL1 from %1: value longer than 65536 bytes, default used")
            .arg(path);
    EXPECT_EQ(frame.m_wndLinkStatus->text().toStdString(), said.toStdString());

    view.SaveSettings();
    platform::OpenSettingsStore()->setValue("Initial/WindowPos", "0,1,-1,-1,-1,-1,0,0,700,500");
    view.SaveSettings();
    EXPECT_LT(QFileInfo(path).size(), 64 * 1024);
    EXPECT_EQ(ReadSettingsFile().count(QStringLiteral("URL1=")), 1);
    EXPECT_EQ(frame.m_wndDlgBar.UserWindowText().count(said), 1)
        << qPrintable(frame.m_wndDlgBar.UserWindowText());

    RestartSettingsStore();
    CMainFrame restarted;
    restarted.m_wndView.Initialise();
    EXPECT_EQ(restarted.m_wndView.m_strFtpServer, QStringLiteral("ftp.example.org"));
    EXPECT_FALSE(restarted.m_wndDlgBar.UserWindowText().contains(QStringLiteral("Upgrade/URL1")));
}

TEST_F(SettingsStoreTest, AFileFullOfGarbageGivesTheDefaults) {
    const QMap<QString, QString> defaults = SavedSettings(CChildView());
    QByteArray garbage;
    QRandomGenerator random(20240601);
    for (int i = 0; i < 64 * 1024; ++i)
        garbage.append(static_cast<char>(random.bounded(256)));
    // Malformed values for keys of every kind, among the random bytes.
    garbage +=
        "\n[Receiver]\nType=\n[Remote]\nInterval=99999999999\n[Port]\nBaud=fast\nComPort=a,b\n"
        "Parity=1.5\n[Graph]\nMaxC0=inf\nMinC0=nan\nOffsetC0=1e999\nPlotC0=yes\nTraceColor0=0x00FF00\n"
        "LabelC0=@Variant(\\0\\0\\0\\v\\x7f\\xff\\xff\\xff)\nMagnificationC0=1,5\n"
        "PrecisionC0=@Variant(garbage\n"
        "[SNTP]\nLastCorrectedS=12e3\nEnabled=true\n[Mode]\nStatus=@Invalid()\n[Fonts]\nSmallStatusFace\n";
    for (int i = 0; i < 4 * 1024; ++i)
        garbage.append(static_cast<char>(random.bounded(256)));
    WriteSettingsFile(garbage);

    CChildView view;
    view.LoadSettings();
    ExpectSameSettings(SavedSettings(view), defaults);
    view.Initialise(); // and start-up copes with what it loaded
    EXPECT_TRUE(view.m_bInitialised);
}

TEST_F(SettingsStoreTest, DoublesDoNotDependOnTheNumberLocale) {
    const BuiltLocale german(QStringLiteral("de_DE"), LC_NUMERIC); // the decimal point a comma
    if (!german.Set())
        GTEST_SKIP() << german.Reason();
    ASSERT_STREQ(std::localeconv()->decimal_point, ",");
    {
        CChildView view;
        view.m_dFilterCoeff[3] = 0.0125;
        view.m_dMax[1] = 1.5e-9;
        view.m_bInitialised = true;
        view.SaveSettings();
    }
    RestartSettingsStore();
    const QString file = ReadSettingsFile();
    CChildView view;
    view.LoadSettings();
    EXPECT_TRUE(file.contains(QStringLiteral("FilterCoeffC3=0.0125\n"))) << qPrintable(file);
    EXPECT_EQ(view.m_dFilterCoeff[3], 0.0125);
    EXPECT_EQ(view.m_dMax[1], 1.5e-9);
}
