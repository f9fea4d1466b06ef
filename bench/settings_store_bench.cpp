// What a settings file of foreign keys (a damaged or hostile file: the given number of "Key=value"
// lines of 16 bytes each, in a section the program does not use, with the program's own keys after
// them) costs the program: at start (the settings and the window placement read) and at exit (the
// settings and the window placement saved). Each phase reports its time and how far it raised the
// resident memory above what was resident before it (its own peak).
#include "app/ChildView.h"
#include "platform/SettingsStore.h"
#include "settings/WindowPlacement.h"
#include "support/ProcessCounters.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <cstdio>

namespace {

constexpr int kOwnBaud = 4800;

bool WriteForeignKeys(const QString& path, long keys) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    QByteArray block = "[Version]\nLogVersion=2\nRegVersion=2\n\n[Foreign]\n";
    char line[32];
    for (long i = 0; i < keys; ++i) {
        block.append(line, std::snprintf(line, sizeof line, "K%07ld=%06ld\n", i, i % 1000000));
        if (block.size() >= (1 << 20)) {
            if (file.write(block) != block.size())
                return false;
            block.clear();
        }
    }
    block += "\n[Port]\nBaud=" + QByteArray::number(kOwnBaud) + "\n";
    return file.write(block) == block.size() && file.flush();
}

double ResidentGrowthMb(long residentBeforeKb) {
    return static_cast<double>(StatusKb("VmHWM") - residentBeforeKb) / 1024.0;
}

} // namespace

static void BM_ForeignKeysAtStartAndExit(benchmark::State& state) {
    QTemporaryDir folder(QStringLiteral("/var/tmp/orvane-bench-XXXXXX")); // a disk, not a tmpfs
    platform::SetSettingsFolder(folder.path());
    const QString path = platform::OpenSettingsStore()->fileName();
    if (!WriteForeignKeys(path, static_cast<long>(state.range(0)))) {
        state.SkipWithError("cannot write the settings file");
        return;
    }
    const double fileMb = static_cast<double>(QFileInfo(path).size()) / 1e6;
    for (auto _ : state) {
        CChildView view;
        WindowPlacement placement;
        if (!ResetPeakResidentKb()) {
            state.SkipWithError("cannot reset the peak memory");
            return;
        }
        long resident = StatusKb("VmRSS");
        QElapsedTimer timer;
        timer.start();
        view.LoadSettings();
        view.LoadWindowPlacement(placement);
        state.counters["start_s"] = static_cast<double>(timer.nsecsElapsed()) / 1e9;
        state.counters["start_peak_MB"] = ResidentGrowthMb(resident);
        if (view.m_nBaud != kOwnBaud) {
            state.SkipWithError("the program's own key after the foreign ones was not read");
            return;
        }

        ResetPeakResidentKb();
        resident = StatusKb("VmRSS");
        timer.restart();
        view.SaveSettings();
        view.SaveWindowPlacement(placement);
        state.counters["exit_s"] = static_cast<double>(timer.nsecsElapsed()) / 1e9;
        state.counters["exit_peak_MB"] = ResidentGrowthMb(resident);
    }
    state.counters["file_MB"] = fileMb;
    state.counters["file_after_MB"] = static_cast<double>(QFileInfo(path).size()) / 1e6;
}
// Argument: the foreign keys in the file.
BENCHMARK(BM_ForeignKeysAtStartAndExit)
    ->Arg(1000000)
    ->Arg(5000000)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);
