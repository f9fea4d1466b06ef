#pragma once
// The Hewlett Packard SCPI family: echoes every request, ends each reply with "scpi > ", or with
// "E-nnn> " while its error queue holds an error.
#include "simulator/Dialect.h"
#include "simulator/TextRequests.h"

#include <deque>

namespace sim {

class HewlettPackardDialect : public Dialect {
public:
    std::optional<QByteArray> takeRequest(QByteArray& pending) override;
    Reply answer(const QByteArray& request, ReceiverModel& model) override;
    QByteArray unsolicited(const ReceiverModel& model) override;

    // The status screen the family answers to ":SYSTEM:STATUS?".
    static QByteArray statusScreen(const ReceiverModel& model);
    // The time code in the chosen form ("T1#H..." or "T2...").
    QByteArray timeCode(const ReceiverModel& model) const;

private:
    struct ScpiError {
        int code;
        const char* text;
    };
    // One command's outcome: its answer text (empty for a command without one), or an error.
    std::optional<QByteArray> execute(const ScpiCommand& command, ReceiverModel& model);

    std::deque<ScpiError> m_errors;
    bool m_formF1 = false;
    bool m_continuousTimeCode = false;
    int m_fullDuplex = 1;
    long long m_lastContinuousSecond = -1;
};

} // namespace sim
