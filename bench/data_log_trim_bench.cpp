// What the data log's size limit costs at a large limit: a log at its 300,000 kB limit takes the
// given number of lines, and the run reports the bytes handed to write(2) and the bytes that reached
// the disk per appended line, the bytes read per line, and how far the run raised the process's
// peak memory (what a trim holds).
#include "publishing/DataLogFile.h"
#include "support/ProcessCounters.h"

#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace {

constexpr int kLimitKb = 300000;

QByteArray LogLine(int i) {
    return QByteArray::number(1709600000 + i) + "\t2.4979\t-3.217E-09\t\t\t\t\t\t\t\r\n";
}

// A log of whole lines exactly at the limit.
bool MakeLogAtLimit(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    const qint64 limit = qint64{kLimitKb} * 1024;
    QByteArray block;
    qint64 written = 0;
    for (int i = 0; written < limit; ++i) {
        QByteArray line = LogLine(i);
        if (written + block.size() + line.size() > limit)
            line = QByteArray(limit - written - block.size() - 2, '1') + "\r\n";
        block += line;
        if (block.size() >= (1 << 20) || written + block.size() == limit) {
            if (file.write(block) != block.size())
                return false;
            written += block.size();
            block.clear();
        }
    }
    return file.flush();
}

} // namespace

static void BM_AppendAtLargeLimit(benchmark::State& state) {
    QTemporaryDir dir(QStringLiteral("/var/tmp/orvane-bench-XXXXXX")); // a disk, not a tmpfs
    const QString path = dir.filePath(QStringLiteral("gpslog.log"));
    const int lines = static_cast<int>(state.range(0));
    if (!MakeLogAtLimit(path)) {
        state.SkipWithError("cannot make the log");
        return;
    }
    const long peakBefore = PeakMemoryKb();
    const long long writtenBefore = IoCounter("wchar");
    const long long toDiskBefore = IoCounter("write_bytes");
    const long long readBefore = IoCounter("rchar");
    for (auto _ : state) {
        for (int i = 0; i < lines; ++i)
            if (AppendLogLine(path, LogLine(i), kLimitKb) != LogWriteResult::Written) {
                state.SkipWithError("a line was not written");
                return;
            }
    }
    const double appended = static_cast<double>(lines) * static_cast<double>(state.iterations());
    state.counters["written_per_line"] = static_cast<double>(IoCounter("wchar") - writtenBefore) / appended;
    state.counters["to_disk_per_line"] =
        static_cast<double>(IoCounter("write_bytes") - toDiskBefore) / appended;
    state.counters["read_per_line"] = static_cast<double>(IoCounter("rchar") - readBefore) / appended;
    state.counters["peak_memory_growth_MB"] = (PeakMemoryKb() - peakBefore) / 1024.0;
    state.counters["log_MB"] = static_cast<double>(QFile(path).size()) / (1 << 20);
}
// Argument: the lines appended to a log at its limit.
BENCHMARK(BM_AppendAtLargeLimit)->Arg(100000)->Iterations(1)->Unit(benchmark::kMillisecond);
