#pragma once
// The system's own words for an error number, as the program says them in its failure lines.
#include <QString>

namespace platform {

// strerror's text for `error` ("No space left on device").
QString SystemReason(int error);

} // namespace platform
