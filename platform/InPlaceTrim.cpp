#include "platform/InPlaceTrim.h"

#include "platform/DescriptorIo.h"
#include "platform/SystemReason.h"
#include "platform/TrimRule.h"
#include "platform/WholeFileReads.h"

#include <QByteArray>
#include <QList>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace platform {

namespace {

constexpr char kRecordName[] = "user.orvane.trim";
// Fields of a fixed width, so the record keeps its size as the move advances: on ext4 it stays in
// the inode's own room, which a full disk still has.
constexpr int kFieldDigits = 12;
constexpr qsizetype kMostRecordBytes = 128;
constexpr int kRecordFields = 4;
constexpr int kHexBase = 16;
constexpr qint64 kMostPiece = 1024 * 1024;
// The record checks the file's last bytes as they were when the move began: no write of the move
// reaches them (it stays short of the end by the cut), but a file that was cut and grew again, or
// was rewritten, has others there.
constexpr qint64 kTailCheckBytes = 64;
// A move syncs each of its checkpoints (two syncs) when it has at most this many, each of a cut
// of at least the smallest large limit's 1/64: the large limits' moves. The small cuts of limits
// of 1 MB and less, 30 to 1,800 checkpoints, would hold the interface thread for a second or more
// on a slow disk (bench/in_place_trim_bench.cpp); their record follows the writes without syncs:
// safe from a kill, not from a power failure.
constexpr qint64 kMostSyncedCheckpoints = 100;

constexpr std::uint32_t kFnvOffset = 2166136261u;
constexpr std::uint32_t kFnvPrime = 16777619u;

// What a trim in place that stopped part-way left, after the system's reason.
const QString kStoppedPartWay = QStringLiteral(
    ", part-way through a trim in place: the file keeps its newest lines whole, but some of its "
    "oldest are overwritten with copies of newer ones");
// Why the file is not trimmed while its record cannot be read, after the system's reason.
const QString kRecordUnreadable = QStringLiteral(
    ", reading the record of an interrupted trim in place: the file is not trimmed until the record "
    "can be read, so that the kept lines the trim already moved to its front are not lost");

std::uint32_t Fnv1a(const QByteArray& bytes) {
    std::uint32_t hash = kFnvOffset;
    for (const char byte : bytes)
        hash = (hash ^ static_cast<std::uint8_t>(byte)) * kFnvPrime;
    return hash;
}

// The check of the last bytes of a file `length` long that a move from `cut` leaves untouched. 0,
// or the error number (EIO for a file shorter than that).
int TailCheck(int fd, qint64 length, qint64 cut, std::uint32_t* check) {
    const qint64 size = std::min(kTailCheckBytes, cut);
    QByteArray bytes;
    if (const int error = ReadFullyAt(fd, length - size, size, bytes); error != 0)
        return error;
    if (bytes.size() != size)
        return EIO;
    *check = Fnv1a(bytes);
    return 0;
}

QByteArray FormatRecord(const InterruptedMove& move) {
    char text[kMostRecordBytes];
    const int size =
        std::snprintf(text, sizeof text, "%0*lld %0*lld %0*lld %08x", kFieldDigits,
                      static_cast<long long>(move.cut), kFieldDigits, static_cast<long long>(move.length),
                      kFieldDigits, static_cast<long long>(move.moved), static_cast<unsigned>(move.tail));
    return QByteArray(text, std::clamp<int>(size, 0, sizeof text - 1));
}

std::optional<InterruptedMove> ParseRecord(const QByteArray& value) {
    const QList<QByteArray> fields = value.split(' ');
    if (fields.size() != kRecordFields)
        return std::nullopt;
    bool numbers[kRecordFields] = {};
    const InterruptedMove move{fields[0].toLongLong(&numbers[0]), fields[1].toLongLong(&numbers[1]),
                               fields[2].toLongLong(&numbers[2]), fields[3].toUInt(&numbers[3], kHexBase)};
    const bool fits = std::all_of(std::begin(numbers), std::end(numbers), [](bool n) { return n; }) &&
                      move.cut > 0 && move.length > move.cut && move.moved >= 0 &&
                      move.moved <= move.length - move.cut;
    return fits ? std::optional(move) : std::nullopt;
}

bool Synced(RecordSyncs syncs, qint64 toMove, qint64 cut) {
    if (syncs != RecordSyncs::AsDue)
        return syncs == RecordSyncs::Always;
    return cut >= kSmallestLargeLimitCut && toMove / cut <= kMostSyncedCheckpoints;
}

// The record of a move on its file: set before its first write, advanced as it goes, removed
// once the file is cut.
class MoveRecord {
public:
    // `held`: a record on the file vouches for `move` already (an interrupted move being finished).
    MoveRecord(int fd, const InterruptedMove& move, bool synced, bool held)
        : m_fd(fd), m_move(move), m_synced(synced), m_held(held) {}

