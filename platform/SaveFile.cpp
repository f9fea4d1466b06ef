#include "platform/SaveFile.h"

#include "platform/DescriptorIo.h"
#include "platform/FileAccess.h"
#include "platform/SystemReason.h"

#include <QByteArrayView>
#include <QFile>
#include <QRandomGenerator>
#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

constexpr int kMostLinksFollowed = 40; // as many as the system itself follows
constexpr int kMostNameTries = 100;
constexpr QByteArrayView kMarker = ".orvane-save-";
constexpr QByteArrayView kLetters = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
constexpr qsizetype kRandomLetters = 6;
constexpr mode_t kNewFileMode = 0666;    // less the umask, as any new file
constexpr mode_t kUntilItsModeIs = 0600; // a copy of an existing file, before it takes that file's mode
constexpr mode_t kPermissionBits = 07777;

QByteArray FolderOf(const QByteArray& path) {
    const qsizetype slash = path.lastIndexOf('/');
    if (slash < 0)
        return ".";
    return slash == 0 ? QByteArray("/") : path.left(slash);
}

QByteArray NameOf(const QByteArray& path) {
    return path.mid(path.lastIndexOf('/') + 1);
}

// Follows `path` through its symbolic links to the file they name, which need not exist (a link
// to a missing file names that file). 0, or the error number.
int FollowLinks(QByteArray& path) {
    for (int links = 0; links <= kMostLinksFollowed; ++links) {
        struct stat info {};
        if (::lstat(path.constData(), &info) != 0)
            return errno == ENOENT ? 0 : errno;
        if (!S_ISLNK(info.st_mode))
            return 0;
        QByteArray target(PATH_MAX, '\0');
        const ssize_t length = ::readlink(path.constData(), target.data(), target.size());
        if (length < 0)
            return errno;
        if (length >= target.size())
            return ENAMETOOLONG;
        target.truncate(length);
        // A relative target is relative to the link's folder.
        path = target.startsWith('/') ? target : FolderOf(path) + '/' + target;
    }
    return ELOOP;
}

// What every temporary name of the file at `target` starts with: a dot, the file's name (cut so
// that the whole name stays within the system's limit) and the marker.
QByteArray TemporaryPrefix(const QByteArray& target) {
    const qsizetype longestName = NAME_MAX - 1 - kMarker.size() - kRandomLetters;
    return '.' + NameOf(target).left(longestName) + kMarker.toByteArray();
}

QByteArray NewTemporaryName(const QByteArray& target) {
    QByteArray name = FolderOf(target) + '/' + TemporaryPrefix(target);
    for (qsizetype i = 0; i < kRandomLetters; ++i)
        name += kLetters[QRandomGenerator::system()->bounded(static_cast<int>(kLetters.size()))];
    return name;
}

bool IsTemporaryName(QByteArrayView name, QByteArrayView prefix) {
    if (name.size() != prefix.size() + kRandomLetters || !name.startsWith(prefix))
        return false;
    const QByteArrayView letters = name.sliced(prefix.size());
    return std::all_of(letters.begin(), letters.end(), [](char letter) { return kLetters.contains(letter); });
}

// Removes the temporary of a killed save: a regular file that no running save holds locked.
void RemoveIfNotHeld(const QByteArray& path) {
    struct stat named {};
    if (::lstat(path.constData(), &named) != 0 || !S_ISREG(named.st_mode))
        return;
    const int fd = ::open(path.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return;
    struct stat opened {};
    if (::fstat(fd, &opened) == 0 && opened.st_ino == named.st_ino && opened.st_dev == named.st_dev &&
        ::flock(fd, LOCK_EX | LOCK_NB) == 0)
        ::unlink(path.constData());
    ::close(fd);
}

void RemoveLeftovers(const QByteArray& target) {
    const QByteArray folder = FolderOf(target);
    const QByteArray prefix = TemporaryPrefix(target);
    const std::unique_ptr<DIR, int (*)(DIR*)> entries(::opendir(folder.constData()), ::closedir);
    if (!entries)
        return;
    while (const dirent* entry = ::readdir(entries.get()))
        if (IsTemporaryName(entry->d_name, prefix))
            RemoveIfNotHeld(folder + '/' + entry->d_name);
}

// Links the unnamed file open as `fd` under `name`: through /proc, which needs no privilege, or
// by its descriptor where /proc is missing. 0, or the error number.
int LinkAs(int fd, const QByteArray& name) {
    const QByteArray open = "/proc/self/fd/" + QByteArray::number(fd);
    if (::linkat(AT_FDCWD, open.constData(), AT_FDCWD, name.constData(), AT_SYMLINK_FOLLOW) == 0)
        return 0;
    if (errno != ENOENT)
        return errno;
    return ::linkat(fd, "", AT_FDCWD, name.constData(), AT_EMPTY_PATH) == 0 ? 0 : errno;
}

} // namespace

