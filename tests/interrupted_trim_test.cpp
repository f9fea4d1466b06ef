// A trim in place killed part-way, through the running program: the program polls the simulated
// receiver with its data log (or track file) at its limit on a small full disk, so that its first
// line trims in place, and is killed at a chosen call of that rewrite (support/KillShim.c). Started
// again without the shim, it must keep every line and record of the kept part and come back under
// its limit. Also the move's syncs on a disk that fails them or is slow, and a move's record that
// cannot be updated, or read after a kill.
#include "platform/TrimCutPoint.h"
#include "platform/WallClock.h"
#include "publishing/DataLogFormat.h"
#include "receiver/SatelliteTrackFile.h"
#include "support/FileBytes.h"
#include "support/SmallFileSystem.h"
#include "support/WaitBounds.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <ostream>
#include <set>
#include <utility>

namespace {

constexpr int kOldTimeBase = 100000000; // nine digits: 1973, before the program's own lines
constexpr qint64 kKilobyte = 1024;
constexpr qint64 kMegabyte = 1024 * kKilobyte;
constexpr int kPerMille = 1000;
constexpr int kLastCalls = 3;
// A slow disk (an SD card): every sync 20 ms. A trim in place of a limit of 1 MB or less, or the
// finish of one, holds the program at most a fifth of a second there, half of it left for the writes.
constexpr int kSlowSyncMs = 20;
constexpr int kMostHeldMs = 200;
constexpr qsizetype kMostSmallTrimSyncs = kMostHeldMs / kSlowSyncMs / 2;

QByteArray OldLine(int i) {
    return QByteArray::number(kOldTimeBase + i) + "\t2.4979\t-3.217E-09\t\t\t\t\t\t\t\r\n";
}

// The program itself, started on a home folder of the test's own, with a settings file the test
// writes.
class ProgramRun {
public:
    ProgramRun(const QString& home, const QProcessEnvironment& extra) {
        QString program = QStringLiteral(ORVANE_BINARY_DIR "/orvane");
        QStringList arguments;
        if (platform::SystemWallClock().hasSetTimePrivilege()) {
            arguments = {"--inh-caps=-sys_time", "--bounding-set=-sys_time", "--", program};
            program = QStandardPaths::findExecutable(QStringLiteral("setpriv"));
        }
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("HOME"), home);
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), home + QStringLiteral("/config"));
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        // A sanitizer build's runtime comes after a preloaded shim; it works all the same.
        const QString asan = environment.value(QStringLiteral("ASAN_OPTIONS"));
        environment.insert(QStringLiteral("ASAN_OPTIONS"),
                           (asan.isEmpty() ? asan : asan + ':') + QStringLiteral("verify_asan_link_order=0"));
        for (const QString& key : extra.keys())
            environment.insert(key, extra.value(key));
        m_process.setProcessEnvironment(environment);
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start(program, arguments);
    }
    ~ProgramRun() { End(); }
    ProgramRun(const ProgramRun&) = delete;
    ProgramRun& operator=(const ProgramRun&) = delete;

    bool Started() { return m_process.waitForStarted(kBusyMachineWaitMs); }
    // Until the shim killed it, or `past` holds: whether it was killed.
    bool KilledBySignal(const std::function<bool()>& past) {
        const bool ended = QTest::qWaitFor(
            [&] { return m_process.state() == QProcess::NotRunning || past(); }, kBusyMachineWaitMs);
        return ended && m_process.state() == QProcess::NotRunning &&
               m_process.exitStatus() == QProcess::CrashExit;
    }
    // Killed by its process id, as a power cut would end it.
    void End() {
        if (m_process.state() == QProcess::NotRunning)
            return;
        m_process.kill();
        m_process.waitForFinished(kBusyMachineWaitMs);
    }

private:
    QProcess m_process;
};

// The simulated receiver on a link of its own.
class Receiver {
public:
    explicit Receiver(const QString& link) {
        m_process.start(QStringLiteral(ORVANE_BINARY_DIR "/simulator/orvane-sim"),
                        {"--family", "jackson", "--link", link});
    }
    ~Receiver() {
        m_process.terminate();
        if (!m_process.waitForFinished(kBusyMachineWaitMs))
            m_process.kill();
    }
    // It prints the link once it serves.
    bool Serving() {
        return m_process.waitForStarted(kBusyMachineWaitMs) && m_process.waitForReadyRead(kBusyMachineWaitMs);
    }

private:
    QProcess m_process;
};

