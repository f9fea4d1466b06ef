// The settings file as the program meets it at start and leaves it at exit: a path that names a
// FIFO, a device, a socket or a folder, a file saved with a byte-order mark, a file whose reading
// fails with a disk's read error, a file of a million keys that are not the program's, and a file
// that another copy of the program rewrites while this one runs.
#include "app/Globals.h"
#include "app/MainFrame.h"
#include "controls/DlgBar.h"
#include "platform/SettingsFileFormat.h"
#include "platform/SettingsStore.h"
#include "platform/TerminationSignals.h"
#include "platform/WallClock.h"
#include "support/FileBytes.h"
#include "support/HangWatchdog.h"
#include "support/NullDevice.h"
#include "support/OpenCounter.h"
#include "support/ProcessCounters.h"
#include "support/SettingsFiles.h"
#include "support/WithoutFileOverride.h"

#include <QBuffer>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <functional>
#include <gtest/gtest.h>
#include <optional>
#include <string>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>
#include <utility>

namespace {

constexpr int kStartWaitMs = 60000;

// What a path names, through links (the device's numbers for a device).
std::string Kind(const QString& path) {
    struct stat info {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return "nothing";
    if (S_ISCHR(info.st_mode))
        return "character device " + std::to_string(major(info.st_rdev)) + ',' +
               std::to_string(minor(info.st_rdev));
    return S_ISFIFO(info.st_mode)   ? "FIFO"
           : S_ISSOCK(info.st_mode) ? "socket"
           : S_ISDIR(info.st_mode)  ? "folder"
           : S_ISREG(info.st_mode)  ? "regular file"
                                    : "other";
}

bool MakeFifo(const QString& path) {
    return ::mkfifo(QFile::encodeName(path).constData(), 0600) == 0;
}

enum class Stand { Fifo, LinkToNullDevice, Folder, Socket };

// Puts the thing in place of the settings file at `path`; `folder` holds whatever else it needs.
bool MakeInPlace(Stand stand, const QString& path, const QString& folder) {
    const QByteArray name = QFile::encodeName(path);
    switch (stand) {
    case Stand::Fifo:
        return MakeFifo(path);
    case Stand::LinkToNullDevice: {
        const QString device = folder + QStringLiteral("/null");
        return MakeNullDevice(device) &&
               ::symlink(QFile::encodeName(device).constData(), name.constData()) == 0;
    }
    case Stand::Folder:
        return QDir().mkdir(path);
    case Stand::Socket: {
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        if (name.size() >= static_cast<qsizetype>(sizeof address.sun_path))
            return false;
        std::copy(name.begin(), name.end(), address.sun_path);
        const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        const bool bound = ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
        ::close(fd);
        return bound;
    }
    }
    return false;
}

class SettingsFileStandIn : public ::testing::TestWithParam<Stand> {
protected:
    SettingsFileStandIn() {
        UseFreshSettingsStore();
        g_nReceiverType = -1;
    }
    ~SettingsFileStandIn() override { g_nReceiverType = -1; }

    QTemporaryDir m_devices;
};

} // namespace

// Started with something that is no regular file in place of its settings file, the program starts
// on the defaults, says so once in the user window and on the status bar (saves included), ends on
// a termination signal, and leaves the thing as it was.
TEST_P(SettingsFileStandIn, TheProgramStartsOnTheDefaultsSaysSoOnceAndLeavesItAsItWas) {
    const HangWatchdog watchdog("the program started with a settings file that is no regular file");
    if (const std::string why = DeviceNodesRefused(); GetParam() == Stand::LinkToNullDevice && !why.empty())
        GTEST_SKIP() << why;
    const QString path = platform::OpenSettingsStore()->fileName();
    ASSERT_TRUE(MakeInPlace(GetParam(), path, m_devices.path())) << path.toStdString();
    const std::string kind = Kind(path);

    CMainFrame frame;
    CChildView& view = frame.m_wndView;
    const platform::TerminationSignals termination{[&frame] { frame.close(); }};
    ASSERT_TRUE(termination.installed());
    frame.show();
    ASSERT_TRUE(QTest::qWaitFor([&view] { return view.m_bInitialised; }, kStartWaitMs));
    EXPECT_TRUE(frame.isVisible());
    EXPECT_EQ(g_nReceiverType, RECEIVER_JACKSON) << "the defaults, as at a first run";
    const QString said = QStringLiteral("Unable to use the settings file %1: not a regular file, read as "
                                        "empty and never written")
                             .arg(path);
    EXPECT_EQ(frame.m_wndLinkStatus->text().toStdString(), said.toStdString());

    view.SaveSettings(); // as Options OK does
    EXPECT_EQ(Kind(path), kind);
    std::raise(SIGTERM);
    ASSERT_TRUE(QTest::qWaitFor([&frame] { return !frame.isVisible(); }, kStartWaitMs));
    EXPECT_FALSE(view.IsTimerActive(IDT_USER_COMMAND)) << "shut down in order";
    EXPECT_EQ(Kind(path), kind);
    if (GetParam() == Stand::LinkToNullDevice) {
        EXPECT_EQ(kind, "character device 1,3");
    }
    const QString userWindow = frame.m_wndDlgBar.UserWindowText();
    EXPECT_EQ(userWindow.count(said), 1) << qPrintable(userWindow);
    EXPECT_EQ(userWindow.count(path), 1) << qPrintable(userWindow);
}

INSTANTIATE_TEST_SUITE_P(EveryKind, SettingsFileStandIn,
                         ::testing::Values(Stand::Fifo, Stand::LinkToNullDevice, Stand::Folder,
                                           Stand::Socket),
                         [](const ::testing::TestParamInfo<Stand>& info) {
                             switch (info.param) {
                             case Stand::Fifo:
                                 return "Fifo";
                             case Stand::LinkToNullDevice:
                                 return "LinkToNullDevice";
                             case Stand::Folder:
                                 return "Folder";
                             case Stand::Socket:
                                 break;
                             }
                             return "Socket";
                         });

// Every other file the program reads at start named as a FIFO by a regular settings file: the
// receiver profile, the map's backdrop and track file, the graph's data log, the user-window and
// debug files. The program starts, draws both windows and leaves every FIFO as it was.
TEST(SettingsFilePaths, EveryFileReadAtStartMayBeAFifo) {
    const HangWatchdog watchdog("a file read at start named as a FIFO");
    QTemporaryDir folder;
    QMap<QString, QString> fifos;
    for (const char* key : {"Profile/Path", "Map/Path", "Dump/Path", "Log/Path", "User/Path", "Debug/Path"}) {
        const QString fifo = folder.filePath(QString::fromLatin1(key).section(QLatin1Char('/'), 0, 0));
        ASSERT_TRUE(MakeFifo(fifo));
        fifos.insert(QString::fromLatin1(key), fifo);
    }
    QByteArray text = "[Version]\nRegVersion=2\nLogVersion=2\n[Receiver]\nType=3\n[Map]\nBackdrop=1\n"
                      "[User]\nToFile=1\n[Debug]\nEnable=1\n[Mode]\nComsDebug=1\n";
    for (auto it = fifos.cbegin(); it != fifos.cend(); ++it)
        text += '[' + it.key().section(QLatin1Char('/'), 0, 0).toLatin1() + "]\nPath=" + it->toUtf8() + '\n';
    WriteSettingsFile(text);

    {
        CMainFrame frame;
        CChildView& view = frame.m_wndView;
        frame.show();
        ASSERT_TRUE(QTest::qWaitFor([&view] { return view.m_bInitialised; }, kStartWaitMs));
        EXPECT_EQ(view.m_strProfilePath, fifos.value(QStringLiteral("Profile/Path")));
        view.m_wndMap.m_bCacheValid = false;
        view.m_wndGraph.m_bCacheValid = false;
        EXPECT_FALSE(view.m_wndMap.grab().isNull());
        EXPECT_FALSE(view.m_wndGraph.grab().isNull());
        frame.close();
    }
    for (const QString& fifo : std::as_const(fifos))
        EXPECT_EQ(Kind(fifo), "FIFO") << fifo.toStdString();
}

namespace {

// How the operator starts the program: without the clock capability. Empty when that cannot be
// dropped here (no setpriv).
struct ProgramStart {
    QString program;
    QStringList arguments;
};
std::optional<ProgramStart> OrdinaryStart() {
    ProgramStart start{QStringLiteral(ORVANE_BINARY_DIR "/orvane"), {}};
    if (!platform::SystemWallClock().hasSetTimePrivilege())
        return start;
    const QString setpriv = QStandardPaths::findExecutable(QStringLiteral("setpriv"));
    if (setpriv.isEmpty())
        return std::nullopt;
    return ProgramStart{setpriv, {"--inh-caps=-sys_time", "--bounding-set=-sys_time", "--", start.program}};
}

// Runs the program with its home (and so its data folder) in `home` and its settings folder at
// `config`, the environment's other variables added: it comes to wait in its event loop (its
// start-up done), `whileRunning` runs, and it ends on SIGTERM with its ordinary exit.
void RunToAnOrdinaryExit(const ProgramStart& start, const QString& home, const QString& config,
                         const QProcessEnvironment& added = {},
                         const std::function<void()>& whileRunning = {}) {
    QProcess orvane;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("HOME"), home);
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), config);
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    environment.insert(added);
    orvane.setProcessEnvironment(environment);
    orvane.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    orvane.start(start.program, start.arguments);
    ASSERT_TRUE(orvane.waitForStarted(kStartWaitMs));

    // Waiting in poll(2) for a while, not at once: its zero-time start-up tick has run.
    const QString syscall = QStringLiteral("/proc/%1/syscall").arg(orvane.processId());
    const bool waits = QTest::qWaitFor(
        [&syscall] {
            const QList<QByteArray> fields = ReadFileBytes(syscall).trimmed().split(' ');
            constexpr int kPoll = 7; // x86-64
            return fields.size() > 3 && fields[0].toInt() == kPoll && fields[3] != "0x0";
        },
        kStartWaitMs);
    EXPECT_TRUE(waits) << "still in: " << ReadFileBytes(syscall).toStdString();
    if (waits && whileRunning)
        whileRunning();
    orvane.terminate();
    const bool ended = orvane.waitForFinished(kStartWaitMs);
    if (!ended) {
        orvane.kill();
        orvane.waitForFinished(kStartWaitMs);
    }
    EXPECT_TRUE(ended) << "SIGTERM was not acted on";
    EXPECT_EQ(orvane.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(orvane.exitCode(), 0);
}

