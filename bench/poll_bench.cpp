// What polling costs the program: the user-interface thread's CPU time while it polls a receiver
// on a pseudo-terminal through the real event loop at the default poll tick, as a share of one
// core. The receiver answers every request at once from a thread of its own (not counted).
#include "app/ChildView.h"
#include "app/Globals.h"
#include "controls/DlgBar.h"
#include "platform/Paths.h"
#include "platform/SettingsStore.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTimer>
#include <atomic>
#include <benchmark/benchmark.h>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <sys/resource.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace {

// A Jackson Labs receiver on the far end of a pseudo-terminal: echo, answer, prompt.
class AnsweringReceiver {
public:
    AnsweringReceiver() {
        m_master = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
        grantpt(m_master);
        unlockpt(m_master);
        termios raw{};
        tcgetattr(m_master, &raw);
        cfmakeraw(&raw);
        tcsetattr(m_master, TCSANOW, &raw);
        m_path = QString::fromLocal8Bit(ptsname(m_master));
        m_thread = std::thread([this] { Run(); });
    }
    ~AnsweringReceiver() {
        m_running = false;
        m_thread.join();
        ::close(m_master);
    }
    QString path() const { return m_path; }
    int answered() const { return m_answered; }

private:
    static QByteArray Answer(const QByteArray& command) {
        if (command.startsWith("SYSTEM:STATUS?")) {
            QByteArray screen;
            for (int line = 0; line < 20; ++line)
                screen +=
                    "Status line " + QByteArray::number(line) + ": LOCKED, 10 satellites, EFC 52.7%\r\n";
            return screen;
        }
        if (command.startsWith("*IDN?"))
            return "Jackson Labs, Model X, 1234, 1.0";
        if (command.startsWith("PTIME:TINTERVAL?"))
            return "+1.2E-09";
        return "+1.234";
    }

    void Run() {
        QByteArray pending;
        while (m_running) {
            pollfd fd{m_master, POLLIN, 0};
            if (::poll(&fd, 1, 20) <= 0 || !(fd.revents & POLLIN))
                continue;
            char buffer[1024];
            const ssize_t count = ::read(m_master, buffer, sizeof buffer);
            if (count <= 0)
                continue;
            pending.append(buffer, count);
            qsizetype cr;
            while ((cr = pending.indexOf('\r')) >= 0) {
                const QByteArray command = pending.left(cr + 1);
                pending.remove(0, cr + 1);
                const QByteArray reply = command + "\n" + Answer(command) + "\r\nscpi > ";
                ++m_answered;
                if (::write(m_master, reply.constData(), reply.size()) < 0)
                    continue;
            }
        }
    }

    int m_master = -1;
    QString m_path;
    std::atomic<bool> m_running{true};
    std::atomic<int> m_answered{0};
    std::thread m_thread;
};

double ThreadCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_THREAD, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

} // namespace

static void BM_PollingCpuShare(benchmark::State& state) {
    AnsweringReceiver receiver;
    CvDlgBar bar;
    CChildView view;
    view.m_pDlgBar = &bar;
    g_nReceiverType = RECEIVER_JACKSON;
    view.SetReceiverDefaults(); // default tick: 60 ms
    view.m_strComPort = receiver.path();
    view.m_bAutoLeaps = false;
    view.OnStart();
    const int seconds = static_cast<int>(state.range(0));
    for (auto _ : state) {
        const int timeoutsBefore = view.m_nTimeouts;
        const int answeredBefore = receiver.answered();
        const double cpuBefore = ThreadCpuSeconds();
        QElapsedTimer wall;
        wall.start();
        QEventLoop loop;
        QTimer::singleShot(seconds * 1000, &loop, &QEventLoop::quit);
        loop.exec();
        const double cpu = ThreadCpuSeconds() - cpuBefore;
        state.SetIterationTime(wall.elapsed() / 1000.0);
        state.counters["cpu_percent_of_core"] = 100.0 * cpu / (wall.elapsed() / 1000.0);
        state.counters["timeouts"] = view.m_nTimeouts - timeoutsBefore;
        state.counters["requests_per_s"] = (receiver.answered() - answeredBefore) / (wall.elapsed() / 1000.0);
    }
    state.counters["identity_read"] = view.m_strIdentity.isEmpty() ? 0 : 1;
    view.OnStop();
}
BENCHMARK(BM_PollingCpuShare)->Arg(20)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    QTemporaryDir home;
    platform::setSettingsFolder(home.filePath(QStringLiteral("config")));
    platform::setDocumentsFolderOverride(home.filePath(QStringLiteral("Documents")));
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
