#include "platform/CappedFile.h"

#include "platform/DescriptorIo.h"
#include "platform/FileWriting.h"
#include "platform/SaveFile.h"
#include "platform/SystemReason.h"
#include "platform/TickCount.h"
#include "platform/TrimCutPoint.h"

#include <algorithm>
#include <cstdint>
#include <map>
#include <mutex>
#include <unistd.h>

namespace platform {

namespace {

constexpr qint64 kCopyPiece = 1024 * 1024;
constexpr std::uint32_t kTrimRetryMs = 60 * 1000;

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

bool Fail(QString* reason, const QString& text) {
    if (reason)
        *reason = text;
    return false;
}

// Copies the bytes of `from` from `offset` to its end into `to`, a piece at a time, at `to`'s
// position (or, `inPlace`, at offset 0 of the same file).
bool CopyTail(int from, qint64 offset, qint64 length, int to, bool inPlace, QString* reason) {
    QByteArray piece;
    for (qint64 at = offset; at < length; at += kCopyPiece) {
        const qint64 size = std::min(kCopyPiece, length - at);
        if (const int error = ReadFullyAt(from, at, size, piece); error != 0)
            return Fail(reason, SystemReason(error));
        if (piece.size() != size)
            return Fail(reason, QStringLiteral("the file shrank"));
        if (const int error = WriteFully(to, piece.constData(), size, inPlace ? at - offset : -1); error != 0)
            return Fail(reason, SystemReason(error));
    }
    return true;
}

enum class Trim { Failed, Replaced, CutInPlace };

// The kept tail from `cut` on, followed by the bytes, through a save file that replaces the file;
// in place when the folder refuses the save file for lack of rights (the bytes then still to be
// appended).
Trim CutBack(QFile& file, const QString& path, qint64 length, qint64 cut, QByteArrayView bytes,
             QString* reason) {
    SaveFile replacement(path);
    if (!replacement.Open()) {
        if (!FolderRefusesNewFiles(path)) {
            Fail(reason, replacement.ErrorString());
            return Trim::Failed;
        }
        // Not crash-safe, but the only way the limit holds in such a folder.
        if (!CopyTail(file.handle(), cut, length, file.handle(), true, reason) || !FlushToDisk(file, reason))
            return Trim::Failed;
        if (::ftruncate(file.handle(), length - cut) != 0) {
            Fail(reason, SystemReason(errno));
            return Trim::Failed;
        }
        return Trim::CutInPlace;
    }
    if (!CopyTail(file.handle(), cut, length, replacement.Handle(), false, reason))
        return Trim::Failed; // the temporary file goes with `replacement`
    if (const int error = WriteFully(replacement.Handle(), bytes.data(), bytes.size()); error != 0) {
        Fail(reason, SystemReason(error));
        return Trim::Failed;
    }
    if (replacement.Commit())
        return Trim::Replaced;
    Fail(reason, replacement.ErrorString());
    return Trim::Failed;
}

} // namespace

CappedAppend AppendCapped(QFile& file, const QString& path, QByteArrayView bytes, const TrimRule& rule) {
    CappedAppend result;
    const int fd = file.handle();
    qint64 length = file.size();
    if (rule.recordBytes > 0 && length % rule.recordBytes != 0) {
        length -= length % rule.recordBytes;
        if (::ftruncate(fd, length) != 0) {
            result.failure = SystemReason(errno);
            return result;
        }
    }
    if (rule.Limits() && length > rule.triggerBytes) {
        if (const auto waiting = Owed().Waiting(path, length, rule.Step())) {
            result.trimFailure = *waiting;
        } else if (const CutPoint cut = FindCutPoint(fd, length, rule); !cut.failure.isEmpty()) {
            result.trimFailure = cut.failure;
        } else if (cut.offset) {
            switch (CutBack(file, path, length, *cut.offset, bytes, &result.trimFailure)) {
            case Trim::Replaced:
                Owed().Done(path);
                result.appended = true;
                return result;
            case Trim::CutInPlace:
                Owed().Done(path);
                break;
            case Trim::Failed:
                Owed().Failed(path, length, result.trimFailure);
                break;
            }
        }
    }
    result.appended = AppendWhole(file, bytes, &result.failure);
    return result;
}

} // namespace platform
