// What polling costs the program: the user-interface thread's CPU time while it polls the
// simulated receiver through the real event loop at the default poll tick, as a share of one
// core. The simulator answers from a thread of its own, which is not counted.
#include "app/ChildView.h"
#include "app/Globals.h"
#include "controls/DlgBar.h"
#include "simulator/ReceiverSimulator.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <benchmark/benchmark.h>
#include <sys/resource.h>

namespace {

double ThreadCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_THREAD, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

} // namespace

static void BM_PollingCpuShare(benchmark::State& state) {
    sim::ReceiverSimulator receiver(sim::Family::HewlettPackard);
    if (!receiver.start()) {
        state.SkipWithError("no pseudo-terminal");
        return;
    }
    CvDlgBar bar;
    CChildView view;
    view.m_pDlgBar = &bar;
    g_nReceiverType = RECEIVER_HP;
    view.SetReceiverDefaults(); // the default ticks: 60 ms, 20 ms in the Time view
    view.m_strComPort = receiver.portPath();
    view.m_nViewMode = static_cast<int>(state.range(1));
    view.OnStart();
    const int seconds = static_cast<int>(state.range(0));
    for (auto _ : state) {
        const int timeoutsBefore = view.m_nTimeouts;
        const int repliesBefore = receiver.repliesSent();
        const double cpuBefore = ThreadCpuSeconds();
        QElapsedTimer wall;
        wall.start();
        QEventLoop loop;
        QTimer::singleShot(seconds * 1000, &loop, &QEventLoop::quit);
        loop.exec();
        const double cpu = ThreadCpuSeconds() - cpuBefore;
        const double elapsed = wall.elapsed() / 1000.0;
        state.SetIterationTime(elapsed);
        state.counters["cpu_percent_of_core"] = 100.0 * cpu / elapsed;
        state.counters["replies_per_s"] = (receiver.repliesSent() - repliesBefore) / elapsed;
        state.counters["timeouts"] = view.m_nTimeouts - timeoutsBefore;
    }
    view.OnStop();
}
// Arguments: seconds of polling, view mode (0 All, 1 Time).
BENCHMARK(BM_PollingCpuShare)
    ->Args({20, 0})
    ->Args({20, 1})
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kSecond);
