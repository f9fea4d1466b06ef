#include "platform/SystemReason.h"

#include <cstring>

namespace platform {

QString SystemReason(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

} // namespace platform