// Which file is trimmed, and how its content is told apart.
struct CappedKind {
    bool track = false;
    int limitKb = 0;
};

// A data log or track file at its limit on a small full disk, the program set to write it, and
// what its trim keeps.
class InterruptedTrimTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!m_disk.Mounted())
            GTEST_SKIP() << m_disk.Reason();
        if (!m_disk.KeepsUserAttributes())
            GTEST_SKIP() << "the small file system keeps no extended attributes: a trim in place is not "
                            "crash-safe there";
        if (platform::SystemWallClock().hasSetTimePrivilege() &&
            QStandardPaths::findExecutable(QStringLiteral("setpriv")).isEmpty())
            GTEST_SKIP() << "setpriv is needed to drop the clock capability";
        ASSERT_TRUE(QDir().mkpath(m_home.filePath(QStringLiteral("config"))));
    }

    // The file made anew: whole numbered lines (records) just past the rule's trigger; the disk
    // then left without a free byte. The kept part is what the rule keeps of it.
    // `pastTrigger`: the file has grown that far past its trigger (its trims failed meanwhile).
    void MakeFullFile(const CappedKind& kind, qint64 pastTrigger = 0) {
        m_kind = kind;
        m_rule = kind.track ? TrackTrimRule(kind.limitKb) : LogTrimRule(kind.limitKb);
        m_path = m_disk.FilePath(kind.track ? QStringLiteral("gpsdmp.bin") : QStringLiteral("gpslog.log"));
        m_disk.FreeAll();
        QFile::remove(m_path); // a new file: a record left on the old one goes with it
        QByteArray content;
        for (int i = 0; content.size() <= m_rule.triggerBytes + pastTrigger; ++i)
            content += kind.track ? OldRecord(i) : OldLine(i);
        ASSERT_TRUE(WriteFileBytes(m_path, content));
        ASSERT_TRUE(m_disk.LeaveFree(0));
        m_canonical = QFileInfo(m_path).canonicalFilePath();
        QFile file(m_path);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const platform::CutPoint cut = platform::FindCutPoint(file.handle(), content.size(), m_rule);
        ASSERT_TRUE(cut.offset);
        m_length = content.size();
        m_cut = *cut.offset;
        m_kept = Numbers(content.mid(*cut.offset));
        ASSERT_GT(m_kept.size(), 10u);
    }

    static QByteArray OldRecord(int i) {
        CSatInfo sat;
        sat.m_byPrnLow = static_cast<std::uint8_t>(i % 32 + 1);
        sat.m_dwTime = static_cast<std::uint32_t>(kOldTimeBase + i);
        const SatRecordBytes bytes = SerialiseSatInfo(sat);
        return QByteArray(reinterpret_cast<const char*>(bytes.data()), kSatRecordBytes);
    }

    // The numbers of the old lines (records) in `bytes`; a line that is neither an old line whole
    // nor one of the program's own is a failure.
    std::multiset<int> Numbers(const QByteArray& bytes) {
        std::multiset<int> numbers;
        if (m_kind.track) {
            for (const CSatInfo& sat : DecodeTrackRecords(bytes))
                if (sat.m_dwTime < static_cast<std::uint32_t>(2 * kOldTimeBase))
                    numbers.insert(static_cast<int>(sat.m_dwTime) - kOldTimeBase);
            return numbers;
        }
        for (const QByteArray& line : bytes.split('\n')) {
            const int number = line.left(line.indexOf('\t')).toInt() - kOldTimeBase;
            if (line.isEmpty())
                continue;
            if (number >= 0 && number < kOldTimeBase && line + '\n' == OldLine(number))
                numbers.insert(number);
            else
                EXPECT_TRUE(line.size() > 10 && line.at(10) == '\t')
                    << "not a whole line: " << line.constData();
        }
        return numbers;
    }

    // The lines (records) that the program wrote to the file: their time is of this century.
    static qsizetype OwnEntries(const QString& path) {
        static const QRegularExpression own(QStringLiteral("(^|\\n)\\d{10}\\t"));
        const QByteArray bytes = ReadFileBytes(path);
        if (!path.endsWith(QStringLiteral(".bin"))) {
            qsizetype lines = 0;
            for (auto match = own.globalMatch(QString::fromLatin1(bytes)); match.hasNext(); match.next())
                ++lines;
            return lines;
        }
        const std::vector<CSatInfo> records = DecodeTrackRecords(bytes);
        return std::count_if(records.begin(), records.end(), [](const CSatInfo& sat) {
            return sat.m_dwTime >= static_cast<std::uint32_t>(2 * kOldTimeBase);
        });
    }
    static bool HasOwnEntry(const QString& path) { return OwnEntries(path) > 0; }

    // The settings of a run: polling the receiver on `link` at start, the data log written at
    // every status step; the file under test on the small disk, the other beside the settings with
    // the user-window file.
    void WriteSettings(const QString& link) {
        const QString log = m_kind.track ? m_home.filePath(QStringLiteral("gpslog.log")) : m_path;
        const QString track = m_kind.track ? m_path : m_home.filePath(QStringLiteral("gpsdmp.bin"));
        const QByteArray text =
            "[Version]\nRegVersion=2\nLogVersion=2\n[Receiver]\nType=3\n[Initial]\nWasRunning=1\n"
            "[Port]\nComPort=" +
            link.toUtf8() + "\n[Log]\nPath=" + log.toUtf8() +
            "\nMaxSize=" + QByteArray::number(m_kind.track ? 0 : m_kind.limitKb) +
            "\nLogInterval=1\n[Dump]\nPath=" + track.toUtf8() +
            "\n[Sat]\nMaxFileSize=" + QByteArray::number(m_kind.track ? m_kind.limitKb : 0) +
            "\n[User]\nToFile=1\nPath=" + UserFile().toUtf8() + "\n";
        ASSERT_TRUE(WriteFileBytes(m_home.filePath(QStringLiteral("config/orvane.conf")), text));
    }

    // The user-window file, where the failures are said; beside the settings.
    QString UserFile() const { return m_home.filePath(QStringLiteral("gpsuser.txt")); }
    // How often the user-window file says that a trim's syncs of the file failed.
    qsizetype SyncFailuresSaid() const {
        return ReadFileBytes(UserFile())
            .count("Unable to sync the trim of " + m_path.toUtf8() + " to the disk: ");
    }

    // `callError`: the call numbered `at` (a sync, a write or a pwrite) fails with it rather than
    // the program being killed.
    QProcessEnvironment Shim(const QString& report, qint64 at = 0, int split = 0, int callError = 0) const {
        QProcessEnvironment shim;
        shim.insert(QStringLiteral("LD_PRELOAD"), QStringLiteral(ORVANE_KILL_SHIM));
        shim.insert(QStringLiteral("ORVANE_KILL_SHIM_PATH"), m_canonical);
        shim.insert(QStringLiteral("ORVANE_KILL_SHIM_REPORT"), report);
        if (at > 0)
            shim.insert(QStringLiteral("ORVANE_KILL_SHIM_AT"), QString::number(at));
        shim.insert(QStringLiteral("ORVANE_KILL_SHIM_SPLIT"), QString::number(split));
        if (callError != 0)
            shim.insert(QStringLiteral("ORVANE_KILL_SHIM_CALL_ERROR"), QString::number(callError));
        return shim;
    }

    // The shim's settings `shim`, on a file system with room for one record of a move and not for
    // its replacement.
    static QProcessEnvironment WithRoomForOneRecord(QProcessEnvironment shim) {
        shim.insert(QStringLiteral("ORVANE_KILL_SHIM_SET_ERROR"), QString::number(ENOSPC));
        shim.insert(QStringLiteral("ORVANE_KILL_SHIM_ROOM_FOR_ONE"), QStringLiteral("1"));
        return shim;
    }

    enum class Until {
        Killed,     // the shim kills it, or its first line (record) is in the file without that
        Written,    // its first line (record) is in the file
        Started,    // as Written for a data log; for a track file, the data log beside it has its first
                    // line (the start is over; a snapshot comes only 10 s into a run)
        UnderLimit, // its first line (record) is in the file, and the file is under its limit
        Said,       // its second line (record) is in the file: what the first's append said is said
    };

    // Runs the program with `environment` until the point named; the calls on the file that the
    // shim reported.
    QList<QByteArray> Run(const QProcessEnvironment& environment, Until until) {
        const QString link = m_home.filePath(QStringLiteral("receiver-%1").arg(++m_runs));
        const QString report = environment.value(QStringLiteral("ORVANE_KILL_SHIM_REPORT"));
        const QString log = m_home.filePath(QStringLiteral("gpslog.log")); // beside a track file
        if (!report.isEmpty())
            QFile::remove(report);
        QFile::remove(log);
        QFile::remove(UserFile());
        WriteSettings(link);
        Receiver receiver(link);
        EXPECT_TRUE(receiver.Serving());
        ProgramRun program(m_home.path(), environment);
        EXPECT_TRUE(program.Started());
        const QString written = m_kind.track && until == Until::Started ? log : m_path;
        const qsizetype entries = until == Until::Said ? 2 : 1;
        if (until == Until::Killed)
            m_killed = program.KilledBySignal([&] { return HasOwnEntry(m_path); });
        else if (until == Until::UnderLimit)
            EXPECT_TRUE(QTest::qWaitFor(
                [&] { return HasOwnEntry(m_path) && QFileInfo(m_path).size() <= m_rule.triggerBytes; },
                kBusyMachineWaitMs));
        else
            EXPECT_TRUE(QTest::qWaitFor([&] { return OwnEntries(written) >= entries; }, kBusyMachineWaitMs));
        program.End();
        return report.isEmpty() ? QList<QByteArray>() : ReadFileBytes(report).split('\n');
    }

    // Every line (record) of the kept part is in the file, and the file is back under its limit.
    void ExpectKeptAndUnderLimit() {
        const QByteArray bytes = ReadFileBytes(m_path);
        EXPECT_LE(bytes.size(), m_rule.triggerBytes);
        const std::multiset<int> numbers = Numbers(bytes);
        int lost = 0;
        int twice = 0;
        for (const int number : m_kept) {
            lost += numbers.count(number) == 0 ? 1 : 0;
            twice += numbers.count(number) > 1 ? 1 : 0;
        }
        EXPECT_EQ(lost, 0) << "of " << m_kept.size() << " kept, " << twice << " there twice";
        EXPECT_EQ(twice, 0);
    }

    SmallFileSystem m_disk{4 * kMegabyte};
    QTemporaryDir m_home;
    CappedKind m_kind;
    platform::TrimRule m_rule;
    QString m_path;
    QString m_canonical;
    std::multiset<int> m_kept;
    qint64 m_length = 0; // of the file made, and where its trim cuts
    qint64 m_cut = 0;
    int m_runs = 0;
    bool m_killed = false; // by the shim, in the last run that asked for it
};

