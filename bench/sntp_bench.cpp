// The SNTP service against chronyd on the same machine, over 127.0.0.1: how far off the time
// each one tells the same client is (the truth is 0: client and servers share one clock), and how
// many requests each answers per second under a load generator.
#include "platform/WallClock.h"
#include "support/LoopbackTimeServer.h"
#include "support/LoopbackUdp.h"
#include "timeservice/NtpTime.h"
#include "timeservice/SntpPacket.h"
#include "timeservice/TimeServer.h"

#include <algorithm>
#include <atomic>
#include <benchmark/benchmark.h>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

NtpTimestamp Now() {
    return TimespecToNtp(platform::CurrentWallClock().now());
}

double Seconds(NtpTimestamp later, NtpTimestamp earlier) {
    return static_cast<double>(static_cast<std::int64_t>(later - earlier)) / 4294967296.0;
}

// A client socket on 127.0.0.1 whose arrivals carry the kernel's receive time.
class Client : public LoopbackUdpSocket {
public:
    explicit Client(std::uint16_t port) : LoopbackUdpSocket(port) {
        const int on = 1;
        ::setsockopt(Fd(), SOL_SOCKET, SO_TIMESTAMPNS, &on, sizeof on);
        const int buffer = 4 << 20;
        ::setsockopt(Fd(), SOL_SOCKET, SO_RCVBUF, &buffer, sizeof buffer);
    }

    // One datagram and its arrival time, or nothing within the time-out.
    std::optional<std::pair<SntpPacket, NtpTimestamp>> ReceiveStamped(int timeoutMs) const {
        if (!WaitReadable(timeoutMs))
            return std::nullopt;
        SntpPacket reply{};
        alignas(cmsghdr) char control[CMSG_SPACE(sizeof(timespec))];
        iovec buffer{reply.data(), reply.size()};
        msghdr message{};
        message.msg_iov = &buffer;
        message.msg_iovlen = 1;
        message.msg_control = control;
        message.msg_controllen = sizeof control;
        if (::recvmsg(Fd(), &message, 0) < static_cast<ssize_t>(reply.size()))
            return std::nullopt;
        NtpTimestamp arrival = Now();
        for (cmsghdr* c = CMSG_FIRSTHDR(&message); c; c = CMSG_NXTHDR(&message, c)) {
            if (c->cmsg_level == SOL_SOCKET && c->cmsg_type == SCM_TIMESTAMPNS) {
                timespec stamp{};
                std::memcpy(&stamp, CMSG_DATA(c), sizeof stamp);
                arrival = TimespecToNtp(stamp);
            }
        }
        return std::make_pair(reply, arrival);
    }
};

SntpPacket Request(NtpTimestamp transmit) {
    SntpPacket request{};
    request[0] = 0x23; // version 4, client
    WriteNtpTimestamp(request.data() + 40, transmit);
    return request;
}

struct Sample {
    double offset = 0;
    std::uint8_t leap = 3;
};

// One exchange, the offset computed as an NTP client does: ((t2 - t1) + (t3 - t4)) / 2.
std::optional<Sample> Exchange(const Client& client) {
    const NtpTimestamp t1 = Now();
    if (!client.Send(Request(t1)))
        return std::nullopt;
    while (const auto answer = client.ReceiveStamped(500)) {
        const auto& [reply, t4] = *answer;
        if (ReadNtpTimestamp(reply.data() + 24) != t1)
            continue; // a late answer to an earlier request
        const NtpTimestamp t2 = ReadNtpTimestamp(reply.data() + 32);
        const NtpTimestamp t3 = ReadNtpTimestamp(reply.data() + 40);
        return Sample{(Seconds(t2, t1) + Seconds(t3, t4)) / 2, static_cast<std::uint8_t>(reply[0] >> 6)};
    }
    return std::nullopt;
}

// chronyd serving its own clock on a port of 127.0.0.1, with its files in a folder of its own;
// it may not touch the clock (-x, and the capability is taken away as well).
class ChronyServer {
public:
    ChronyServer() : m_port(LoopbackUdpSocket(0, true).OwnPort()) {
        char pattern[] = "/tmp/orvane-chrony-XXXXXX";
        if (!::mkdtemp(pattern))
            return;
        m_dir = pattern;
        std::filesystem::permissions(m_dir, std::filesystem::perms::all); // chronyd drops to its own user
        const std::string config = (m_dir / "chronyd.conf").string();
        std::ofstream(config) << "local stratum 10\nallow 127.0.0.1\nbindaddress 127.0.0.1\nport " << m_port
                              << "\ncmdport 0\npidfile " << (m_dir / "chronyd.pid").string() << "\ndriftfile "
                              << (m_dir / "chronyd.drift").string() << "\n";
        m_pid = ::fork();
        if (m_pid == 0) {
            ::prctl(PR_SET_PDEATHSIG, SIGTERM);
            std::freopen((m_dir / "chronyd.log").c_str(), "w", stderr);
            std::freopen("/dev/null", "w", stdout);
            ::execlp("setpriv", "setpriv", "--inh-caps=-sys_time", "--bounding-set=-sys_time", "--",
                     "chronyd", "-x", "-d", "-f", config.c_str(), static_cast<char*>(nullptr));
            ::_exit(127);
        }
    }
    ~ChronyServer() {
        if (m_pid > 0) {
            ::kill(m_pid, SIGTERM);
            int status = 0;
            for (int i = 0; i < 50 && ::waitpid(m_pid, &status, WNOHANG) == 0; ++i)
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
            if (::waitpid(m_pid, &status, WNOHANG) == 0) {
                ::kill(m_pid, SIGKILL);
                ::waitpid(m_pid, &status, 0);
            }
        }
        if (!m_dir.empty())
            std::filesystem::remove_all(m_dir);
    }
    ChronyServer(const ChronyServer&) = delete;
    ChronyServer& operator=(const ChronyServer&) = delete;
    std::uint16_t Port() const { return m_port; }

private:
    std::uint16_t m_port;
    std::filesystem::path m_dir;
    pid_t m_pid = -1;
};

