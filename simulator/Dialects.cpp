// The family that plays each receiver type: one line per family.
#include "simulator/Datum2000Dialect.h"
#include "simulator/Dialect.h"
#include "simulator/HewlettPackardDialect.h"
#include "simulator/JacksonLabsDialect.h"
#include "simulator/ProteusDialect.h"
#include "simulator/UccmDialect.h"

namespace sim {

std::unique_ptr<Dialect> MakeDialect(Family family) {
    switch (family) {
    case Family::HewlettPackard:
        return std::make_unique<HewlettPackardDialect>();
    case Family::Datum2000:
        return std::make_unique<Datum2000Dialect>();
    case Family::JacksonLabs:
        return std::make_unique<JacksonLabsDialect>();
    case Family::Uccm:
        return std::make_unique<UccmDialect>();
    case Family::Proteus:
        return std::make_unique<ProteusDialect>();
    }
    return nullptr;
}

} // namespace sim
