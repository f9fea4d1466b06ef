#pragma once
// UDP on 127.0.0.1, for talking to the time service from tests and benchmarks.
#include <arpa/inet.h>
#include <cstdint>
#include <optional>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

inline sockaddr_in LoopbackAddress(std::uint16_t port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    return address;
}

// A socket that sends to one port of 127.0.0.1, or with `bind` holds a free port of its own.
class LoopbackUdpSocket {
public:
    explicit LoopbackUdpSocket(std::uint16_t serverPort, bool bind = false)
        : m_fd(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0)), m_server(LoopbackAddress(serverPort)) {
        if (bind) {
            sockaddr_in own = LoopbackAddress(0);
            socklen_t length = sizeof own;
            if (::bind(m_fd, reinterpret_cast<const sockaddr*>(&own), sizeof own) == 0 &&
                ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&own), &length) == 0)
                m_ownPort = ntohs(own.sin_port);
        }
    }
    ~LoopbackUdpSocket() { ::close(m_fd); }
    LoopbackUdpSocket(const LoopbackUdpSocket&) = delete;
    LoopbackUdpSocket& operator=(const LoopbackUdpSocket&) = delete;

    int Fd() const { return m_fd; }
    // The port bound with `bind`, 0 if there is none.
    std::uint16_t OwnPort() const { return m_ownPort; }

    template <class Bytes> bool Send(const Bytes& datagram) const {
        return ::sendto(m_fd, datagram.data(), datagram.size(), 0,
                        reinterpret_cast<const sockaddr*>(&m_server),
                        sizeof m_server) == static_cast<ssize_t>(datagram.size());
    }
    bool WaitReadable(int timeoutMs) const {
        pollfd wait{m_fd, POLLIN, 0};
        return ::poll(&wait, 1, timeoutMs) > 0;
    }
    // The next datagram, or nothing within the time-out.
    std::optional<std::vector<std::uint8_t>> Receive(int timeoutMs) const {
        if (!WaitReadable(timeoutMs))
            return std::nullopt;
        std::vector<std::uint8_t> datagram(2048);
        const ssize_t length = ::recv(m_fd, datagram.data(), datagram.size(), 0);
        if (length < 0)
            return std::nullopt;
        datagram.resize(static_cast<std::size_t>(length));
        return datagram;
    }

private:
    int m_fd;
    sockaddr_in m_server;
    std::uint16_t m_ownPort = 0;
};
