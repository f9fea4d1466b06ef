#include "platform/FileWriting.h"

#include "platform/DescriptorIo.h"
#include "platform/FileAccess.h"
#include "platform/SaveFile.h"
#include "platform/SystemReason.h"

#include <QFile>
#include <cerrno>
#include <unistd.h>

namespace platform {

namespace {

bool Fail(QString* reason, const QString& text) {
    if (reason)
        *reason = text;
    return false;
}

// Writes the bytes to the open save file and commits it.
bool WriteAndCommit(SaveFile& file, QByteArrayView bytes, QString* reason) {
    if (const int error = WriteFully(file.Handle(), bytes.data(), bytes.size()); error != 0) {
        file.Cancel();
        return Fail(reason, SystemReason(error));
    }
    return file.Commit() || Fail(reason, file.ErrorString());
}

} // namespace

bool FlushToDisk(QFileDevice& file, QString* reason) {
    // After a partial write Qt keeps the rest in its buffer and gives no reason; the second try
    // writes that rest, or fails again with the system's reason.
    if (!file.flush() && !file.flush())
        return Fail(reason, file.errorString());
    if (const int fd = file.handle(); fd >= 0)
        if (const int error = SyncToDisk(fd); error != 0)
            return Fail(reason, SystemReason(error));
    return true;
}

bool SaveWholeFile(const QString& path, QByteArrayView bytes, QString* reason) {
    SaveFile file(path);
    if (!file.Open())
        return Fail(reason, file.ErrorString());
    return WriteAndCommit(file, bytes, reason);
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

bool PublishWholeFile(const QString& path, QByteArrayView bytes, QString* reason) {
    SaveFile save(path);
    if (save.Open())
        return WriteAndCommit(save, bytes, reason);
    if (!save.FolderRefused())
        return Fail(reason, save.ErrorString());
    // Not crash-safe, but the only way the file is published in such a folder.
    QFile file;
    if (!OpenRegularFile(file, path, QIODevice::WriteOnly, reason))
        return false;
    if (const int error = WriteFully(file.handle(), bytes.data(), bytes.size()); error != 0)
        return Fail(reason, SystemReason(error));
    return FlushToDisk(file, reason);
}

} // namespace platform
