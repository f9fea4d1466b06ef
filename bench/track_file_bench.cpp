// What trimming an oversized satellite track file costs: the time of the snapshot that trims a
// sparse file of the given size to the default 512 kB limit, and how far it raises the process's
// peak memory (the trim reads only the tail it keeps).
#include "receiver/SatelliteTrackFile.h"

#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <sys/resource.h>

namespace {

long PeakMemoryKb() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// A hole of `bytes` (no disk space) followed by a megabyte of records.
bool MakeOversizedFile(const QString& path, qint64 bytes) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || !file.resize(bytes) || !file.seek(bytes))
        return false;
    const QByteArray records(1 << 20, '\x01');
    return file.write(records) == records.size();
}

} // namespace

static void BM_TrimOversizedTrackFile(benchmark::State& state) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("gpsdmp.bin"));
    const qint64 bytes = state.range(0) * 1024 * 1024;
    std::array<CSatInfo, kSatelliteSlots> sats{};
    sats[0].m_byPrnLow = 7;
    const long peakBefore = PeakMemoryKb();
    for (auto _ : state) {
        state.PauseTiming();
        if (!MakeOversizedFile(path, bytes)) {
            state.SkipWithError("cannot make the file");
            return;
        }
        state.ResumeTiming();
        AppendTrackSnapshot(path, sats, 1, 999, 512);
    }
    state.counters["peak_memory_growth_MB"] = (PeakMemoryKb() - peakBefore) / 1024.0;
    state.counters["file_MB"] = static_cast<double>(state.range(0));
}
// Argument: the file's size in MB before the trim.
BENCHMARK(BM_TrimOversizedTrackFile)->Arg(256)->Arg(4096)->Iterations(5)->Unit(benchmark::kMillisecond);
