#pragma once
// One receiver family's side of the serial dialogue: how it frames the requests it receives and
// what it answers. Each family is one class of its own; the simulator core knows only this
// interface and the factory below.
#include "simulator/ReceiverModel.h"

#include <QByteArray>
#include <memory>
#include <optional>

namespace sim {

enum class Family { HewlettPackard = 0, Datum2000 = 1, Proteus = 2, JacksonLabs = 3, Uccm = 4 };

// One answer as the receiver sends it: the echo of the request, the answer proper and the prompt
// that ends it. The parts are kept apart so that misbehaviours can cut a reply before its prompt.
struct Reply {
    QByteArray echo;
    QByteArray body;
    QByteArray prompt;

    QByteArray whole() const { return echo + body + prompt; }
};

class Dialect {
public:
    virtual ~Dialect() = default;

    // Takes one complete request (with its terminator, exactly as received) off the front of the
    // bytes received so far; nothing while the request is still incomplete. A dialect may drop
    // bytes it cannot use, as a receiver's input buffer would.
    virtual std::optional<QByteArray> takeRequest(QByteArray& pending) = 0;

    // The answer to one request; may change the receiver's state (holdover commands and the like).
    virtual Reply answer(const QByteArray& request, ReceiverModel& model) = 0;

    // What the receiver sends on its own, without being asked (continuous time-of-day messages).
    // Called several times a second; most families send nothing.
    virtual QByteArray unsolicited(const ReceiverModel& model) {
        (void)model;
        return {};
    }
};

// The dialect of a family; nullptr for a family the simulator cannot play.
std::unique_ptr<Dialect> MakeDialect(Family family);

} // namespace sim
