#include "platform/FileWriting.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace platform {

namespace {

QString SystemReason(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

bool Fail(QString* reason, const QString& text) {
    if (reason)
        *reason = text;
    return false;
}

// fsync's answer for a file (system) that has nothing to sync or cannot sync.
bool SyncNotSupported(int error) {
    return error == EINVAL || error == EROFS || error == ENOTSUP || error == EOPNOTSUPP || error == ENOSYS;
}

constexpr qint64 kCopyPiece = 1024 * 1024;

} // namespace

bool FlushToDisk(QFileDevice& file, QString* reason) {
    // After a partial write Qt keeps the rest in its buffer and gives no reason; the second try
    // writes that rest, or fails again with the system's reason.
    if (!file.flush() && !file.flush())
        return Fail(reason, file.errorString());
    if (const int fd = file.handle(); fd >= 0 && ::fsync(fd) != 0 && !SyncNotSupported(errno))
        return Fail(reason, SystemReason(errno));
    return true;
}

bool CommitSaveFile(QSaveFile& file, QString* reason) {
    if (!file.isOpen())
        return Fail(reason, file.errorString());
    QString failure;
    if (file.error() != QFileDevice::NoError) {
        failure = file.errorString(); // a write that already failed
    } else if (FlushToDisk(file, &failure)) {
        if (file.commit())
            return true;
        return Fail(reason, file.errorString()); // the rename over the old file
    }
    file.cancelWriting();
    file.commit(); // removes the temporary file now
    return Fail(reason, failure);
}

bool SaveWholeFile(const QString& path, QByteArrayView bytes, QString* reason) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return Fail(reason, file.errorString());
    if (file.write(bytes.data(), bytes.size()) != bytes.size())
        return Fail(reason, file.errorString()); // the temporary file goes with `file`
    return CommitSaveFile(file, reason);
}

bool AppendWhole(QFileDevice& file, QByteArrayView bytes, QString* reason) {
    const int fd = file.handle();
    if (fd < 0)
        return Fail(reason, SystemReason(EBADF));
    const off_t start = ::lseek(fd, 0, SEEK_END);
    if (start < 0)
        return Fail(reason, SystemReason(errno));
    qsizetype written = 0;
    int error = 0;
    while (written < bytes.size()) {
        const ssize_t count =
            ::write(fd, bytes.data() + written, static_cast<size_t>(bytes.size() - written));
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0) {
            error = count < 0 ? errno : ENOSPC;
            break;
        }
        written += count;
    }
    if (written == bytes.size())
        return true;
    // A part-way write would leave half a record that the next append runs into.
    if (written > 0 && ::ftruncate(fd, start) != 0)
        return Fail(reason, SystemReason(error) + QStringLiteral(" (and it could not be cut back: ") +
                                SystemReason(errno) + QLatin1Char(')'));
    return Fail(reason, SystemReason(error));
}

bool ReplaceWithTail(QFile& file, const QString& path, qint64 from, QByteArrayView appended,
                     QString* reason) {
    const qint64 size = file.size();
    QSaveFile replacement(path);
    if (!replacement.open(QIODevice::WriteOnly))
        return Fail(reason, replacement.errorString());
    for (qint64 at = from; at < size; at += kCopyPiece) {
        if (!file.seek(at))
            return Fail(reason, file.errorString());
        const QByteArray piece = file.read(std::min(kCopyPiece, size - at));
        if (piece.size() != std::min(kCopyPiece, size - at))
            return Fail(reason, file.error() != QFileDevice::NoError ? file.errorString()
                                                                     : QStringLiteral("the file shrank"));
        if (replacement.write(piece) != piece.size())
            return Fail(reason, replacement.errorString());
    }
    if (replacement.write(appended.data(), appended.size()) != appended.size())
        return Fail(reason, replacement.errorString());
    return CommitSaveFile(replacement, reason);
}

} // namespace platform
