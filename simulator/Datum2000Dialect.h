#pragma once
// The Datum 2000 family: three-letter queries ("STS?", "CVT?0"), no echo, every answer line
// tagged with its query ("CVT: ..."), answers ending in "EOF" and a line end, refusals in ETX.
#include "simulator/Dialect.h"

namespace sim {

class Datum2000Dialect : public Dialect {
public:
    std::optional<QByteArray> takeRequest(QByteArray& pending) override;
    Reply answer(const QByteArray& request, ReceiverModel& model) override;

    static QByteArray statusScreen(const ReceiverModel& model);
    static QByteArray satelliteRecords(const ReceiverModel& model);
};

} // namespace sim