    // Records that the first `moved` bytes are in place. Synced: the data it vouches for reaches
    // the disk first, and the record itself before the writes it permits. A failed sync stops
    // nothing (a disk that fails its syncs keeps no promise of its own): SyncError keeps it.
    // A record the file system refuses to replace (tmpfs charges the new value before it frees
    // the old; a quota) is removed and written anew: room for one record is enough. Empty, or the
    // reason it failed; then Held() says whether the record still vouches for its old point (it
    // could be neither updated nor removed) or none is left, and Unrecorded() keeps the reason.
    QString Set(qint64 moved) {
        Sync();
        m_move.moved = moved;
        const QByteArray value = FormatRecord(m_move);
        int error = Write(value);
        if (error != 0 && m_held) {
            if (const int removal = Remove(); removal != 0)
                return SystemReason(error) +
                       QStringLiteral(" (the trim's record could be neither updated nor removed: %1)")
                           .arg(SystemReason(removal));
            error = Write(value);
            if (error != 0 && m_unrecorded.isEmpty())
                m_unrecorded = SystemReason(error);
        }
        if (error != 0)
            return SystemReason(error);
        Sync();
        return {};
    }
    bool Held() const { return m_held; }
    // Why a record that was held had to go, the move going on without it; empty while none did.
    const QString& Unrecorded() const { return m_unrecorded; }
    // The error number of the first of its syncs that failed; 0 while none did.
    int SyncError() const { return m_syncError; }
    // 0 once there is none, or the error number. A record left by a kill between the cut and this
    // is stale (the file is shorter than it says) and removed when next found.
    int Remove() {
        if (::fremovexattr(m_fd, kRecordName) != 0 && errno != ENODATA)
            return errno;
        m_held = false;
        return 0;
    }

private:
    int Write(const QByteArray& value) {
        if (::fsetxattr(m_fd, kRecordName, value.constData(), static_cast<size_t>(value.size()), 0) != 0)
            return errno;
        m_held = true;
        return 0;
    }
    void Sync() {
        if (!m_synced)
            return;
        if (const int error = SyncToDisk(m_fd); m_syncError == 0)
            m_syncError = error;
    }

    int m_fd;
    InterruptedMove m_move;
    bool m_synced;
    bool m_held;
    QString m_unrecorded;
    int m_syncError = 0;
};

// Moves the bytes from `move.cut + move.moved` to `end` to `move.moved` on, and cuts the file to
// `end - move.cut`. The writes never pass the recorded point by more than the cut: the record is
// advanced first; once it cannot be, the move goes on without it. `record`: none where the file's
// last bytes could not be read for it. `partWay`: the file's front is overwritten already.
InPlaceTrim MoveAndCut(int fd, const InterruptedMove& move, qint64 end, MoveRecord* record, bool partWay) {
    const qint64 kept = end - move.cut;
    const qint64 piece = std::min(kMostPiece, move.cut);
    qint64 moved = move.moved;
    qint64 permitted = moved + move.cut; // past it lie bytes still to be moved from the record
    // Stopped with its front overwritten and no record left, the move records where it stopped
    // where it can: trimmed anew from its end, the file would lose the kept lines already moved.
    // Moving again from there reads only bytes nothing overwrote, as no write passed it by more
    // than a piece, which is at most the cut.
    const auto stopped = [&](const QString& reason) {
        if (partWay && record && !record->Held())
            record->Set(moved);
        return InPlaceTrim{InPlace::Failed,
                           partWay ? reason + kStoppedPartWay : reason,
                           {},
                           record ? record->Unrecorded() : QString()};
    };
    QByteArray bytes;
    while (moved < kept) {
        const qint64 size = std::min(piece, kept - moved);
        if (record && record->Held() && moved + size > permitted) {
            const QString refused = record->Set(moved);
            if (refused.isEmpty())
                permitted = moved + move.cut;
            else if (record->Held()) // it vouches for its old point still: no write may pass it
                return stopped(refused);
        }
        if (const int error = ReadFullyAt(fd, move.cut + moved, size, bytes);
            error != 0 || bytes.size() != size)
            return stopped(error != 0 ? SystemReason(error) : QStringLiteral("the file shrank"));
        qint64 written = 0;
        const int error = WriteFully(fd, bytes.constData(), size, moved, &written);
        partWay = partWay || written > 0;
        if (error != 0)
            return stopped(SystemReason(error));
        moved += size;
    }
    // A failed sync does not keep the file at its length: the bytes are in place either way.
    const int lastSync = SyncToDisk(fd);
    if (::ftruncate(fd, kept) != 0)
        return stopped(SystemReason(errno));
    if (record && record->Held())
        record->Remove();
    const int syncError = record && record->SyncError() != 0 ? record->SyncError() : lastSync;
    return {InPlace::Cut,
            {},
            syncError != 0 ? SystemReason(syncError) : QString(),
            record ? record->Unrecorded() : QString()};
}

} // namespace