// A home folder with a settings folder in it, as the program finds them.
class ProgramHome {
public:
    ProgramHome() { QDir().mkpath(Config()); }
    QString Home() const { return m_home.path(); }
    QString Config() const { return m_home.filePath(QStringLiteral("config")); }
    QString SettingsPath() const { return Config() + QStringLiteral("/orvane.conf"); }

private:
    QTemporaryDir m_home;
};

// How many of the values of `text` the saved file still holds, under their keys.
int KeptValues(const QByteArray& text, const QByteArray& saved) {
    const QSettings::SettingsMap values = platform::ReadSettingsText(text);
    const QSettings::SettingsMap kept = platform::ReadSettingsText(saved);
    int count = 0;
    for (auto it = values.cbegin(); it != values.cend(); ++it)
        count += kept.value(it.key()) == it.value() ? 1 : 0;
    return count;
}

// What preloads into the program the library that makes its reads of the file at `path` fail:
// the first or every one, from its `reading`th reading of the file on.
QProcessEnvironment ReadFault(const QString& path, const char* times, int reading = 1) {
    QProcessEnvironment fault;
    fault.insert(QStringLiteral("LD_PRELOAD"), QStringLiteral(ORVANE_READ_FAULT_SHIM));
    fault.insert(QStringLiteral("ORVANE_READ_FAULT_PATH"), path);
    fault.insert(QStringLiteral("ORVANE_READ_FAULT_TIMES"), QString::fromLatin1(times));
    fault.insert(QStringLiteral("ORVANE_READ_FAULT_READING"), QString::number(reading));
    // The runtime of a sanitizer build would rather come first.
    fault.insert(QStringLiteral("ASAN_OPTIONS"),
                 qEnvironmentVariable("ASAN_OPTIONS") + QStringLiteral(":verify_asan_link_order=0"));
    return fault;
}

