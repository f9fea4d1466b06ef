// What one trim in place costs on a disk (not a tmpfs), the time it holds the program:
// - with its record synced at every checkpoint and without those syncs: the default 512 kB track
//   file (a cut of about 1 kB, some 500 checkpoints), data logs of 1 MB (a cut of about 570 bytes,
//   some 1,800), 16 MB and 64 MB (a cut of 1/64 of the limit, 63 checkpoints);
// - with its syncs as the program makes them, every sync slowed by 20 ms (an SD card or a busy
//   disk): data logs of 16, 48, 64 and 512 kB and 1 MB, the 512 kB track file, and a 16 MB data
//   log. These need the test's preloaded library, which slows the syncs of the file it is told of:
//     LD_PRELOAD=build/tests/libKillShim.so build/bench/in_place_trim_bench
//   without it they are skipped.
// The run reports the time of one trim, its checkpoints and its cut.
#include "platform/InPlaceTrim.h"
#include "platform/TrimCutPoint.h"
#include "publishing/DataLogFormat.h"
#include "receiver/SatelliteTrackFile.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

namespace {

struct Case {
    const char* name;
    platform::TrimRule rule;
};

const Case kCases[] = {
    {"track 512 kB", TrackTrimRule(512)},  {"log 1 MB", LogTrimRule(1024)},
    {"log 16 MB", LogTrimRule(16 * 1024)}, {"log 64 MB", LogTrimRule(64 * 1024)},
    {"log 16 kB", LogTrimRule(16)},        {"log 48 kB", LogTrimRule(48)},
    {"log 64 kB", LogTrimRule(64)},        {"log 512 kB", LogTrimRule(512)},
};

constexpr int kSlowSyncMs = 20;

QByteArray LogLine(int i) {
    return QByteArray::number(1709600000 + i) + "\t2.4979\t-3.217E-09\t\t\t\t\t\t\t\r\n";
}

// A file just past the rule's trigger: whole records, or whole lines.
QByteArray FileJustPastTrigger(const platform::TrimRule& rule) {
    QByteArray bytes;
    bytes.reserve(rule.triggerBytes + LogLine(0).size());
    if (rule.recordBytes > 0)
        return QByteArray((rule.triggerBytes / rule.recordBytes + 1) * rule.recordBytes, '\x07');
    for (int i = 0; bytes.size() <= rule.triggerBytes; ++i)
        bytes += LogLine(i);
    return bytes;
}

bool SyncsCanBeSlowed() {
    const char* preloaded = std::getenv("LD_PRELOAD");
    return preloaded && std::strstr(preloaded, "KillShim");
}

} // namespace

static void BM_TrimInPlace(benchmark::State& state) {
    const Case& trim = kCases[state.range(0)];
    const auto syncs = static_cast<platform::RecordSyncs>(state.range(1));
    const auto slowSyncMs = state.range(2);
    state.SetLabel(trim.name);
    if (slowSyncMs > 0 && !SyncsCanBeSlowed()) {
        state.SkipWithError("slowed syncs need the preloaded library (LD_PRELOAD=.../libKillShim.so)");
        return;
    }
    QTemporaryDir dir(QStringLiteral("/var/tmp/orvane-bench-XXXXXX")); // a disk, not a tmpfs
    const QString path = dir.filePath(QStringLiteral("capped"));
    const QByteArray content = FileJustPastTrigger(trim.rule);
    qint64 cut = 0;
    for (auto _ : state) {
        state.PauseTiming();
        qunsetenv("ORVANE_KILL_SHIM_PATH"); // the file's making is not slowed
        QFile file(path);
        if (!file.open(QIODevice::ReadWrite | QIODevice::Truncate) || file.write(content) != content.size() ||
            !file.flush() || ::fsync(file.handle()) != 0) {
            state.SkipWithError("cannot make the file");
            return;
        }
        const platform::CutPoint point = platform::FindCutPoint(file.handle(), content.size(), trim.rule);
        cut = point.offset.value_or(0);
        qputenv("ORVANE_KILL_SHIM_PATH", QFileInfo(path).canonicalFilePath().toUtf8());
        qputenv("ORVANE_KILL_SHIM_SYNC_DELAY_MS", QByteArray::number(slowSyncMs));
        state.ResumeTiming();
        if (cut == 0 || platform::TrimInPlace(file.handle(), content.size(), cut, syncs).outcome !=
                            platform::InPlace::Cut) {
            state.SkipWithError("the trim failed");
            return;
        }
    }
    qunsetenv("ORVANE_KILL_SHIM_PATH");
    state.counters["cut_bytes"] = static_cast<double>(cut);
    state.counters["checkpoints"] = cut > 0 ? static_cast<double>((content.size() - cut) / cut) : 0;
}
// Arguments: the case, the record's syncs (0: as the program makes them, 1: at every checkpoint,
// 2: none), and the milliseconds each sync is slowed by.
BENCHMARK(BM_TrimInPlace)
    ->ArgsProduct({{0, 1, 2, 3},
                   {static_cast<int>(platform::RecordSyncs::Always),
                    static_cast<int>(platform::RecordSyncs::Never)},
                   {0}})
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TrimInPlace)
    ->ArgsProduct({{4, 5, 6, 7, 1, 0, 2}, {static_cast<int>(platform::RecordSyncs::AsDue)}, {kSlowSyncMs}})
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond);