// The calls that the trim before the first line (snapshot) makes, as a run without a kill counts
// them: those before its append (write; the move writes with pwrite).
qint64 CallsOfTheTrim(const QList<QByteArray>& calls) {
    return calls.indexOf("write");
}

// The syncs among the calls, failed ones too.
qsizetype Syncs(const QList<QByteArray>& calls) {
    return std::count_if(calls.begin(), calls.end(), [](const QByteArray& call) {
        return call.startsWith("fsync") || call.startsWith("fdatasync");
    });
}

struct KillCase {
    CappedKind kind;
    int kills;
    quint32 seed;
    bool roomForOneRecord = false; // and not for its replacement
    int pastKb = 0;                // the file grown that far past its trigger (its trims failed)
};

void PrintTo(const KillCase& kill, std::ostream* out) {
    *out << kill.kind.limitKb << " kB, " << kill.pastKb << " kB past, " << kill.kills << " kills, seed "
         << kill.seed << (kill.roomForOneRecord ? ", room for one record" : "");
}

// Whether the call numbered `at` (from 1) is one not to kill at: one the file system refuses
// (the shim fails it), or one that writes a record anew right after its removal: a kill there,
// the one instant the file holds no record, is as one without a record (README).
bool NoKillAt(const QList<QByteArray>& calls, qint64 at) {
    return calls.value(at - 1) == "fsetxattr failed" ||
           (at >= 2 && calls.value(at - 1) == "fsetxattr" && calls.value(at - 2) == "fremovexattr");
}

