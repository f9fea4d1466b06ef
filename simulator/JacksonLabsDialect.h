#pragma once
// The Jackson Labs family: SCPI-style commands, an echo that the operator can switch off, replies
// ending in "scpi > ", and "Command Error" for what it does not know.
#include "simulator/Dialect.h"
#include "simulator/TextRequests.h"

namespace sim {

class JacksonLabsDialect : public Dialect {
public:
    std::optional<QByteArray> takeRequest(QByteArray& pending) override;
    Reply answer(const QByteArray& request, ReceiverModel& model) override;

    static QByteArray statusScreen(const ReceiverModel& model);

private:
    std::optional<QByteArray> execute(const ScpiCommand& command, ReceiverModel& model);

    bool m_echo = true;
};

} // namespace sim