// Replaces the file as an editor does, by a new one renamed over it.
void Rewrite(const QString& path, const QByteArray& bytes) {
    const QString written = path + QStringLiteral(".new");
    ASSERT_TRUE(WriteFileBytes(written, bytes));
    ASSERT_TRUE(QFile::remove(path) && QFile::rename(written, path));
}

// An operator's settings: the receiver, its port, the data log, an auxiliary channel and a note of
// the operator's own.
constexpr const char* kOperatorSettings =
    "[Version]\nLogVersion=2\nRegVersion=2\n[Receiver]\nType=3\n"
    "[Port]\nComPort=/nonexistent/ttyOperator\nBaud=19200\nParity=2\nStopBits=2\nDataBits=7\n"
    "[Log]\nMaxSize=5000\nLogInterval=60000\n[Aux]\nEnabled0=1\nRequestString0=:PTIM:TCOD?\n"
    "[Other]\nOperatorNote=kept by hand\n";

} // namespace

// The program itself, started with a FIFO as its settings file, comes to wait in its event loop
// (its start-up done) and ends on SIGTERM with its ordinary exit; the FIFO stays a FIFO.
TEST(SettingsFileStandInProgram, AFifoAsTheSettingsFileLetsTheProgramStartAndEnd) {
    const std::optional<ProgramStart> start = OrdinaryStart();
    if (!start)
        GTEST_SKIP() << "setpriv is needed to drop the clock capability";
    const ProgramHome home;
    ASSERT_TRUE(MakeFifo(home.SettingsPath()));
    RunToAnOrdinaryExit(*start, home.Home(), home.Config());
    EXPECT_EQ(Kind(home.SettingsPath()), "FIFO");
}

