// What drawing the graph costs with a year's data log (a million lines of eight channels, a line
// every 30 s, stamped every tenth line), set beside Debian's awk summing one column of the same
// file: the first draw of the 24-hour window from a cold start (the log parsed whole), a draw of
// the whole log (the right double-click, the all-data export), the refresh after one appended
// line, and the memory of the parsed copy. The file is in the page cache for every figure.
#include "app/ChildView.h"
#include "app/Globals.h"
#include "displays/GraView.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <cmath>
#include <random>

namespace {

constexpr int kLines = 1000000;
constexpr std::uint64_t kFirstTime = 1700000000;
constexpr int kSecondsPerLine = 30;
constexpr std::uint64_t kDay = 86400;

// Debian's awk is mawk.
QString AwkProgram() {
    const QString mawk = QStandardPaths::findExecutable(QStringLiteral("mawk"));
    return mawk.isEmpty() ? QStringLiteral("awk") : mawk;
}

struct LogFixture {
    QTemporaryDir folder;
    QString path;
    std::uint64_t lastTime = 0;
    double awkSeconds = 0;

    LogFixture() {
        path = folder.filePath(QStringLiteral("gpslog.log"));
        QFile file(path);
        file.open(QIODevice::WriteOnly);
        std::mt19937_64 random(42);
        std::normal_distribution<double> noise(0.0, 1.0);
        double efc = 32768.0;
        double temperature = 35.0;
        QByteArray chunk;
        for (int i = 0; i < kLines; ++i) {
            const std::uint64_t t = kFirstTime + static_cast<std::uint64_t>(i) * kSecondsPerLine;
            efc += 0.05 * noise(random);
            temperature += 0.01 * noise(random);
            const double ti = 2e-9 * noise(random) + 1e-10 * std::sin(i / 2880.0);
            const int sats = 8 + static_cast<int>(i / 700) % 5;
            char line[256];
            int n = std::snprintf(line, sizeof line, "%llu\t%.3f\t%.4e\t%d\t%.2f\t%.1f\t%.6f\t%d\t%.3f\t",
                                  static_cast<unsigned long long>(t), efc, ti, sats, temperature,
                                  45.0 + noise(random), 10000000.0 + 1e-3 * noise(random), 40 + i % 7,
                                  0.5 + 0.01 * noise(random));
            if (i % 10 == 0) {
                const std::time_t instant = static_cast<std::time_t>(t);
                std::tm utc{};
                gmtime_r(&instant, &utc);
                n += static_cast<int>(std::strftime(line + n, sizeof line - n, "\t;%d/%m/%y %H:%M:%S", &utc));
            }
            chunk.append(line, n);
            chunk.append("\r\n");
            if (chunk.size() > (1 << 20)) {
                file.write(chunk);
                chunk.clear();
            }
            lastTime = t;
        }
        file.write(chunk);
        file.close();
        awkSeconds = BestAwkSeconds();
    }

    double BestAwkSeconds() const {
        double best = 1e9;
        for (int run = 0; run < 3; ++run) {
            QElapsedTimer timer;
            timer.start();
            QProcess awk;
            awk.start(AwkProgram(), {QStringLiteral("-F\t"), QStringLiteral("{s+=$2} END {print s}"), path});
            awk.waitForFinished(-1);
            best = std::min(best, timer.nsecsElapsed() / 1e9);
        }
        return best;
    }
};

LogFixture& Log() {
    static LogFixture fixture;
    return fixture;
}

// A view plotting all eight channels of the log, its graph at a usual screen size.
struct GraphSetup {
    CChildView view;
    GraphSetup() {
        g_bUseBitmap = true;
        view.m_strLogPath = Log().path;
        view.m_bPlot.fill(true);
        view.m_bAllanDeviation.fill(true);
        view.m_bMean.fill(true);
        view.m_bStdDev.fill(true);
        view.m_nFilterMode[0] = 2;
        view.m_wndGraph.resize(1200, 800);
        view.m_wndGraph.CreateCachedBitmap();
        Window24Hours();
    }
    void Window24Hours() {
        CGraView& graph = view.m_wndGraph;
        graph.m_bZoomed = false;
        graph.m_tZoomEnd = kNoTime;
        graph.m_tZoomStart = Log().lastTime - kDay;
    }
};

void Report(benchmark::State& state, double seconds) {
    state.counters["awk_s"] = Log().awkSeconds;
    state.counters["ratio_to_awk"] = seconds / Log().awkSeconds;
}

} // namespace

