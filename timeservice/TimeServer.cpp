#include "timeservice/TimeServer.h"

#include "platform/ThreadPriority.h"
#include "platform/WallClock.h"
#include "timeservice/NtpTime.h"
#include "timeservice/SntpPacket.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {
// Requests answered in one go before the flags are looked at again.
constexpr int kMaxAnswersPerWake = 256;

void CloseFd(int& fd) {
    if (fd >= 0)
        ::close(fd);
    fd = -1;
}
} // namespace

QString TimeServerBindFailure(int port) {
    if (port > 0 && port < 1024)
        return QStringLiteral(
                   "Failed to bind socket for time server. Port %1 is below 1024 and needs privilege "
                   "(CAP_NET_BIND_SERVICE), or it may be in use.")
            .arg(port);
    return QStringLiteral("Failed to bind socket for time server. The specified port may be in use.");
}

TimeServer::TimeServer(const SntpServerState& state, in_addr_t bindAddress)
    : m_state(state), m_bindAddress(bindAddress) {}

TimeServer::~TimeServer() {
    Stop();
}

QString TimeServer::Start() {
    if (m_thread.joinable()) {
        if (m_running)
            return {};
        Stop(); // the worker ended by itself: collect it before starting again
    }
    m_socket = ::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    m_wake = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (m_socket < 0 || m_wake < 0) {
        CloseFd(m_socket);
        CloseFd(m_wake);
        return QStringLiteral("Failed to create socket for time server.");
    }
    // Arrival times stamped by the kernel, so that the time spent waiting is not counted.
    const int on = 1;
    ::setsockopt(m_socket, SOL_SOCKET, SO_TIMESTAMPNS, &on, sizeof on);

    const int port = m_state.port.load();
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(m_bindAddress);
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    if (port < 0 || port > 65535 ||
        ::bind(m_socket, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        CloseFd(m_socket);
        CloseFd(m_wake);
        return TimeServerBindFailure(port);
    }
    socklen_t length = sizeof address;
    ::getsockname(m_socket, reinterpret_cast<sockaddr*>(&address), &length);
    m_boundPort = ntohs(address.sin_port);

    m_stopRequested = false;
    m_running = true;
    m_thread = std::thread([this] { TimeServerThread(); });
    return {};
}

void TimeServer::Stop() {
    if (m_thread.joinable()) {
        m_stopRequested = true;
        const std::uint64_t one = 1;
        [[maybe_unused]] const ssize_t written = ::write(m_wake, &one, sizeof one);
        m_thread.join();
    }
    CloseFd(m_socket);
    CloseFd(m_wake);
    m_running = false;
}

void TimeServer::TimeServerThread() {
    // Above normal where permitted; a refusal leaves the thread as it is.
    platform::CurrentThreadScheduler().raise(platform::ThreadPriority::AboveNormal);
    while (!m_stopRequested && m_state.portOpen && m_state.enabled) {
        // The wait is bounded by SNTP/Interval, so a closed port or a switched-off service is
        // noticed within one interval even without Stop.
        pollfd waits[2] = {{m_socket, POLLIN, 0}, {m_wake, POLLIN, 0}};
        const int timeoutMs = std::clamp(m_state.interval.load(), 1, 1000);
        if (::poll(waits, 2, timeoutMs) <= 0)
            continue;
        if (waits[1].revents != 0)
            break;
        if (waits[0].revents & POLLIN)
            AnswerWaitingRequests();
    }
    m_running = false;
}

void TimeServer::AnswerWaitingRequests() {
    for (int answered = 0; answered < kMaxAnswersPerWake; ++answered) {
        std::uint8_t request[kSntpRequestMax];
        alignas(cmsghdr) char control[CMSG_SPACE(sizeof(timespec))];
        sockaddr_in sender{};
        iovec buffer{request, sizeof request};
        msghdr message{};
        message.msg_name = &sender;
        message.msg_namelen = sizeof sender;
        message.msg_iov = &buffer;
        message.msg_iovlen = 1;
        message.msg_control = control;
        message.msg_controllen = sizeof control;
        // MSG_TRUNC makes the call return the datagram's real length.
        const ssize_t length = ::recvmsg(m_socket, &message, MSG_DONTWAIT | MSG_TRUNC);
        if (length < 0) {
            if (errno == EINTR)
                continue;
            return; // nothing more waiting (or a transient error: the next wake tries again)
        }
        if ((message.msg_flags & MSG_TRUNC) ||
            !IsAnswerableSntpRequest({request, std::min(static_cast<std::size_t>(length), sizeof request)}))
            continue;

        timespec arrival{};
        bool stamped = false;
        for (cmsghdr* c = CMSG_FIRSTHDR(&message); c; c = CMSG_NXTHDR(&message, c)) {
            if (c->cmsg_level == SOL_SOCKET && c->cmsg_type == SCM_TIMESTAMPNS) {
                std::memcpy(&arrival, CMSG_DATA(c), sizeof arrival);
                stamped = true;
            }
        }
        if (!stamped)
            arrival = platform::CurrentWallClock().now();

        SntpPacket reply = BuildSntpReply({request, static_cast<std::size_t>(length)}, TimespecToNtp(arrival),
                                          m_state.lastCorrected.load(), m_state.unreliableAfter.load());
        StampSntpTransmit(reply, TimespecToNtp(platform::CurrentWallClock().now()));
        // A failed send loses this answer only; the service goes on for every other client.
        // Counted before it goes, so that whoever receives it finds it counted.
        ++m_answersSent;
        ::sendto(m_socket, reply.data(), reply.size(), MSG_DONTWAIT,
                 reinterpret_cast<const sockaddr*>(&sender), message.msg_namelen);
    }
}