// A settings file saved by an editor that starts UTF-8 with a byte-order mark: the program reads
// its first section as ever (whichever it is), and its exit's save keeps the operator's values.
TEST(SettingsFileProgram, AByteOrderMarkIsSkipped) {
    const std::optional<ProgramStart> start = OrdinaryStart();
    if (!start)
        GTEST_SKIP() << "setpriv is needed to drop the clock capability";
    const QByteArray aux = "[Aux]\nEnabled0=1\nRequestString0=:PTIM:TCOD?\n";
    const QByteArray rest = "[Receiver]\nType=3\n[Port]\nComPort=/nonexistent/ttyOperator\nBaud=19200\n";
    const QByteArray version = "[Version]\nLogVersion=2\nRegVersion=2\n";
    for (const QByteArray& text : {aux + version + rest, version + aux + rest}) {
        const ProgramHome home;
        ASSERT_TRUE(WriteFileBytes(home.SettingsPath(), "\xEF\xBB\xBF" + text));
        RunToAnOrdinaryExit(*start, home.Home(), home.Config());
        const QByteArray saved = ReadFileBytes(home.SettingsPath());
        EXPECT_EQ(KeptValues(text, saved), platform::ReadSettingsText(text).size()) << text.toStdString();
        EXPECT_FALSE(saved.contains("[General]")) << "foreign keys in the General section";
    }
}

// A settings file whose reading fails with EIO (a bad sector, a dying USB stick), injected into the
// program's own reads (the first or every one): it runs on the defaults, and neither its saves nor
// its exit write over the file, not even once the operator rewrote it and it reads again.
TEST(SettingsFileProgram, AFileThatCannotBeReadWholeIsNeverWritten) {
    const std::optional<ProgramStart> start = OrdinaryStart();
    if (!start)
        GTEST_SKIP() << "setpriv is needed to drop the clock capability";
    const QByteArray operatorSettings = kOperatorSettings;
    const QByteArray rewritten = operatorSettings + "[Other]\nSecondNote=written while it ran\n";
    for (const auto& [times, rewrite] : {std::pair{"first", false}, {"first", true}, {"every", true}}) {
        const ProgramHome home;
        const QString path = home.SettingsPath();
        ASSERT_TRUE(WriteFileBytes(path, operatorSettings));
        RunToAnOrdinaryExit(*start, home.Home(), home.Config(), ReadFault(path, times), [&] {
            if (rewrite)
                Rewrite(path, rewritten);
        });
        const QByteArray expected = rewrite ? rewritten : operatorSettings;
        const QByteArray saved = ReadFileBytes(path);
        EXPECT_TRUE(saved == expected) << times << " read failing: " << KeptValues(expected, saved) << " of "
                                       << platform::ReadSettingsText(expected).size() << " values kept";
    }
}

