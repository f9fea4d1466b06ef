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
    // A receiver line at 9600 baud: about a byte a millisecond, read a few bytes at a time.
    if (state.range(3) != 0) {
        receiver.setSlowPace({10, std::chrono::milliseconds(10)});
        receiver.setMisbehaviour(sim::Misbehaviour::Slow);
    }
    // Both windows shown, so that what they draw is counted.
    CvDlgBar bar;
    CChildView view;
    view.m_pDlgBar = &bar;
    bar.resize(320, 700);
    bar.show();
    view.resize(900, 700);
    view.show();
    g_nReceiverType = RECEIVER_HP;
    view.SetReceiverDefaults(); // the default ticks: 60 ms, 20 ms in the Time view
    view.m_strComPort = receiver.portPath();
    view.m_nViewMode = static_cast<int>(state.range(1));
    // Everything an operator chasing a fault switches on: the serial-traffic echo, verbose
    // debug, and the user-window and debug files.
    const bool diagnostics = state.range(2) != 0;
    view.m_bComsDebug = diagnostics;
    view.m_bVerboseDebug = diagnostics;
    view.m_bDebugEnable = diagnostics;
    view.m_bUserToFile = diagnostics;
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
// Arguments: seconds of polling, view mode (0 All, 1 Time), diagnostics (0 off, 1 all on),
// line (0 replies at once, 1 at 9600 baud).
BENCHMARK(BM_PollingCpuShare)
    ->ArgNames({"seconds", "view", "diagnostics", "line9600"})
    ->Args({20, 0, 0, 0})
    ->Args({20, 1, 0, 0})
    ->Args({20, 0, 1, 0})
    ->Args({20, 0, 0, 1})
    ->Args({20, 0, 1, 1})
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kSecond);
