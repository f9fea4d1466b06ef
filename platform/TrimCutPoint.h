#pragma once
// Where a capped file's kept tail begins, found by reading only the bytes around that point.
#include "platform/TrimRule.h"

#include <QString>
#include <optional>

namespace platform {

struct CutPoint {
    std::optional<qint64> offset; // where the kept tail starts; none: the file is left as it is
    QString failure;              // the system's reason when the file could not be read
};

// The cut point of the file open on `fd`, `length` bytes long (whole records, for a rule of
// records), for the rule's kept tail. Lines are searched a piece at a time from the kept size's
// boundary, so a trim of a file of any length reads little more than the line it cuts through.
CutPoint FindCutPoint(int fd, qint64 length, const TrimRule& rule);

} // namespace platform
