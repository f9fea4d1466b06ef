#include "platform/FileAccess.h"

#include "platform/SaveFile.h"
#include "platform/SystemReason.h"

#include <cerrno>
#include <fcntl.h>
#include <mutex>
#include <new>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

void SetReason(QString* reason, const QString& text) {
    if (reason)
        *reason = text;
}

int OpenFlags(QIODevice::OpenMode mode) {
    const bool reads = mode.testFlag(QIODevice::ReadOnly);
    const bool writes = mode.testFlag(QIODevice::WriteOnly) || mode.testFlag(QIODevice::Append);
    int flags = O_CLOEXEC | O_NONBLOCK | O_NOCTTY;
    flags |= reads && writes ? O_RDWR : writes ? O_WRONLY : O_RDONLY;
    if (mode.testFlag(QIODevice::Append))
        flags |= O_APPEND;
    if (writes && !mode.testFlag(QIODevice::ExistingOnly))
        flags |= O_CREAT;
    if (mode.testFlag(QIODevice::NewOnly))
        flags |= O_CREAT | O_EXCL;
    return flags;
}

// QFile's rule: WriteOnly truncates unless it is combined with ReadOnly, Append or NewOnly.
bool Truncates(QIODevice::OpenMode mode) {
    if (mode.testFlag(QIODevice::Truncate))
        return true;
    return mode.testFlag(QIODevice::WriteOnly) && !mode.testFlag(QIODevice::ReadOnly) &&
           !mode.testFlag(QIODevice::Append) && !mode.testFlag(QIODevice::NewOnly);
}

// The reason an open failed: a FIFO opened for writing with no reader fails with ENXIO, a folder
// with EISDIR; both are said as what they are.
QString OpenFailureReason(const QByteArray& name, int error) {
    struct stat info {};
    if (::stat(name.constData(), &info) == 0 && !S_ISREG(info.st_mode))
        return NotRegularFileReason();
    return SystemReason(error);
}

// Leftovers are what killed processes left: one look a run for each file finds those of earlier
// runs (every save looks again for itself).
void RemoveLeftoversOnce(const QString& path) {
    static std::mutex mutex;
    static std::set<QString> done;
    {
        const std::lock_guard lock(mutex);
        if (!done.insert(path).second)
            return;
    }
    RemoveLeftoverTemporaries(path);
}

} // namespace

QString NotRegularFileReason() {
    return QStringLiteral("not a regular file");
}

bool OpenRegularFile(QFile& file, const QString& path, QIODevice::OpenMode mode, QString* reason) {
    if (file.isOpen())
        file.close();
    if (path.isEmpty()) {
        SetReason(reason, SystemReason(ENOENT));
        return false;
    }
    const QByteArray name = QFile::encodeName(path);
    // Opening a FIFO or a device does something even when it is refused at once: it lets a FIFO's
    // waiting writer or reader through, raises a serial line's modem lines, arms a watchdog. What
    // the path names is looked at first; the check after the open is for what took its place.
    if (struct stat named{}; ::stat(name.constData(), &named) == 0 && !S_ISREG(named.st_mode)) {
        SetReason(reason, NotRegularFileReason());
        return false;
    }
    const int fd = ::open(name.constData(), OpenFlags(mode), 0666);
    if (fd < 0) {
        SetReason(reason, OpenFailureReason(name, errno));
        return false;
    }
    auto fail = [&](const QString& text) {
        ::close(fd);
        SetReason(reason, text);
        return false;
    };
    struct stat info {};
    if (::fstat(fd, &info) != 0)
        return fail(SystemReason(errno));
    if (!S_ISREG(info.st_mode))
        return fail(NotRegularFileReason());
    if (mode.testAnyFlags(QIODevice::WriteOnly | QIODevice::Append))
        RemoveLeftoversOnce(path);
    const int status = ::fcntl(fd, F_GETFL);
    if (status < 0 || ::fcntl(fd, F_SETFL, status & ~O_NONBLOCK) != 0)
        return fail(SystemReason(errno));
    if (Truncates(mode) && ::ftruncate(fd, 0) != 0)
        return fail(SystemReason(errno));
    if (!file.open(fd, mode & ~QIODevice::Truncate, QFileDevice::AutoCloseHandle))
        return fail(file.errorString());
    return true;
}

std::optional<QByteArray> ReadRegularFile(const QString& path, qint64 maxBytes, QString* reason) {
    QFile file;
    if (!OpenRegularFile(file, path, QIODevice::ReadOnly, reason))
        return std::nullopt;
    // Only the bytes the file holds now: a file that grows meanwhile is read as it was, and the
    // buffer is never larger than the file.
    const qint64 size = file.size();
    if (size > maxBytes) {
        SetReason(reason, QStringLiteral("file too large"));
        return std::nullopt;
    }
    QByteArray bytes;
    try {
        bytes.resize(static_cast<qsizetype>(size));
    } catch (const std::bad_alloc&) {
        SetReason(reason, SystemReason(ENOMEM));
        return std::nullopt;
    }
    qint64 filled = 0;
    while (filled < size) {
        const qint64 read = file.read(bytes.data() + filled, size - filled);
        if (read < 0) {
            SetReason(reason, file.errorString());
            return std::nullopt;
        }
        if (read == 0) // cut short meanwhile
            break;
        filled += read;
    }
    bytes.truncate(static_cast<qsizetype>(filled));
    return bytes;
}

} // namespace platform