// The operator rewrites the file while the program runs, and its reading again at the exit's save
// fails: the program says so once in its user-window file (in its data folder) and leaves the file
// as the operator wrote it.
TEST(SettingsFileProgram, AFailedReadAtTheExitsSaveIsSaidOnceInTheUserWindowFile) {
    const std::optional<ProgramStart> start = OrdinaryStart();
    if (!start)
        GTEST_SKIP() << "setpriv is needed to drop the clock capability";
    const ProgramHome home;
    const QString path = home.SettingsPath();
    const QByteArray operatorSettings = QByteArray(kOperatorSettings) + "[User]\nToFile=1\n";
    const QByteArray rewritten = operatorSettings + "[Other]\nSecondNote=written while it ran\n";
    ASSERT_TRUE(WriteFileBytes(path, operatorSettings));
    RunToAnOrdinaryExit(*start, home.Home(), home.Config(), ReadFault(path, "first", 2),
                        [&] { Rewrite(path, rewritten); });
    const QByteArray saved = ReadFileBytes(path);
    EXPECT_TRUE(saved == rewritten) << KeptValues(rewritten, saved) << " of "
                                    << platform::ReadSettingsText(rewritten).size() << " values kept";
    const QString userFile =
        QString::fromLatin1(ReadFileBytes(home.Home() + QStringLiteral("/Documents/Orvane/gpsuser.txt")));
    const QString said =
        QStringLiteral("Unable to read the settings file %1: Input/output error, its settings "
                       "not used and the file not written in this run")
            .arg(path);
    EXPECT_EQ(userFile.count(said), 1) << qPrintable(userFile);
}

// A settings file that the program in this process cannot read at start: the defaults are used and
// the failure is said once, with the system's reason, in the user window and on the status bar;
// once the operator's readable file is in its place, neither a save nor the exit writes over it.
class SettingsFileReadFailure : public ::testing::Test {
protected:
    void SetUp() override {
        UseFreshSettingsStore();
        g_nReceiverType = -1;
        m_path = platform::OpenSettingsStore()->fileName();
    }
    void TearDown() override { g_nReceiverType = -1; }

    // `makeReadable` puts the operator's file in place, once the start has read the unreadable one.
    void ExpectDefaultsSaidOnceAndTheFileKept(const QString& reason,
                                              const std::function<void(CChildView&)>& makeReadable) {
        CMainFrame frame;
        CChildView& view = frame.m_wndView;
        view.Initialise();
        EXPECT_EQ(g_nReceiverType, RECEIVER_JACKSON) << "the defaults";
        const QString said = QStringLiteral("Unable to read the settings file %1: %2, its settings not used "
                                            "and the file not written in this run")
                                 .arg(m_path, reason);
        EXPECT_EQ(frame.m_wndLinkStatus->text().toStdString(), said.toStdString());
        makeReadable(view);
        view.SaveSettings();
        frame.close(); // the exit's saves
        EXPECT_EQ(ReadFileBytes(m_path).toStdString(), kOperatorSettings);
        const QString userWindow = frame.m_wndDlgBar.UserWindowText();
        EXPECT_EQ(userWindow.count(said), 1) << qPrintable(userWindow);
        EXPECT_EQ(userWindow.count(m_path), 1) << qPrintable(userWindow);
    }

    QString m_path;
};

// The kernel's EIO from reading what a link names; a save meanwhile leaves the link as it was.
TEST_F(SettingsFileReadFailure, ItIsSaidOnceAndTheFileIsNeverWritten) {
    // Reading a process's memory from address 0, never mapped, fails with EIO.
    ASSERT_TRUE(QFile::link(QStringLiteral("/proc/self/mem"), m_path));
    ExpectDefaultsSaidOnceAndTheFileKept(QStringLiteral("Input/output error"), [&](CChildView& view) {
        view.SaveSettings();
        EXPECT_EQ(QFileInfo(m_path).symLinkTarget(), QStringLiteral("/proc/self/mem"));
        ASSERT_TRUE(QFile::remove(m_path) && WriteFileBytes(m_path, kOperatorSettings));
    });
}

// A file that the program may not open at start, made readable during the run.
TEST_F(SettingsFileReadFailure, AFileThatCouldNotBeOpenedAtStartIsNotWrittenOnceItCanBe) {
    ASSERT_TRUE(WriteFileBytes(m_path, kOperatorSettings));
    WithoutFileOverride asAUser;
    ASSERT_TRUE(QFile::setPermissions(m_path, {}));
    ExpectDefaultsSaidOnceAndTheFileKept(QStringLiteral("Permission denied"), [&](CChildView&) {
        ASSERT_TRUE(QFile::setPermissions(m_path, QFileDevice::ReadOwner | QFileDevice::WriteOwner));
    });
}

