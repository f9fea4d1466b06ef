#pragma once
// One running Set time. It raises the user-interface thread to time-critical priority for the
// sequence and, however the sequence ends (clock set, abandoned, Stop), puts the priority back and
// leaves the flags at rest.
#include "app/ViewState.h"
#include "platform/ThreadPriority.h"

#include <QString>
#include <cstdint>
#include <functional>

class SetTimeSession {
public:
    using Report = std::function<void(const QString&)>;

    // Longest a Set time may wait for the receiver's time to change: a receiver's second changes
    // within one second, so a longer wait means the replies will never change.
    static constexpr std::uint32_t kGiveUpMs = 5000;

    SetTimeSession(TimeState& state, Report report, std::uint32_t startTick);
    ~SetTimeSession();
    SetTimeSession(const SetTimeSession&) = delete;
    SetTimeSession& operator=(const SetTimeSession&) = delete;

    bool Expired(std::uint32_t nowTick) const { return nowTick - m_startTick > kGiveUpMs; }

private:
    TimeState& m_state;
    Report m_report;
    platform::ThreadScheduling m_saved;
    bool m_raised = false;
    std::uint32_t m_startTick;
};
