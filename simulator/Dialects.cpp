// The family that plays each receiver type: one line per family.
#include "simulator/Dialect.h"
#include "simulator/HewlettPackardDialect.h"

namespace sim {

std::unique_ptr<Dialect> makeDialect(Family family) {
    switch (family) {
    case Family::HewlettPackard:
        return std::make_unique<HewlettPackardDialect>();
    case Family::Datum2000:
    case Family::Proteus:
    case Family::JacksonLabs:
    case Family::Uccm:
        break;
    }
    return nullptr;
}

} // namespace sim