std::string KillCaseName(const ::testing::TestParamInfo<KillCase>& info) {
    return std::to_string(info.param.kind.limitKb) + "kB_seed" + std::to_string(info.param.seed);
}

class KilledTrim : public InterruptedTrimTest, public ::testing::WithParamInterface<KillCase> {};

} // namespace

// Killed at a random call of the trim in place (a write cut short at a random byte, a record's
// update, the sync, the cut), then started again: every kept line or record is still there and the
// file is under its limit.
TEST_P(KilledTrim, RestartKeepsEveryKeptLineAndComesBackUnderTheLimit) {
    const KillCase kill = GetParam();
    QRandomGenerator random(kill.seed);
    const QString report = m_home.filePath(QStringLiteral("calls"));
    // The file system's own refusals hold in every run, the restart's too.
    const auto disk = [&](const QProcessEnvironment& shim) {
        return kill.roomForOneRecord ? WithRoomForOneRecord(shim) : shim;
    };
    MakeFullFile(kill.kind, kill.pastKb * kKilobyte);
    const QList<QByteArray> counted = Run(disk(Shim(report)), Until::Written);
    const qint64 calls = CallsOfTheTrim(counted);
    ASSERT_GT(calls, 0);
    ExpectKeptAndUnderLimit();
    if (kill.roomForOneRecord) {
        ASSERT_TRUE(counted.contains("fsetxattr failed")) << counted.join(' ').constData();
    }
    for (int i = 0; i < kill.kills; ++i) {
        // A run of several kills has its last at one of the trim's last calls: the last sync, the
        // cut, the record's removal.
        const bool last = kill.kills > 1 && i + 1 == kill.kills;
        qint64 at = 0;
        do
            at = last ? calls - random.bounded(kLastCalls) : random.bounded(calls) + 1;
        while (NoKillAt(counted, at));
        const int split = random.bounded(kPerMille);
        SCOPED_TRACE(testing::Message() << "seed " << kill.seed << ", kill " << i << " at call " << at
                                        << " of " << calls << ", a write cut at " << split << "/1000");
        MakeFullFile(kill.kind, kill.pastKb * kKilobyte);
        Run(disk(Shim(report, at, split)), Until::Killed);
        EXPECT_TRUE(m_killed) << "the shim's call never came";
        Run(kill.roomForOneRecord ? disk(Shim(report)) : QProcessEnvironment(), Until::Started);
        ExpectKeptAndUnderLimit();
    }
}

