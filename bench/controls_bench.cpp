// Costs of the operator controls that run all the time: refreshing every command's check mark
// and enabling (four times a second and before each menu opens), and appending traffic to a
// user window that is kept at its size limit.
#include "app/MainFrame.h"
#include "controls/CommandQueue.h"

#include <QPlainTextEdit>
#include <benchmark/benchmark.h>

static void BM_UpdateCommandUI(benchmark::State& state) {
    CMainFrame frame;
    for (auto _ : state)
        frame.UpdateCommandUI();
}
BENCHMARK(BM_UpdateCommandUI)->Unit(benchmark::kMicrosecond);

static void BM_AppendToFullUserWindow(benchmark::State& state) {
    CvDlgBar bar;
    const QString line = QStringLiteral(" 12:00:00 06/12/25 UTC :PTIME:TCODE? T2YYYYMMDDHHMMSSMFLRVccc\r\n");
    while (bar.UserWindow()->document()->characterCount() < kUserWindowLimit - line.size())
        bar.AppendToUserWindow(line);
    for (auto _ : state)
        bar.AppendToUserWindow(line);
    state.counters["chars"] = bar.UserWindow()->document()->characterCount();
}
BENCHMARK(BM_AppendToFullUserWindow)->Unit(benchmark::kMicrosecond);
