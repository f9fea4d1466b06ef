#pragma once
// How a capped file (data log, track file, user-window and debug files) is cut back: when a trim
// is due, and how much of its newest content it keeps. Each file's rule is data; one routine
// (CappedFile) applies them all.
#include <QtGlobal>

#include <limits>

namespace platform {

enum class KeptTail {
    AtMost,  // the longest tail of whole units that is no longer than the kept size; lines end in LF
             // or in a CR that no LF follows, and where none ends in that tail, it is the kept size
             // to the byte
    AtLeast, // the shortest tail of whole lines (ended by LF) that is at least the kept size; the
             // file's first byte never ends a line for it, and without such a line end nothing is cut
};

struct TrimRule {
    static constexpr qint64 kNever = std::numeric_limits<qint64>::max();

    qint64 triggerBytes = kNever; // a file longer than this is trimmed before the append
    qint64 keptBytes = 0;
    KeptTail kept = KeptTail::AtMost;
    qint64 recordBytes = 0; // 0: lines; otherwise records of this size from the start

    bool Limits() const { return triggerBytes != kNever; }
    // About how far the file grows from one trim to the next.
    qint64 Step() const { return triggerBytes - keptBytes; }
};

// Limits up to this size keep each file's own small-limit rule; past it a trim keeps at most the
// limit less 1/64 of it, so a trim comes once per 1/64 of the limit's growth.
constexpr qint64 kLargeLimitBytes = 1024 * 1024;
constexpr qint64 kLargeLimitCutShare = 64;
// The smallest cut of a large limit's trims; the small limits' trims cut a kilobyte or less.
constexpr qint64 kSmallestLargeLimitCut = kLargeLimitBytes / kLargeLimitCutShare;
constexpr qint64 KeptUnderLargeLimit(qint64 limitBytes) {
    return limitBytes - limitBytes / kLargeLimitCutShare;
}

} // namespace platform