// Eight runs of three kills each, side by side: small cuts whose record is synced (16 kB), many
// small cuts recorded without syncs (64 kB), cuts of 1/64 of a large limit (2 MB).
INSTANTIATE_TEST_SUITE_P(DataLog, KilledTrim,
                         ::testing::Values(KillCase{{false, 16}, 3, 1101}, KillCase{{false, 16}, 3, 1102},
                                           KillCase{{false, 16}, 3, 1103}, KillCase{{false, 64}, 3, 1104},
                                           KillCase{{false, 64}, 3, 1105}, KillCase{{false, 64}, 3, 1106},
                                           KillCase{{false, 2048}, 3, 1107},
                                           KillCase{{false, 2048}, 3, 1108}),
                         KillCaseName);
// On a file system with room for one record and not for its replacement: small cuts (16 kB,
// 64 kB), and a large limit's log grown far past it (a cut of 132 kB, its record synced).
INSTANTIATE_TEST_SUITE_P(RoomForOneRecord, KilledTrim,
                         ::testing::Values(KillCase{{false, 16}, 3, 3301, true},
                                           KillCase{{false, 64}, 3, 3302, true},
                                           KillCase{{false, 2048}, 3, 3303, true, 100},
                                           KillCase{{false, 2048}, 3, 3304, true, 100}),
                         KillCaseName);
// A track file's snapshot comes 10 s into a run: four runs of one kill each.
INSTANTIATE_TEST_SUITE_P(TrackFile, KilledTrim,
                         ::testing::Values(KillCase{{true, 16}, 1, 2201}, KillCase{{true, 16}, 1, 2202},
                                           KillCase{{true, 16}, 1, 2203}, KillCase{{true, 16}, 1, 2204}),
                         KillCaseName);

// The syncs of the move fail (a disk error) or are interrupted: the log is cut to its length all
// the same, keeping its lines. A failure is said once, with the system's reason; an interrupted
// sync is made again, and nothing said.
TEST_F(InterruptedTrimTest, AFailedOrInterruptedSyncStillCutsTheLog) {
    const QString report = m_home.filePath(QStringLiteral("calls"));
    MakeFullFile({false, 16});
    const QList<QByteArray> calls = Run(Shim(report), Until::Said);
    EXPECT_EQ(SyncFailuresSaid(), 0);
    const qsizetype lastSync = calls.mid(0, calls.indexOf("ftruncate")).lastIndexOf("fsync");
    ASSERT_GE(lastSync, 0) << calls.join(' ').constData();

    MakeFullFile({false, 16});
    const QList<QByteArray> interrupted = Run(Shim(report, lastSync + 1, 0, EINTR), Until::Said);
    ExpectKeptAndUnderLimit();
    ASSERT_GT(interrupted.size(), lastSync + 1);
    EXPECT_EQ(interrupted[lastSync].toStdString(), "fsync failed");
    EXPECT_EQ(interrupted[lastSync + 1].toStdString(), "fsync");
    EXPECT_EQ(SyncFailuresSaid(), 0);

    MakeFullFile({false, 16});
    QProcessEnvironment failing = Shim(report);
    failing.insert(QStringLiteral("ORVANE_KILL_SHIM_SYNCS_FAIL"), QString::number(EIO));
    const QList<QByteArray> failed = Run(failing, Until::Said);
    ExpectKeptAndUnderLimit();
    EXPECT_TRUE(failed.contains("fsync failed")) << failed.join(' ').constData();
    EXPECT_EQ(SyncFailuresSaid(), 1);
    EXPECT_TRUE(ReadFileBytes(UserFile()).contains(" to the disk: " + QByteArray(std::strerror(EIO))))
        << ReadFileBytes(UserFile()).constData();
}