// Both servers, up and answering as synchronised, for the whole run.
class Servers : LoopbackTimeServer {
public:
    static Servers& Get() {
        static Servers servers;
        return servers;
    }
    std::uint16_t Ours() const { return m_server.Port(); }
    std::uint16_t Chrony() const { return m_chrony.Port(); }
    bool Ready() const { return m_ready; }

private:
    Servers() {
        m_lastCorrected = Now();
        if (!m_server.Start().isEmpty())
            return;
        const Client client(m_chrony.Port());
        for (int i = 0; i < 100 && !m_ready; ++i) {
            const auto sample = Exchange(client);
            m_ready = sample && sample->leap != 3;
            if (!m_ready)
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
    }

    ChronyServer m_chrony;
    bool m_ready = false;
};

double Percentile(std::vector<double> values, double fraction) {
    if (values.empty())
        return NAN;
    const auto at =
        values.begin() + static_cast<std::ptrdiff_t>(fraction * static_cast<double>(values.size() - 1));
    std::nth_element(values.begin(), at, values.end());
    return *at;
}

void BM_OffsetError(benchmark::State& state) {
    Servers& servers = Servers::Get();
    if (!servers.Ready()) {
        state.SkipWithError("chronyd did not come up");
        return;
    }
    const Client ours(servers.Ours());
    const Client chrony(servers.Chrony());
    std::vector<double> oursErrors;
    std::vector<double> chronyErrors;
    // The two are asked in turn, so both see the same load of the machine.
    for (auto _ : state) {
        if (const auto sample = Exchange(ours))
            oursErrors.push_back(std::abs(sample->offset));
        if (const auto sample = Exchange(chrony))
            chronyErrors.push_back(std::abs(sample->offset));
    }
    const double oursMedian = Percentile(oursErrors, 0.5);
    const double chronyMedian = Percentile(chronyErrors, 0.5);
    state.counters["orvane_median_us"] = oursMedian * 1e6;
    state.counters["orvane_p90_us"] = Percentile(oursErrors, 0.9) * 1e6;
    state.counters["chronyd_median_us"] = chronyMedian * 1e6;
    state.counters["chronyd_p90_us"] = Percentile(chronyErrors, 0.9) * 1e6;
    state.counters["median_ratio"] = oursMedian / chronyMedian;
    state.counters["samples"] = static_cast<double>(std::min(oursErrors.size(), chronyErrors.size()));
}
BENCHMARK(BM_OffsetError)->Iterations(4000)->Unit(benchmark::kMillisecond);

struct Load {
    std::uint64_t sent = 0;
    std::uint64_t answered = 0;
    double seconds = 0;
};

// Sends requests for a while at a steady rate (0: as fast as one thread can) and counts the
// answers that come back.
Load RunLoad(std::uint16_t port, std::int64_t ratePerSecond, std::chrono::milliseconds duration) {
    const Client client(port);
    Load load;
    std::atomic<bool> sending{true};
    std::thread receiver([&] {
        char reply[64];
        for (;;) {
            if (!client.WaitReadable(300)) {
                if (!sending)
                    break; // quiet after the last request: all answers are in
                continue;
            }
            while (::recv(client.Fd(), reply, sizeof reply, MSG_DONTWAIT) > 0)
                ++load.answered;
        }
    });
    const SntpPacket request = Request(Now());
    const auto start = Clock::now();
    const auto end = start + duration;
    std::uint64_t due = 0;
    for (auto now = start; now < end; now = Clock::now()) {
        if (ratePerSecond > 0) {
            const auto elapsed = std::chrono::duration_cast<std::chrono::microseconds>(now - start).count();
            due = static_cast<std::uint64_t>(elapsed * ratePerSecond / 1'000'000);
            if (load.sent >= due) {
                std::this_thread::sleep_for(std::chrono::microseconds(200));
                continue;
            }
        } else {
            due = load.sent + 1;
        }
        for (; load.sent < due; ++load.sent)
            client.Send(request);
    }
    load.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    sending = false;
    receiver.join();
    return load;
}

void BM_AnswersPerSecond(benchmark::State& state) {
    Servers& servers = Servers::Get();
    if (!servers.Ready()) {
        state.SkipWithError("chronyd did not come up");
        return;
    }
    const std::uint16_t port = state.range(0) == 0 ? servers.Ours() : servers.Chrony();
    Load load;
    for (auto _ : state)
        load = RunLoad(port, state.range(1), std::chrono::milliseconds(2000));
    state.counters["sent_per_s"] = static_cast<double>(load.sent) / load.seconds;
    state.counters["answers_per_s"] = static_cast<double>(load.answered) / load.seconds;
    state.counters["lost"] = static_cast<double>(load.sent - std::min(load.sent, load.answered));
}
// server 0 is this service, 1 chronyd; rate 0 offers as much as one sending thread can.
BENCHMARK(BM_AnswersPerSecond)
    ->ArgNames({"server", "rate"})
    ->ArgsProduct({{0, 1}, {20000, 50000, 0}})
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

} // namespace