static void BM_FirstDraw24HourWindowFromColdStart(benchmark::State& state) {
    Log();
    GraphSetup setup;
    CGraView& graph = setup.view.m_wndGraph;
    double total = 0;
    for (auto _ : state) {
        graph.m_logCache.Clear();
        setup.Window24Hours();
        QElapsedTimer timer;
        timer.start();
        graph.RenderToBitmap();
        const double seconds = timer.nsecsElapsed() / 1e9;
        state.SetIterationTime(seconds);
        total += seconds;
    }
    Report(state, total / static_cast<double>(state.iterations()));
    state.counters["lines"] = static_cast<double>(graph.m_logCache.RecordCount());
    state.counters["parsed_copy_MB"] = graph.m_logCache.MemoryBytes() / 1e6;
    state.counters["bytes_per_line"] = static_cast<double>(graph.m_logCache.MemoryBytes()) /
                                       static_cast<double>(graph.m_logCache.RecordCount());
}
BENCHMARK(BM_FirstDraw24HourWindowFromColdStart)
    ->Iterations(5)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

static void BM_WholeLogDraw(benchmark::State& state) {
    Log();
    GraphSetup setup;
    CGraView& graph = setup.view.m_wndGraph;
    graph.RenderToBitmap(); // the parsed copy is warm
    double total = 0;
    for (auto _ : state) {
        QElapsedTimer timer;
        timer.start();
        const QImage image = graph.RenderExportImage(QSize(1200, 800), false, true);
        const double seconds = timer.nsecsElapsed() / 1e9;
        benchmark::DoNotOptimize(image.constBits());
        state.SetIterationTime(seconds);
        total += seconds;
    }
    Report(state, total / static_cast<double>(state.iterations()));
}
BENCHMARK(BM_WholeLogDraw)->Iterations(5)->UseManualTime()->Unit(benchmark::kMillisecond);

static void BM_RefreshAfterOneAppendedLine(benchmark::State& state) {
    Log();
    GraphSetup setup;
    CGraView& graph = setup.view.m_wndGraph;
    graph.RenderToBitmap();
    QFile file(Log().path);
    file.open(QIODevice::Append);
    std::uint64_t t = Log().lastTime;
    double total = 0;
    for (auto _ : state) {
        t += kSecondsPerLine;
        file.write(QByteArray::number(static_cast<qulonglong>(t)) +
                   "\t32768.1\t1.2e-09\t9\t35.2\t45.1\t10000000.0001\t42\t0.51\t\r\n");
        file.flush();
        QElapsedTimer timer;
        timer.start();
        graph.m_bCacheValid = false;
        graph.RenderToBitmap();
        const double seconds = timer.nsecsElapsed() / 1e9;
        state.SetIterationTime(seconds);
        total += seconds;
    }
    Report(state, total / static_cast<double>(state.iterations()));
    state.counters["full_reads"] = graph.m_logCache.FullReads();
}
BENCHMARK(BM_RefreshAfterOneAppendedLine)->Iterations(50)->UseManualTime()->Unit(benchmark::kMillisecond);

// A log whose last megabytes (the argument) hold no line end, as the NUL blocks that a power cut
// can leave at the end of a file being appended: the time of a cold read of the whole log, and
// of the refresh after another 4 kB of them.
static void BM_LogEndingWithoutLineEnds(benchmark::State& state) {
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("gpslog.log"));
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    QByteArray lines;
    for (int i = 0; i < 10000; ++i)
        lines +=
            QByteArray::number(static_cast<qulonglong>(kFirstTime + 30ull * i)) + "\t32768.1\t1.2e-09\t9\r\n";
    file.write(lines);
    const QByteArray nulBlock(1 << 20, '\0');
    for (std::int64_t mb = 0; mb < state.range(0); ++mb)
        file.write(nulBlock);
    file.flush();
    GraphLogCache cache;
    double appended = 0;
    for (auto _ : state) {
        cache.Clear();
        QElapsedTimer timer;
        timer.start();
        cache.Refresh(path);
        state.SetIterationTime(timer.nsecsElapsed() / 1e9);
        file.write(nulBlock.left(4096));
        file.flush();
        timer.start();
        cache.Refresh(path);
        appended += timer.nsecsElapsed() / 1e9;
    }
    state.counters["records"] = static_cast<double>(cache.RecordCount());
    state.counters["refresh_after_append_s"] = appended / static_cast<double>(state.iterations());
}
BENCHMARK(BM_LogEndingWithoutLineEnds)
    ->Arg(64)
    ->Arg(256)
    ->Iterations(3)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