// On a slow disk (every sync 20 ms, an SD card) a trim in place of a log of 1 MB or less makes so
// few syncs that it holds the program well under a fifth of a second, also when the log has grown
// far past its limit (its trims failed meanwhile), so that one cut is as large as a large limit's;
// a large limit's move (a cut of 1/64) still syncs its record at each checkpoint.
TEST_F(InterruptedTrimTest, OnlyALargeLimitsTrimSyncsItsRecord) {
    constexpr int kSyncsPerCheckpoint = 2;
    const QString report = m_home.filePath(QStringLiteral("calls"));
    constexpr int kGrownPastKb = 20;
    for (const auto& [limitKb, pastKb] :
         {std::pair{16, 0}, {48, 0}, {1024, 0}, {1024, kGrownPastKb}, {2048, 0}}) {
        SCOPED_TRACE(testing::Message() << limitKb << " kB, " << pastKb << " kB past it");
        MakeFullFile({false, limitKb}, pastKb * kKilobyte);
        QProcessEnvironment slow = Shim(report);
        slow.insert(QStringLiteral("ORVANE_KILL_SHIM_SYNC_DELAY_MS"), QString::number(kSlowSyncMs));
        const QList<QByteArray> calls = Run(slow, Until::Written);
        ExpectKeptAndUnderLimit();
        const qsizetype syncs = Syncs(calls.mid(0, CallsOfTheTrim(calls)));
        if (limitKb * kKilobyte <= platform::kLargeLimitBytes)
            EXPECT_LE(syncs, kMostSmallTrimSyncs);
        else
            EXPECT_GE(syncs, kSyncsPerCheckpoint * (m_length - m_cut) / m_cut);
    }
}

// A 1 MB data log grown 30 kB past its limit (its trims failed meanwhile), killed half-way through
// its trim in place, and started again: on a slow disk the finish at the start makes as few syncs
// as the log's own trims do, so that it holds the start no longer; on a disk whose syncs fail, that
// is said once, as a trim's failed syncs are.
TEST_F(InterruptedTrimTest, TheFinishAtTheStartSyncsAsTheLogsTrimsDo) {
    const QString report = m_home.filePath(QStringLiteral("calls"));
    const CappedKind log{false, 1024};
    constexpr qint64 kGrownPast = 30 * kKilobyte;
    MakeFullFile(log, kGrownPast);
    const qint64 calls = CallsOfTheTrim(Run(Shim(report), Until::Written));
    ASSERT_GT(calls, 0);
    for (const bool failing : {false, true}) {
        SCOPED_TRACE(failing ? "syncs failing" : "syncs slow");
        MakeFullFile(log, kGrownPast);
        Run(Shim(report, calls / 2, kPerMille / 2), Until::Killed);
        ASSERT_TRUE(m_killed) << "the shim's call never came";
        QProcessEnvironment shim = Shim(report);
        if (failing)
            shim.insert(QStringLiteral("ORVANE_KILL_SHIM_SYNCS_FAIL"), QString::number(EIO));
        else
            shim.insert(QStringLiteral("ORVANE_KILL_SHIM_SYNC_DELAY_MS"), QString::number(kSlowSyncMs));
        const QList<QByteArray> restart = Run(shim, Until::Written);
        ExpectKeptAndUnderLimit();
        const QList<QByteArray> finish = restart.mid(0, CallsOfTheTrim(restart));
        ASSERT_TRUE(finish.contains("ftruncate"))
            << "not finished at the start: " << restart.join(' ').constData();
        if (failing) {
            EXPECT_TRUE(finish.contains("fsync failed")) << finish.join(' ').constData();
            EXPECT_EQ(SyncFailuresSaid(), 1) << ReadFileBytes(UserFile()).constData();
        } else {
            EXPECT_LE(Syncs(finish), kMostSmallTrimSyncs);
        }
    }
}