// A file of a million keys that are not the program's, with the program's own before and after
// them: read once at start in bounded memory, the program's keys as ever, the rest past the first
// ten thousand dropped and said once; nothing is read again at exit.
TEST(SettingsFileSize, AMillionForeignKeysAreReadOnceInBoundedMemory) {
    constexpr int kForeignKeys = 1000000;
    constexpr long kMemoryBoundKb = 100 * 1024;
    UseFreshSettingsStore();
    const QString path = platform::OpenSettingsStore()->fileName();
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        QByteArray block = "[FTP]\nServerName=ftp.example.org\n[Foreign]\n";
        char line[32];
        for (int i = 0; i < kForeignKeys; ++i) {
            block.append(line, std::snprintf(line, sizeof line, "K%07d=%06d\n", i, i));
            if (block.size() >= (1 << 20) || i + 1 == kForeignKeys) {
                ASSERT_EQ(file.write(block), block.size());
                block.clear();
            }
        }
        block = "[Initial]\nWindowPos=\"0,1,-1,-1,-1,-1,15,25,615,425\"\n[Port]\nBaud=4800\n"
                "[Receiver]\nType=3\n[Version]\nLogVersion=2\nRegVersion=2\n";
        ASSERT_EQ(file.write(block), block.size());
    }
    OpenCounter opens(path);

    const long peakBefore = PeakMemoryKb();
    CMainFrame frame;
    CChildView& view = frame.m_wndView;
    view.Initialise();
    EXPECT_LT(PeakMemoryKb() - peakBefore, kMemoryBoundKb) << "kB more at the peak";
    EXPECT_EQ(view.m_strFtpServer, QStringLiteral("ftp.example.org"));
    EXPECT_EQ(view.m_nBaud, 4800);
    EXPECT_FALSE(view.m_bOldRegVersion);
    EXPECT_EQ(frame.geometry(), QRect(15, 25, 600, 400));
    const QString said = QStringLiteral("Unable to read every setting of %1: more than 10000 keys or 4 MiB "
                                        "of settings that are not the program's, the 990000 values past "
                                        "them are not read nor saved back")
                             .arg(path);
    EXPECT_EQ(frame.m_wndLinkStatus->text().toStdString(), said.toStdString());

    view.SaveSettings();
    frame.close(); // the exit's saves
    EXPECT_EQ(opens.Opens(), 1) << "the file read once";
    EXPECT_EQ(frame.m_wndDlgBar.UserWindowText().count(said), 1);
    const QByteArray kept = ReadFileBytes(path);
    EXPECT_TRUE(kept.contains("\nK0009999=009999\n"));
    EXPECT_FALSE(kept.contains("\nK0010000="));
    EXPECT_TRUE(kept.contains("\nBaud=4800\n"));

    RestartSettingsStore();
    CMainFrame restarted;
    restarted.m_wndView.Initialise();
    EXPECT_EQ(restarted.m_wndView.m_nBaud, 4800);
    EXPECT_FALSE(restarted.m_wndDlgBar.UserWindowText().contains(QStringLiteral("Unable")));
    g_nReceiverType = -1;
}

// A few foreign keys of long values pass the bound on their bytes well before the bound on their
// number: what is said names the bound that dropped them.
TEST(SettingsFileSize, ForeignValuesPastTheByteBoundAreSaidAsSuch) {
    constexpr int kForeignKeys = 80;
    const QByteArray longValue(60 * 1024, 'v');
    QByteArray text = "[Receiver]\nType=3\n[Version]\nLogVersion=2\nRegVersion=2\n[Foreign]\n";
    for (int i = 0; i < kForeignKeys; ++i)
        text += 'K' + QByteArray::number(i) + '=' + longValue + '\n';
    WriteSettingsFile(text + "[Port]\nBaud=4800\n");
    CMainFrame frame;
    frame.m_wndView.Initialise();
    EXPECT_EQ(frame.m_wndView.m_nBaud, 4800);
    const QString said = QStringLiteral("Unable to read every setting of %1: more than 10000 keys or 4 MiB "
                                        "of settings that are not the program's, the 12 values past them "
                                        "are not read nor saved back")
                             .arg(platform::OpenSettingsStore()->fileName());
    EXPECT_EQ(frame.m_wndLinkStatus->text().toStdString(), said.toStdString());
    g_nReceiverType = -1;
}

