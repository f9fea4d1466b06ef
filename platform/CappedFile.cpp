#include "platform/CappedFile.h"

#include "platform/DescriptorIo.h"
#include "platform/FileAccess.h"
#include "platform/FileWriting.h"
#include "platform/InPlaceTrim.h"
#include "platform/SaveFile.h"
#include "platform/SystemReason.h"
#include "platform/TickCount.h"
#include "platform/TrimCutPoint.h"

#include <algorithm>
#include <cstdint>
#include <map>
#include <mutex>
#include <sys/statvfs.h>
#include <unistd.h>

namespace platform {

namespace {

constexpr qint64 kCopyPiece = 1024 * 1024;
constexpr std::uint32_t kTrimRetryMs = 60 * 1000;
// A copy is made only when it leaves at least this share of its size free beside it: for the file
// system's own records of it, and for the other files' lines meanwhile.
constexpr qint64 kCopyHeadroomShare = 64;

// A trim that failed is owed: not tried again on every append, which would fill a nearly full
// disk with the copy over and over, but once the file has grown by another step or a minute later.
struct OwedTrim {
    qint64 length = 0; // the file's length when it failed
    std::uint32_t failedAt = 0;
    QString reason;
};

class OwedTrims {
public:
    // The reason of a trim owed and not yet to be tried again.
    std::optional<QString> Waiting(const QString& path, qint64 length, qint64 step) {
        const std::lock_guard lock(m_mutex);
        const auto owed = m_owed.find(path);
        if (owed == m_owed.end())
            return std::nullopt;
        const bool grown = length >= owed->second.length + std::max<qint64>(step, 1);
        const bool minutePassed = GetTickCount() - owed->second.failedAt >= kTrimRetryMs;
        if (grown || minutePassed)
            return std::nullopt;
        return owed->second.reason;
    }
    void Failed(const QString& path, qint64 length, const QString& reason) {
        const std::lock_guard lock(m_mutex);
        m_owed[path] = {length, GetTickCount(), reason};
    }
    void Done(const QString& path) {
        const std::lock_guard lock(m_mutex);
        m_owed.erase(path);
    }

private:
    std::mutex m_mutex;
    std::map<QString, OwedTrim> m_owed;
};

OwedTrims& Owed() {
    static OwedTrims owed;
    return owed;
}

// A copy of the file's bytes from `offset` to `length`, a piece at a time.
struct TailCopy {
    bool done = false;
    bool readFailed = false; // the file itself could not be read, not the copy written
    QString failure;         // the system's reason
};

// Copies the bytes of `from` from `offset` to `length` into `to`, at `to`'s position.
TailCopy CopyTail(int from, qint64 offset, qint64 length, int to) {
    TailCopy copy;
    QByteArray piece;
    for (qint64 at = offset; at < length; at += kCopyPiece) {
        const qint64 size = std::min(kCopyPiece, length - at);
        if (const int error = ReadFullyAt(from, at, size, piece); error != 0 || piece.size() != size) {
            copy.readFailed = true;
            copy.failure = error != 0 ? SystemReason(error) : QStringLiteral("the file shrank");
            return copy;
        }
        if (const int error = WriteFully(to, piece.constData(), size); error != 0) {
            copy.failure = SystemReason(error);
            return copy;
        }
    }
    copy.done = true;
    return copy;
}

// Whether the file system that holds the file open on `fd` has room for a copy of `bytes` bytes
// beside it. Room that cannot be told counts as room: the copy's own failure then decides.
bool RoomForCopy(int fd, qint64 bytes) {
    struct statvfs disk {};
    if (::fstatvfs(fd, &disk) != 0)
        return true;
    const qint64 free = static_cast<qint64>(disk.f_bavail) * static_cast<qint64>(disk.f_frsize);
    return free - bytes / kCopyHeadroomShare >= bytes;
}

enum class Trim {
    Failed,
    Replaced,   // the bytes are in too
    CutInPlace, // the bytes still to be appended
    Postponed,  // the file is being read whole: not trimmed in place now, and nothing failed
};

enum class Copy { Replaced, NotPlaced, FileUnreadable };

// The kept tail from `cut` on, followed by the bytes, through a save file that replaces the file.
// NotPlaced when the copy could not be made or put in the file's place; FileUnreadable when the file
// itself could not be read.
Copy ReplaceWithTail(int fd, const QString& path, qint64 length, qint64 cut, QByteArrayView bytes,
                     QString* reason) {
    SaveFile replacement(path);
    if (!replacement.Open()) {
        *reason = replacement.ErrorString();
        return Copy::NotPlaced;
    }
    const TailCopy copy = CopyTail(fd, cut, length, replacement.Handle());
    if (!copy.done) {
        *reason = copy.failure; // the temporary file goes with `replacement`
        return copy.readFailed ? Copy::FileUnreadable : Copy::NotPlaced;
    }
    if (const int error = WriteFully(replacement.Handle(), bytes.data(), bytes.size()); error != 0) {
        *reason = SystemReason(error);
        return Copy::NotPlaced;
    }
    if (replacement.Commit())
        return Copy::Replaced;
    *reason = replacement.ErrorString();
    return Copy::NotPlaced;
}

// Moves the kept tail from `cut` on to the front of the file and cuts it to its length: no room
// needed, and where the file system holds the move's record, a kill or power failure part-way
// loses nothing (InPlaceTrim). A failure's reason says what it left.
Trim CutInPlace(int fd, qint64 length, qint64 cut, RecordSyncs syncs, QString* reason, TrimSyncs* trimSyncs) {
    const InPlaceTrim trim = TrimInPlace(fd, length, cut, syncs);
    *reason = trim.failure;
    trimSyncs->failure = trim.syncFailure;
    trimSyncs->unrecorded = trim.unrecorded;
    switch (trim.outcome) {
    case InPlace::Cut:
        return Trim::CutInPlace;
    case InPlace::Postponed:
        return Trim::Postponed;
    case InPlace::Failed:
        break;
    }
    return Trim::Failed;
}

// How a trim in place of the rule's file syncs its record. The small limits' trims cut a kilobyte or
// less, so their moves have hundreds of checkpoints, too many to sync each without holding the
// window on a slow disk; they are not synced each even when the file has grown far past its limit
// (its trims failed meanwhile) and the cut happens to be large.
RecordSyncs InPlaceSyncs(const TrimRule& rule) {
    return rule.Step() >= kSmallestLargeLimitCut ? RecordSyncs::AsDue : RecordSyncs::Never;
}

// Cuts the file back to its kept tail from `cut` on. Through a save file when the disk has room
// for that copy; in place when it has not, or when the copy cannot be made or put in place (no
// room after all, a quota, a folder that refuses new files, a refused rename).
Trim CutBack(QFile& file, const QString& path, qint64 length, qint64 cut, RecordSyncs syncs,
             QByteArrayView bytes, QString* reason, TrimSyncs* trimSyncs) {
    const int fd = file.handle();
    if (RoomForCopy(fd, length - cut + bytes.size())) {
        QString copyFailure;
        switch (ReplaceWithTail(fd, path, length, cut, bytes, &copyFailure)) {
        case Copy::Replaced:
            return Trim::Replaced;
        case Copy::FileUnreadable:
            *reason = copyFailure;
            return Trim::Failed;
        case Copy::NotPlaced:
            break;
        }
    }
    return CutInPlace(fd, length, cut, syncs, reason, trimSyncs);
}

} // namespace

CappedAppend AppendCapped(QFile& file, const QString& path, QByteArrayView bytes, const TrimRule& rule) {
    CappedAppend result;
    const int fd = file.handle();
    // A trim in place that a kill or power failure interrupted is finished first: trimmed anew from
    // its end, the file would lose the kept lines already moved to its front. Until it is finished,
    // the file is not trimmed anew; nor while its record cannot be read, which may name such a move.
    const RecordedMove recorded = FindInterruptedMove(fd);
    bool moveOwed = recorded.move || !recorded.unreadable.isEmpty();
    result.trimFailure = recorded.unreadable;
    if (const auto& interrupted = recorded.move) {
        const qint64 length = file.size();
        if (const auto waiting = Owed().Waiting(path, length, rule.Step())) {
            result.trimFailure = *waiting;
        } else {
            const InPlaceTrim finished = FinishInterruptedMove(fd, *interrupted, InPlaceSyncs(rule));
            result.trimFailure = finished.failure;
            result.trimSyncs.unrecorded = finished.unrecorded;
            moveOwed = finished.outcome != InPlace::Cut;
            if (finished.outcome == InPlace::Cut) {
                Owed().Done(path);
                result.trimSyncs = {true, finished.syncFailure, finished.unrecorded};
            } else if (finished.outcome == InPlace::Failed) {
                Owed().Failed(path, length, finished.failure);
            }
        }
    }
    qint64 length = file.size();
    if (rule.recordBytes > 0 && length % rule.recordBytes != 0) {
        length -= length % rule.recordBytes;
        if (::ftruncate(fd, length) != 0) {
            result.failure = SystemReason(errno);
            return result;
        }
    }
    if (!moveOwed && rule.Limits() && length > rule.triggerBytes) {
        if (const auto waiting = Owed().Waiting(path, length, rule.Step())) {
            result.trimFailure = *waiting;
        } else if (const CutPoint cut = FindCutPoint(fd, length, rule); !cut.failure.isEmpty()) {
            result.trimFailure = cut.failure;
        } else if (cut.offset) {
            TrimSyncs trimSyncs;
            const Trim trim = CutBack(file, path, length, *cut.offset, InPlaceSyncs(rule), bytes,
                                      &result.trimFailure, &trimSyncs);
            // A finish before it keeps its own reasons: each is said once.
            if (result.trimSyncs.failure.isEmpty())
                result.trimSyncs.failure = trimSyncs.failure;
            if (result.trimSyncs.unrecorded.isEmpty())
                result.trimSyncs.unrecorded = trimSyncs.unrecorded;
            switch (trim) {
            case Trim::Replaced:
                Owed().Done(path);
                result.appended = true;
                result.trimSyncs.trimmed = true;
                return result;
            case Trim::CutInPlace:
                Owed().Done(path);
                result.trimSyncs.trimmed = true;
                break;
            case Trim::Failed:
                Owed().Failed(path, length, result.trimFailure);
                break;
            case Trim::Postponed: // tried again at the next append
                break;
            }
        }
    }
    result.appended = AppendWhole(file, bytes, &result.failure);
    if (!result.appended && !result.trimFailure.isEmpty()) // all that a caller says then
        result.failure += QStringLiteral(" (its trim failed too: %1)").arg(result.trimFailure);
    return result;
}

TrimSyncs FinishInterruptedTrim(const QString& path, const TrimRule& rule) {
    QFile file;
    if (!OpenRegularFile(file, path, QIODevice::ReadWrite | QIODevice::ExistingOnly))
        return {};
    const auto move = FindInterruptedMove(file.handle()).move;
    if (!move)
        return {};
    const InPlaceTrim finished = FinishInterruptedMove(file.handle(), *move, InPlaceSyncs(rule));
    if (finished.outcome != InPlace::Cut)
        return {};
    return {true, finished.syncFailure, finished.unrecorded};
}

} // namespace platform
