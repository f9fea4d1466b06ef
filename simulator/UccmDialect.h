#pragma once
// The UCCM family: SCPI-style commands with an echo, answers closed by "Command Complete" and the
// "UCCM-P > " prompt, a time string on the GPS time scale, and on request a time-of-day message
// every second.
#include "simulator/Dialect.h"
#include "simulator/TextRequests.h"

namespace sim {

class UccmDialect : public Dialect {
public:
    std::optional<QByteArray> takeRequest(QByteArray& pending) override;
    Reply answer(const QByteArray& request, ReceiverModel& model) override;
    QByteArray unsolicited(const ReceiverModel& model) override;

    static QByteArray statusScreen(const ReceiverModel& model);
    // The time-of-day message: hexadecimal bytes, the leap seconds at characters 96 and 97.
    static QByteArray timeOfDayMessage(const ReceiverModel& model);

private:
    std::optional<QByteArray> execute(const ScpiCommand& command, ReceiverModel& model);

    bool m_timeOfDay = false;
    long long m_lastMessageSecond = -1;
};

} // namespace sim