// Past the bound on other keys, the program's own are still kept however the file writes them
// (escaped section and key names, a key in the General section with its section in it), and a
// kept key takes its later values.
TEST(SettingsFileSize, TheProgramsKeysAreKeptHoweverTheyAreWritten) {
    QByteArray text = "[Foreign]\n";
    for (qsizetype i = 0; i <= platform::kForeignSettingsKept; ++i)
        text += 'F' + QByteArray::number(i) + "=1\n";
    text += "[Port]\nBaud=4800\n%44ataBits=7\n[%50ort]\nParity=2\n[General]\nPort\\StopBits=1\n"
            "[Other]\nK=1\n[Oth%65r]\nK2=1\n[Foreign]\nF0=2\n";
    QBuffer device(&text);
    ASSERT_TRUE(device.open(QIODevice::ReadOnly));
    const platform::SettingsText read = platform::ReadSettingsFile(device, &platform::ProgramSettingsKeys());
    EXPECT_EQ(read.values.value(QStringLiteral("Port/Baud")), QStringLiteral("4800"));
    EXPECT_EQ(read.values.value(QStringLiteral("Port/DataBits")), QStringLiteral("7"));
    EXPECT_EQ(read.values.value(QStringLiteral("Port/Parity")), QStringLiteral("2"));
    EXPECT_EQ(read.values.value(QStringLiteral("Port/StopBits")), QStringLiteral("1"));
    EXPECT_EQ(read.values.value(QStringLiteral("Foreign/F0")), QStringLiteral("2"));
    EXPECT_TRUE(read.values.contains(QStringLiteral("Foreign/F%1").arg(platform::kForeignSettingsKept - 1)));
    EXPECT_EQ(read.values.size(), platform::kForeignSettingsKept + 4);
    EXPECT_EQ(read.droppedValues, 3); // F10000, Other/K and Other/K2
}

// Another copy of the program (or the operator) rewrites the file while this one runs: the next
// store sees its values, and a save of this copy keeps what it does not write itself.
TEST(SettingsFileSharing, AFileRewrittenMeanwhileIsReadAgainAndKeptBySaves) {
    WriteSettingsFile("[Version]\nLogVersion=2\nRegVersion=2\n[Port]\nBaud=4800\n[Other]\nKept=1\n");
    const QString path = platform::OpenSettingsStore()->fileName();
    CChildView view;
    view.LoadSettings();
    ASSERT_EQ(view.m_nBaud, 4800);

    const QString rewritten = path + QStringLiteral(".other");
    ASSERT_TRUE(WriteFileBytes(rewritten, "[Port]\nBaud=9600\n[Other]\nAdded=2\nKept=1\n"));
    ASSERT_TRUE(QFile::remove(path) && QFile::rename(rewritten, path));
    EXPECT_EQ(platform::OpenSettingsStore()->value(QStringLiteral("Other/Added")).toString(), "2");

    view.m_nBaud = 19200;
    view.SaveSettings();
    const QString saved = QString::fromLatin1(ReadFileBytes(path));
    EXPECT_TRUE(saved.contains(QStringLiteral("[Other]\nAdded=2\nKept=1\n"))) << qPrintable(saved);
    EXPECT_TRUE(saved.contains(QStringLiteral("\nBaud=19200\n"))) << qPrintable(saved);
}

// Removing a key takes the keys under it too, also past keys that sort between them ("-" and "."
// come before "/").
TEST(SettingsFileSharing, RemovingAKeyTakesEveryKeyUnderIt) {
    UseFreshSettingsStore();
    const auto store = platform::OpenSettingsStore();
    for (const char* key : {"Initial/WindowPos", "Initial/WindowPos-2", "Initial/WindowPos/Old"})
        store->setValue(QString::fromLatin1(key), 1);
    store->remove(QStringLiteral("Initial/WindowPos"));
    EXPECT_FALSE(store->contains(QStringLiteral("Initial/WindowPos")));
    EXPECT_FALSE(store->contains(QStringLiteral("Initial/WindowPos/Old")));
    EXPECT_TRUE(store->contains(QStringLiteral("Initial/WindowPos-2")));
}