// The syncs of a trim are said whatever becomes of the line that made it: a data log line refused
// by the disk after its trim in place still says the trim's failed syncs; and a line that finishes
// an interrupted move and then trims the log anew (lines appended meanwhile by more than a trim
// step, the start unable to read the record) says the finish's failed sync though the new trim's
// syncs worked.
TEST_F(InterruptedTrimTest, TheSyncsOfEveryTrimOfALineAreSaid) {
    const QString report = m_home.filePath(QStringLiteral("calls"));
    {
        SCOPED_TRACE("the line refused");
        MakeFullFile({false, 16});
        QProcessEnvironment failing = Shim(report);
        failing.insert(QStringLiteral("ORVANE_KILL_SHIM_SYNCS_FAIL"), QString::number(EIO));
        const qint64 append = CallsOfTheTrim(Run(failing, Until::Written)) + 1;
        ASSERT_GT(append, 1);
        MakeFullFile({false, 16});
        QProcessEnvironment refused = Shim(report, append, 0, ENOSPC);
        refused.insert(QStringLiteral("ORVANE_KILL_SHIM_SYNCS_FAIL"), QString::number(EIO));
        const QList<QByteArray> calls = Run(refused, Until::Written);
        ASSERT_EQ(calls.value(append - 1).toStdString(), "write failed") << calls.join(' ').constData();
        const QByteArray said = ReadFileBytes(UserFile());
        EXPECT_EQ(said.count("Unable to write log file " + m_path.toUtf8()), 1) << said.constData();
        EXPECT_EQ(SyncFailuresSaid(), 1) << said.constData();
    }
    {
        SCOPED_TRACE("finished and trimmed anew");
        MakeFullFile({false, 64});
        const qint64 calls = CallsOfTheTrim(Run(Shim(report), Until::Written));
        ASSERT_GT(calls, 0);
        MakeFullFile({false, 64});
        Run(Shim(report, calls / 2, kPerMille / 2), Until::Killed);
        ASSERT_TRUE(m_killed) << "the shim's call never came";
        ASSERT_TRUE(m_disk.LeaveFree(2 * SmallFileSystem::kPage));
        QByteArray meanwhile;
        for (int i = 0; m_length + meanwhile.size() - m_cut <= m_rule.triggerBytes; ++i)
            meanwhile += OldLine(kOldTimeBase / 2 + i);
        QFile file(m_path);
        ASSERT_TRUE(file.open(QIODevice::Append) && file.write(meanwhile) == meanwhile.size());
        file.close();
        ASSERT_TRUE(m_disk.LeaveFree(0));
        QProcessEnvironment shim = Shim(report);
        shim.insert(QStringLiteral("ORVANE_KILL_SHIM_GET_ERROR"), QString::number(EIO)); // the start's read
        shim.insert(QStringLiteral("ORVANE_KILL_SHIM_SYNCS_FAIL"), QString::number(EIO));
        shim.insert(QStringLiteral("ORVANE_KILL_SHIM_SYNCS_FAILED"), QStringLiteral("1")); // the finish's
        const QList<QByteArray> restart = Run(shim, Until::Said);
        EXPECT_LE(QFileInfo(m_path).size(), m_rule.triggerBytes);
        const QList<QByteArray> trims = restart.mid(0, CallsOfTheTrim(restart));
        EXPECT_EQ(trims.count("ftruncate"), 2) << trims.join(' ').constData();
        EXPECT_EQ(trims.count("fsync failed"), 1) << trims.join(' ').constData();
        EXPECT_EQ(SyncFailuresSaid(), 1) << ReadFileBytes(UserFile()).constData();
    }
}

// Every setting of the move's record refused after its first, its writing anew too (a disk error,
// a full quota): the move goes on without its record, and the log comes back under its limit
// with every kept line.
TEST_F(InterruptedTrimTest, ARecordThatCannotBeUpdatedStillCutsTheLog) {
    const QString report = m_home.filePath(QStringLiteral("calls"));
    for (const int error : {ENOSPC, EIO}) {
        SCOPED_TRACE(std::strerror(error));
        MakeFullFile({false, 1024});
        QProcessEnvironment shim = Shim(report);
        shim.insert(QStringLiteral("ORVANE_KILL_SHIM_SET_ERROR"), QString::number(error));
        const QList<QByteArray> calls = Run(shim, Until::Written);
        EXPECT_TRUE(calls.contains("fsetxattr failed")) << calls.join(' ').constData();
        ExpectKeptAndUnderLimit();
    }
}

