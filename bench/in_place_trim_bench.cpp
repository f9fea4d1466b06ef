// What one trim in place costs on a disk (not a tmpfs) with its record synced at every checkpoint
// and without those syncs: the default 512 kB track file (a cut of about 1 kB, some 500
// checkpoints), data logs of 1 MB (a cut of about 570 bytes, some 1,800), 16 MB and 64 MB (a cut
// of 1/64 of the limit, 63 checkpoints). The run reports the time of one trim and its checkpoints.
#include "platform/InPlaceTrim.h"
#include "platform/TrimCutPoint.h"
#include "publishing/DataLogFormat.h"
#include "receiver/SatelliteTrackFile.h"

#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <unistd.h>

namespace {

struct Case {
    const char* name;
    platform::TrimRule rule;
};

const Case kCases[] = {
    {"track 512 kB", TrackTrimRule(512)},
    {"log 1 MB", LogTrimRule(1024)},
    {"log 16 MB", LogTrimRule(16 * 1024)},
    {"log 64 MB", LogTrimRule(64 * 1024)},
};

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

} // namespace

static void BM_TrimInPlace(benchmark::State& state) {
    const Case& trim = kCases[state.range(0)];
    const auto syncs = static_cast<platform::RecordSyncs>(state.range(1));
    state.SetLabel(trim.name);
    QTemporaryDir dir(QStringLiteral("/var/tmp/orvane-bench-XXXXXX")); // a disk, not a tmpfs
    const QString path = dir.filePath(QStringLiteral("capped"));
    const QByteArray content = FileJustPastTrigger(trim.rule);
    qint64 cut = 0;
    for (auto _ : state) {
        state.PauseTiming();
        QFile file(path);
        if (!file.open(QIODevice::ReadWrite | QIODevice::Truncate) || file.write(content) != content.size() ||
            !file.flush() || ::fsync(file.handle()) != 0) {
            state.SkipWithError("cannot make the file");
            return;
        }
        const platform::CutPoint point = platform::FindCutPoint(file.handle(), content.size(), trim.rule);
        cut = point.offset.value_or(0);
        state.ResumeTiming();
        if (cut == 0 || platform::TrimInPlace(file.handle(), content.size(), cut, syncs).outcome !=
                            platform::InPlace::Cut) {
            state.SkipWithError("the trim failed");
            return;
        }
    }
    state.counters["cut_bytes"] = static_cast<double>(cut);
    state.counters["checkpoints"] = cut > 0 ? static_cast<double>((content.size() - cut) / cut) : 0;
}
// Arguments: the case, and the record's syncs (1: at every checkpoint, 2: none).
BENCHMARK(BM_TrimInPlace)
    ->ArgsProduct({{0, 1, 2, 3},
                   {static_cast<int>(platform::RecordSyncs::Always),
                    static_cast<int>(platform::RecordSyncs::Never)}})
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond);