SaveFile::SaveFile(const QString& path) : m_path(path) {}

SaveFile::~SaveFile() {
    Cancel();
}

bool SaveFile::Fail(int error) {
    m_error = SystemReason(error);
    return false;
}

bool SaveFile::Replaceable() {
    struct stat info {};
    if (::lstat(m_target.constData(), &info) != 0) {
        m_targetExists = false;
        return errno == ENOENT || Fail(errno);
    }
    if (!S_ISREG(info.st_mode)) {
        m_error = NotRegularFileReason();
        return false;
    }
    // A file the operator made read-only is not replaced behind its back.
    if (::faccessat(AT_FDCWD, m_target.constData(), W_OK, AT_EACCESS) != 0)
        return Fail(errno);
    m_targetExists = true;
    m_targetMode = info.st_mode & kPermissionBits;
    return true;
}

bool SaveFile::Open() {
    Cancel();
    m_error.clear();
    m_folderRefused = false;
    m_target = QFile::encodeName(m_path);
    if (m_target.isEmpty())
        return Fail(ENOENT);
    if (const int error = FollowLinks(m_target); error != 0)
        return Fail(error);
    if (!Replaceable())
        return false;
    RemoveLeftovers(m_target);

    const mode_t mode = m_targetExists ? kUntilItsModeIs : kNewFileMode;
    m_fd = ::open(FolderOf(m_target).constData(), O_TMPFILE | O_WRONLY | O_CLOEXEC, mode);
    if (m_fd < 0 && (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL)) {
        // A file system without unnamed files: the temporary is named from the start.
        for (int tries = 0; m_fd < 0 && tries < kMostNameTries; ++tries) {
            m_temporary = NewTemporaryName(m_target);
            m_fd =
                ::open(m_temporary.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
            if (m_fd < 0 && errno != EEXIST)
                break;
        }
        if (m_fd < 0)
            m_temporary.clear();
    }
    if (m_fd < 0) {
        const int error = errno;
        m_folderRefused = error == EACCES || error == EPERM;
        return Fail(error);
    }
    ::flock(m_fd, LOCK_EX | LOCK_NB); // it is new: nobody else holds it
    if (m_targetExists && ::fchmod(m_fd, m_targetMode) != 0) {
        const int error = errno;
        Cancel();
        return Fail(error);
    }
    return true;
}

int SaveFile::LinkTemporary() {
    for (int tries = 0; tries < kMostNameTries; ++tries) {
        const QByteArray name = NewTemporaryName(m_target);
        const int error = LinkAs(m_fd, name);
        if (error == 0)
            m_temporary = name;
        if (error != EEXIST)
            return error;
    }
    return EEXIST;
}

bool SaveFile::Commit() {
    if (m_fd < 0)
        return m_error.isEmpty() ? Fail(EBADF) : false;
    int error = SyncToDisk(m_fd);
    // Something else may have taken the file's place meanwhile; it is not replaced either.
    if (error == 0 && !Replaceable()) {
        Cancel();
        return false;
    }
    if (error == 0 && m_temporary.isEmpty())
        error = LinkTemporary();
    if (error == 0 && ::rename(m_temporary.constData(), m_target.constData()) != 0)
        error = errno;
    if (error != 0) {
        Cancel();
        return Fail(error);
    }
    m_temporary.clear();
    ::close(m_fd); // every byte is on the disk already
    m_fd = -1;
    return true;
}

void SaveFile::Cancel() {
    // The name goes first, while the lock still holds it.
    if (!m_temporary.isEmpty())
        ::unlink(m_temporary.constData());
    m_temporary.clear();
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}

void RemoveLeftoverTemporaries(const QString& path) {
    QByteArray target = QFile::encodeName(path);
    if (!target.isEmpty() && FollowLinks(target) == 0)
        RemoveLeftovers(target);
}

} // namespace platform
