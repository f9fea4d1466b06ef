#pragma once
// A time server bound to 127.0.0.1, with the state it shares held here as the view would hold
// it: port open, service on, never set, the default intervals.
#include "timeservice/TimeServer.h"

#include <arpa/inet.h>
#include <atomic>

struct LoopbackTimeServer {
    std::atomic<bool> m_portOpen{true};
    std::atomic<bool> m_enabled{true};
    std::atomic<NtpTimestamp> m_lastCorrected{0};
    std::atomic<int> m_unreliableAfter{86400};
    std::atomic<int> m_port{0};
    std::atomic<int> m_interval{20};
    TimeServer m_server{{m_portOpen, m_enabled, m_lastCorrected, m_unreliableAfter, m_port, m_interval},
                        INADDR_LOOPBACK};
};
