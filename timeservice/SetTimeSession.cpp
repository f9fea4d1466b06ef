#include "timeservice/SetTimeSession.h"

SetTimeSession::SetTimeSession(TimeState& state, Report report, std::uint32_t startTick)
    : m_state(state), m_report(std::move(report)), m_startTick(startTick) {
    m_state.m_bSetTimePending = true;
    m_state.m_bSetTimeEnabled = false;
    m_state.m_strSetTimeReply.clear();
    platform::ThreadScheduler& scheduler = platform::CurrentThreadScheduler();
    m_saved = scheduler.current();
    m_raised = scheduler.raise(platform::ThreadPriority::TimeCritical);
    if (!m_raised)
        m_report(QStringLiteral("Failed to set thread priority"));
}

SetTimeSession::~SetTimeSession() {
    if (m_raised && !platform::CurrentThreadScheduler().restore(m_saved))
        m_report(QStringLiteral("Failed to reset thread priority"));
    m_state.m_bSetTimePending = false;
    m_state.m_bSetTimeEnabled = true;
    m_state.m_strSetTimeReply.clear();
}
