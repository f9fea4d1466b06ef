#pragma once
// A capped file's trim in place (no room for a copy): its kept tail moved to its front, a piece at a
// time, and the file cut to its length. Killed or cut off by a power failure part-way, the file
// holds its old length with its front already overwritten; trimming it again from its end would
// throw that front, the oldest kept lines, away. So the move's progress is recorded on the file
// itself, in an extended attribute ("user.orvane.trim": the cut, the length and the bytes moved),
// which needs no free block on ext4 and works on a full tmpfs, and the next append, or the
// program's start, finishes the move from there. Where the file system holds no such attribute the
// move is made without it, and is not crash-safe.
#include <QString>
#include <QtGlobal>

#include <cstdint>
#include <optional>
#include <utility>

namespace platform {

enum class InPlace {
    Cut,
    Failed,
    Postponed, // the file is being read whole (WholeFileRead): not rewritten now, nothing failed
};

struct InPlaceTrim {
    InPlaceTrim(InPlace outcome, QString failure, QString syncFailure = {}, QString unrecorded = {})
        : outcome(outcome), failure(std::move(failure)), syncFailure(std::move(syncFailure)),
          unrecorded(std::move(unrecorded)) {}

    InPlace outcome;
    QString failure;     // the system's reason, and what a move stopped part-way left
    QString syncFailure; // the system's reason for the first of its syncs that failed: the bytes it
                         // moved may not have reached the disk
    QString unrecorded;  // the system's reason why its record could be neither updated nor written
                         // anew: the move went on without one, not crash-safe
};

// A move in place that was interrupted, as its record on the file says.
struct InterruptedMove {
    qint64 cut = 0;         // the kept tail began here
    qint64 length = 0;      // the file's length when the move began
    qint64 moved = 0;       // the bytes that are at the front for sure; the rest is moved again
    std::uint32_t tail = 0; // a check of the file's last bytes then, so a record left on a file
                            // that changed since is known stale
};

// Whether a move's record is synced to the disk at each checkpoint. AsDue: when the move needs few
// checkpoints of large cuts (a large limit's 1/64 of the file); the others are for measuring.
enum class RecordSyncs { AsDue, Always, Never };

// Moves the bytes of the file open on `fd` from `cut` to `length` to its front and cuts it to
// their length. The writes never get ahead of the record by more than the cut, so that moving a
// piece again from the recorded point is harmless: it reads bytes nothing overwrote. The record
// is synced to the disk before the writes it permits, after the data it vouches for, when the
// move needs few checkpoints of large cuts; a move of small cuts is recorded without syncs (safe
// from a kill, not from a power failure: see README), and the file synced once before its cut. A
// failed sync does not stop the move or the cut; `syncFailure` says it. A record the file system
// refuses to update is removed and written anew at the move's present point, before any write
// passes what the old one permitted; only when that fails too does the move go on without it,
// which `unrecorded` says. A move that stops part-way with its front overwritten leaves a record
// of where it stopped wherever one can be written, so that it is finished rather than trimmed anew.
InPlaceTrim TrimInPlace(int fd, qint64 length, qint64 cut, RecordSyncs syncs = RecordSyncs::AsDue);

// What the record on a file says of an interrupted move.
struct RecordedMove {
    std::optional<InterruptedMove> move;
    // Set when the record could not be read (a disk error, no memory): whether a move is owed is
    // not known, and the file must not be trimmed anew meanwhile. The system's reason, and why.
    QString unreadable;
};

// The interrupted move recorded on the file open on `fd`, when there is one that fits the file;
// a record that does not (the file shorter than recorded, changed since, values that make no
// sense) is removed and none given. No record, or a file system that holds none, is no move.
RecordedMove FindInterruptedMove(int fd);

// Finishes the move from its recorded point to the file's present end (bytes appended meanwhile
// are moved too) and cuts the file to its length, its record synced as TrimInPlace says.
InPlaceTrim FinishInterruptedMove(int fd, const InterruptedMove& move,
                                  RecordSyncs syncs = RecordSyncs::AsDue);

} // namespace platform