// Updates of the move's record refused, then a write of the move failing (a disk error), no kill:
// the move stops part-way with a record of where it stopped, and the next start finishes it with
// every kept line. On a file system with room for one record and not for its replacement, the
// record is written anew at each update and nothing is said of it; where an update and the record
// written anew are both refused (a passing disk error), the move goes on without it, which is said
// once with the system's reason, and its record is written where it stops.
TEST_F(InterruptedTrimTest, AMoveStoppedAfterARefusedUpdateIsFinishedWithEveryKeptLine) {
    constexpr int kWritesAfterRefusal = 3;
    const QString report = m_home.filePath(QStringLiteral("calls"));
    for (const bool roomForOne : {true, false}) {
        SCOPED_TRACE(roomForOne ? "room for one record" : "an update and its record anew refused");
        const auto refusing = [&](const QProcessEnvironment& shim) {
            if (roomForOne)
                return WithRoomForOneRecord(shim);
            QProcessEnvironment refused = shim;
            refused.insert(QStringLiteral("ORVANE_KILL_SHIM_SET_ERROR"), QString::number(EIO));
            refused.insert(QStringLiteral("ORVANE_KILL_SHIM_SETS_REFUSED"), QStringLiteral("2"));
            return refused;
        };
        MakeFullFile({false, 64});
        const QList<QByteArray> calls = Run(refusing(Shim(report)), Until::Written);
        qsizetype failing = calls.indexOf("fsetxattr failed");
        ASSERT_GE(failing, 0) << calls.join(' ').constData();
        for (int writes = 0; writes < kWritesAfterRefusal && failing < CallsOfTheTrim(calls);)
            writes += calls.value(++failing) == "pwrite" ? 1 : 0;
        ASSERT_LT(failing, CallsOfTheTrim(calls)) << calls.join(' ').constData();

        MakeFullFile({false, 64});
        const QList<QByteArray> failed = Run(refusing(Shim(report, failing + 1, 0, EIO)), Until::Said);
        ASSERT_EQ(failed.value(failing).toStdString(), "pwrite failed");
        const QByteArray said = ReadFileBytes(UserFile());
        EXPECT_EQ(said.count("Unable to record the trim of " + m_path.toUtf8() + ": " + std::strerror(EIO)),
                  roomForOne ? 0 : 1)
            << said.constData();
        Run(QProcessEnvironment(), Until::UnderLimit);
        ExpectKeptAndUnderLimit();
    }
}

// Killed part-way through a trim in place, then started again with the first reads of the move's
// record failing (a disk error): the log is neither finished nor trimmed anew meanwhile (anew, it
// would lose the kept lines already moved to its front), that is said once, and the move is
// finished once the record reads, with the lines appended meanwhile; so too when the record then
// cannot be updated for them.
TEST_F(InterruptedTrimTest, ARecordThatFailsToReadIsNotTakenForNone) {
    const QString report = m_home.filePath(QStringLiteral("calls"));
    MakeFullFile({false, 64});
    const qint64 calls = CallsOfTheTrim(Run(Shim(report), Until::Written));
    ASSERT_GT(calls, 0);
    constexpr int kFailedReads = 3; // the start's and two lines'
    for (const int updateError : {0, ENOSPC}) {
        SCOPED_TRACE(updateError == 0 ? "record updated" : "record update refused");
        MakeFullFile({false, 64});
        Run(Shim(report, calls / 2, kPerMille / 2), Until::Killed);
        ASSERT_TRUE(m_killed) << "the shim's call never came";
        ASSERT_TRUE(m_disk.LeaveFree(SmallFileSystem::kPage)); // room for the lines meanwhile
        QFile::remove(UserFile());
        QProcessEnvironment shim = Shim(report);
        shim.insert(QStringLiteral("ORVANE_KILL_SHIM_GET_ERROR"), QString::number(EIO));
        shim.insert(QStringLiteral("ORVANE_KILL_SHIM_GETS_FAILED"), QString::number(kFailedReads));
        if (updateError != 0) {
            shim.insert(QStringLiteral("ORVANE_KILL_SHIM_SET_ERROR"), QString::number(updateError));
            shim.insert(QStringLiteral("ORVANE_KILL_SHIM_SETS_TAKEN"), QStringLiteral("0"));
        }
        Run(shim, Until::UnderLimit);
        ExpectKeptAndUnderLimit();
        const QByteArray said = ReadFileBytes(UserFile());
        EXPECT_EQ(said.count(QByteArray(std::strerror(EIO)) + ", reading the record of an interrupted trim"),
                  1)
            << said.constData();
    }
}
