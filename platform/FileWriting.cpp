#include "platform/FileWriting.h"

#include "platform/DescriptorIo.h"
#include "platform/FileAccess.h"
#include "platform/SystemReason.h"

#include <QFileInfo>
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>

namespace platform {

namespace {

bool Fail(QString* reason, const QString& text) {
    if (reason)
        *reason = text;
    return false;
}

// fsync's answer for a file (system) that has nothing to sync or cannot sync.
bool SyncNotSupported(int error) {
    return error == EINVAL || error == EROFS || error == ENOTSUP || error == EOPNOTSUPP || error == ENOSYS;
}

// The folder a save file of `path` would be made in: the symbolic link's target's, as QSaveFile
// writes through links.
QByteArray SaveFolder(const QString& path) {
    const QFileInfo info(path);
    const QString target = info.canonicalFilePath();
    return QFile::encodeName(QFileInfo(target.isEmpty() ? info.absoluteFilePath() : target).absolutePath());
}

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
    const int error = WriteFully(fd, bytes.data(), bytes.size());
    if (error == 0)
        return true;
    // A part-way write would leave half a record that the next append runs into.
    if (::lseek(fd, 0, SEEK_END) != start && ::ftruncate(fd, start) != 0)
        return Fail(reason, SystemReason(error) + QStringLiteral(" (and it could not be cut back: ") +
                                SystemReason(errno) + QLatin1Char(')'));
    return Fail(reason, SystemReason(error));
}

bool FolderRefusesNewFiles(const QString& path) {
    const QByteArray folder = SaveFolder(path);
    int fd = ::open(folder.constData(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
    if (fd < 0 && (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL)) {
        // A file system without unnamed files: a named one, removed at once.
        QByteArray name = folder + "/.orvane-probe-XXXXXX";
        fd = ::mkostemp(name.data(), O_CLOEXEC);
        if (fd >= 0)
            ::unlink(name.constData());
    }
    if (fd >= 0) {
        ::close(fd);
        return false;
    }
    return errno == EACCES || errno == EPERM;
}

bool PublishWholeFile(const QString& path, QByteArrayView bytes, QString* reason) {
    QString failure;
    if (SaveWholeFile(path, bytes, &failure))
        return true;
    if (!FolderRefusesNewFiles(path))
        return Fail(reason, failure);
    QFile file;
    if (!OpenRegularFile(file, path, QIODevice::WriteOnly, reason))
        return false;
    if (const int error = WriteFully(file.handle(), bytes.data(), bytes.size()); error != 0)
        return Fail(reason, SystemReason(error));
    return FlushToDisk(file, reason);
}

} // namespace platform