InPlaceTrim TrimInPlace(int fd, qint64 length, qint64 cut, RecordSyncs syncs) {
    const InPlaceRewrite rewrite(fd);
    if (!rewrite.Acquired())
        return {InPlace::Postponed, {}};
    InterruptedMove move{cut, length, 0, 0};
    std::optional<MoveRecord> record;
    if (TailCheck(fd, length, cut, &move.tail) == 0) {
        record.emplace(fd, move, Synced(syncs, length - cut, cut), false);
        // Without room for it, or on a file system without such records, none is held: the move is
        // not crash-safe then.
        record->Set(0);
    }
    return MoveAndCut(fd, move, length, record ? &*record : nullptr, false);
}

RecordedMove FindInterruptedMove(int fd) {
    char value[kMostRecordBytes];
    const ssize_t size = ::fgetxattr(fd, kRecordName, value, sizeof value);
    const int error = size < 0 ? errno : 0;
    if (error == ENODATA || error == ENOTSUP || error == EOPNOTSUPP)
        return {}; // none, or a file system without such records
    // Taken for none, a record that failed to read would have the file trimmed anew from its end,
    // throwing away the kept lines already moved to its front.
    if (error != 0 && error != ERANGE)
        return {std::nullopt, SystemReason(error) + kRecordUnreadable};
    const auto move = size < 0 ? std::nullopt : ParseRecord(QByteArray(value, size));
    struct stat info {};
    if (move && ::fstat(fd, &info) == 0 && info.st_size < move->length) {
        ::fremovexattr(fd, kRecordName);
        return {};
    }
    // A file that cannot be read now is not taken for a changed one: its move is left to the
    // finish, which reads it again.
    std::uint32_t tail = 0;
    const int unreadable = move ? TailCheck(fd, move->length, move->cut, &tail) : 0;
    if (!move || (unreadable == 0 && tail != move->tail)) {
        ::fremovexattr(fd, kRecordName);
        return {};
    }
    return {move, {}};
}

InPlaceTrim FinishInterruptedMove(int fd, const InterruptedMove& move, RecordSyncs syncs) {
    const InPlaceRewrite rewrite(fd);
    if (!rewrite.Acquired())
        return {InPlace::Postponed, {}};
    struct stat info {};
    if (::fstat(fd, &info) != 0)
        return {InPlace::Failed, SystemReason(errno) + kStoppedPartWay};
    const qint64 end = info.st_size;
    InterruptedMove current = move;
    std::uint32_t tail = 0;
    if (const int error = TailCheck(fd, move.length, move.cut, &tail); error != 0)
        return {InPlace::Failed, SystemReason(error) + kStoppedPartWay};
    if (end < move.length || tail != move.tail)
        return {InPlace::Failed, SystemReason(ESTALE)}; // changed since it was found: nothing moved
    // Bytes appended meanwhile are moved with the rest: the record then names the present end.
    if (end > move.length) {
        current.length = end;
        if (const int error = TailCheck(fd, end, move.cut, &current.tail); error != 0)
            return {InPlace::Failed, SystemReason(error) + kStoppedPartWay};
    }
    MoveRecord record(fd, current, Synced(syncs, end - move.cut - move.moved, move.cut), true);
    if (end > move.length)
        if (const QString refused = record.Set(move.moved); !refused.isEmpty() && record.Held())
            return {InPlace::Failed, refused + kStoppedPartWay};
    return MoveAndCut(fd, current, end, &record, true);
}

} // namespace platform
