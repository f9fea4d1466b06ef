// What the sky map costs: a redraw of the map window with a full track file of the default size
// (512 kB, 43,691 records) in each trail mode, the same redraw when a snapshot was appended, and
// an image export of each window at 1024 x 1024 in each format.
#include "app/ChildView.h"
#include "receiver/SatelliteTrackFile.h"

#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <cmath>

namespace {

constexpr int kFullTrackRecords = 43691;

// Snapshots of ten satellites moving across the sky, as the program writes them.
QByteArray TrackRecords(int count, int firstRecord = 0) {
    QByteArray bytes;
    for (int i = firstRecord; i < firstRecord + count; ++i) {
        const int snapshot = i / 10;
        CSatInfo sat;
        sat.m_byPrnLow = static_cast<std::uint8_t>(1 + i % 10);
        sat.m_byElevation = static_cast<std::uint8_t>(5 + (snapshot / 7 + i % 10 * 9) % 85);
        sat.m_wAzimuth = static_cast<std::uint16_t>((snapshot / 3 + i % 10 * 36) % 360);
        sat.m_bySnrWhole = static_cast<std::uint8_t>(i % 13 == 0 ? 0 : 30 + i % 20);
        sat.m_bySatCount = 10;
        sat.m_dwTime = static_cast<std::uint32_t>(1700000000 + snapshot * 10);
        const SatRecordBytes record = SerialiseSatInfo(sat);
        bytes.append(reinterpret_cast<const char*>(record.data()), kSatRecordBytes);
    }
    return bytes;
}

// A view whose map shows eight satellites over a full track file.
struct MapFixture {
    explicit MapFixture(int trailMode) {
        view.m_strDumpPath = dir.filePath(QStringLiteral("gpsdmp.bin"));
        QFile file(view.m_strDumpPath);
        file.open(QIODevice::WriteOnly);
        file.write(TrackRecords(kFullTrackRecords));
        file.close();
        view.m_nTrailMode = trailMode;
        view.m_dLatitude = 51.5;
        for (int slot = 0; slot < 8; ++slot) {
            view.m_sat[slot].m_byPrnLow = static_cast<std::uint8_t>(slot + 1);
            view.m_sat[slot].m_byElevation = static_cast<std::uint8_t>(10 + slot * 9);
            view.m_sat[slot].m_wAzimuth = static_cast<std::uint16_t>(slot * 45);
            view.m_sat[slot].m_bySnrWhole = static_cast<std::uint8_t>(30 + slot * 2);
        }
        view.m_wndMap.resize(800, 800);
        view.m_wndMap.RenderToBitmap(); // the first read of the file
    }
    QTemporaryDir dir;
    CChildView view;
};

} // namespace

static void BM_MapRedrawFullTrackFile(benchmark::State& state) {
    MapFixture fixture(static_cast<int>(state.range(0)));
    for (auto _ : state)
        fixture.view.m_wndMap.RenderToBitmap();
}
// Argument: trail mode (0 none: the outline, 1 recent, 2 extended).
BENCHMARK(BM_MapRedrawFullTrackFile)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

static void BM_MapRedrawAfterSnapshot(benchmark::State& state) {
    MapFixture fixture(2);
    int next = kFullTrackRecords;
    for (auto _ : state) {
        state.PauseTiming();
        QFile file(fixture.view.m_strDumpPath);
        file.open(QIODevice::Append);
        file.write(TrackRecords(10, next));
        file.close();
        next += 10;
        state.ResumeTiming();
        fixture.view.m_wndMap.RenderToBitmap();
    }
}
BENCHMARK(BM_MapRedrawAfterSnapshot)->Unit(benchmark::kMillisecond);

static void BM_ExportImage(benchmark::State& state) {
    static const char* const kFormats[] = {"bmp", "png", "jpg", "gif"};
    const QString extension = QString::fromLatin1(kFormats[state.range(1)]);
    MapFixture fixture(1);
    const QString path = fixture.dir.filePath(QStringLiteral("export.") + extension);
    const QRect size(0, 0, 1024, 1024);
    for (auto _ : state) {
        if (state.range(0) == 0)
            fixture.view.m_wndMap.ExportImage(path, false, size);
        else
            fixture.view.m_wndGraph.ExportImage(path, false, true, size);
    }
    state.SetLabel((state.range(0) == 0 ? QStringLiteral("map ") : QStringLiteral("graph ")).toStdString() +
                   extension.toStdString());
    state.counters["file_kB"] = QFile(path).size() / 1024.0;
}
// Arguments: window (0 map, 1 graph), format (bmp, png, jpg, gif).
BENCHMARK(BM_ExportImage)->ArgsProduct({{0, 1}, {0, 1, 2, 3}})->Unit(benchmark::kMillisecond);
