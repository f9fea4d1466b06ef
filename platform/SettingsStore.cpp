#include "platform/SettingsStore.h"

#include "platform/FileAccess.h"
#include "platform/FileWriting.h"
#include "platform/Paths.h"
#include "platform/SettingsFileFormat.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QSet>
#include <QStandardPaths>
#include <cerrno>
#include <sys/stat.h>
#include <utility>

namespace platform {

namespace {

// What a path named when it was read or written: a file that another program replaced or
// rewrote since differs in one of these.
struct FileStamp {
    bool exists = false;
    bool regular = false;
    int error = 0; // why it could not be looked at, other than its absence
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    timespec modified{};
    timespec changed{};

    bool operator==(const FileStamp& other) const {
        return exists == other.exists && regular == other.regular && error == other.error &&
               device == other.device && inode == other.inode && size == other.size &&
               modified.tv_sec == other.modified.tv_sec && modified.tv_nsec == other.modified.tv_nsec &&
               changed.tv_sec == other.changed.tv_sec && changed.tv_nsec == other.changed.tv_nsec;
    }
};

// Through symbolic links, as the file is read and written.
FileStamp StampOf(const QString& path) {
    FileStamp stamp;
    struct stat info {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0) {
        // Nothing there, or a folder on the way that is missing or no folder: nothing to lose.
        if (errno != ENOENT && errno != ENOTDIR)
            stamp.error = errno;
        return stamp;
    }
    stamp.exists = true;
    stamp.regular = S_ISREG(info.st_mode);
    stamp.device = info.st_dev;
    stamp.inode = info.st_ino;
    stamp.size = info.st_size;
    stamp.modified = info.st_mtim;
    stamp.changed = info.st_ctim;
    return stamp;
}

// The values of the process's settings file, shared by every store.
struct SharedSettings {
    QMutex mutex;
    QString folder; // set by SetSettingsFolder; the desktop's configuration folder when empty
    QString path;   // the file the values are of
    bool read = false;
    FileStamp stamp;    // what the path named when it was last read or written
    QString unreadable; // why the file there could not be read: then it is not written either
    // Why the file could not be opened or read whole in this process: then it is never written in it, even
    // once it reads again, as the program's values are not the file's.
    QString failedRead;
    QSettings::SettingsMap values;
    SettingsValueBytes valueBytes; // as read, of the values not set or removed since
    QSet<QString> pending;         // keys set or removed since the last write
    SettingsReadProblems problems;
};

SharedSettings& Shared() {
    static SharedSettings shared;
    return shared;
}

QString SettingsPath(const SharedSettings& shared) {
    const QString folder = shared.folder.isEmpty()
                               ? QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
                               : shared.folder;
    return folder + QLatin1Char('/') + ExecutableBaseName() + QStringLiteral(".conf");
}

void NoteProblems(SettingsReadProblems& problems, const SettingsText& text) {
    for (const QString& key : text.overlongKeys) {
        if (!problems.overlongKeys.contains(key))
            problems.overlongKeys.append(key);
    }
    problems.droppedValues += text.droppedValues;
}

// A file that could not be opened or read whole holds values that the program does not have: it
// runs on the defaults, which are not to be put over them in this process, even once the file can
// be read again. The mutex is held.
void FailedRead(SharedSettings& shared, const QString& reason) {
    shared.unreadable = reason;
    shared.failedRead = reason;
    shared.problems.readFailure = reason;
}

// Reads the file into the shared values when it is not what was read last, keeping the changes
// not yet written over it. The mutex is held.
void Refresh(SharedSettings& shared, const QString& path) {
    const FileStamp stamp = StampOf(path);
    if (shared.read && path == shared.path && stamp == shared.stamp)
        return;
    const QSettings::SettingsMap before = std::exchange(shared.values, {});
    shared.valueBytes.clear();
    if (path != shared.path) {
        shared.pending.clear(); // changes meant for another file
        shared.failedRead.clear();
    }
    shared.path = path;
    shared.stamp = stamp;
    shared.read = true;
    shared.unreadable.clear();
    if (stamp.exists && !stamp.regular) {
        // Not even opened: opening a FIFO waits for a writer, and a device may act on an open.
        shared.unreadable = NotRegularFileReason();
        shared.problems.notRegular = true;
    } else if (stamp.exists || stamp.error != 0) {
        QFile file;
        QString reason;
        if (OpenRegularFile(file, path, QIODevice::ReadOnly, &reason)) {
            SettingsText text = ReadSettingsFile(file, &ProgramSettingsKeys());
            if (text.readFailure.isEmpty()) {
                NoteProblems(shared.problems, text);
                shared.values = std::move(text.values);
                shared.valueBytes = std::move(text.valueBytes);
            } else {
                FailedRead(shared, text.readFailure);
            }
        } else if (reason == NotRegularFileReason()) {
            shared.unreadable = reason; // it took the place of the file meanwhile
            shared.problems.notRegular = true;
        } else if (const FileStamp now = StampOf(path); now.exists || now.error != 0) {
            FailedRead(shared, reason); // not a file that went meanwhile: one that could not be opened
        }
    }
    for (const QString& key : std::as_const(shared.pending)) {
        shared.valueBytes.remove(key);
        if (const auto it = before.constFind(key); it != before.cend())
            shared.values.insert(key, it.value());
        else
            shared.values.remove(key);
    }
}

bool SameValue(const QVariant& a, const QVariant& b) {
    return a.metaType() == b.metaType() && a == b;
}

} // namespace

SettingsStore::SettingsStore() {
    SharedSettings& shared = Shared();
    const QMutexLocker lock(&shared.mutex);
    m_path = SettingsPath(shared);
    Refresh(shared, m_path);
}

SettingsStore::~SettingsStore() {
    if (m_changed)
        sync();
}

QVariant SettingsStore::value(const QString& key) const {
    SharedSettings& shared = Shared();
    const QMutexLocker lock(&shared.mutex);
    return shared.path == m_path ? shared.values.value(key) : QVariant();
}

bool SettingsStore::contains(const QString& key) const {
    SharedSettings& shared = Shared();
    const QMutexLocker lock(&shared.mutex);
    return shared.path == m_path && shared.values.contains(key);
}

void SettingsStore::setValue(const QString& key, const QVariant& value) {
    SharedSettings& shared = Shared();
    const QMutexLocker lock(&shared.mutex);
    if (shared.path != m_path)
        return;
    const auto it = shared.values.find(key);
    if (it != shared.values.end() && SameValue(it.value(), value))
        return;
    shared.values.insert(key, value);
    shared.valueBytes.remove(key);
    shared.pending.insert(key);
    m_changed = true;
}

void SettingsStore::remove(const QString& key) {
    SharedSettings& shared = Shared();
    const QMutexLocker lock(&shared.mutex);
    if (shared.path != m_path)
        return;
    shared.valueBytes.remove(key);
    if (shared.values.remove(key) != 0) {
        shared.pending.insert(key);
        m_changed = true;
    }
    // The keys under it sort together, but after keys such as "Key-2" that come between.
    const QString under = key + QLatin1Char('/');
    for (auto it = shared.values.lowerBound(under);
         it != shared.values.end() && it.key().startsWith(under);) {
        shared.pending.insert(it.key());
        shared.valueBytes.remove(it.key());
        it = shared.values.erase(it);
        m_changed = true;
    }
}

bool SettingsStore::sync() {
    SharedSettings& shared = Shared();
    const QMutexLocker lock(&shared.mutex);
    m_changed = false;
    m_failure.clear();
    m_failedRead = false;
    if (shared.path != m_path || shared.pending.isEmpty())
        return true;
    // Another copy of the program or the operator may have written the file meanwhile.
    Refresh(shared, m_path);
    if (!shared.failedRead.isEmpty()) {
        m_failure = shared.failedRead;
        m_failedRead = true;
        return false;
    }
    if (!shared.unreadable.isEmpty()) {
        m_failure = shared.unreadable;
        return false;
    }
    QDir().mkpath(QFileInfo(m_path).absolutePath()); // a failure is the save's to tell
    if (!SaveWholeFile(m_path, WriteSettingsText(shared.values, shared.valueBytes), &m_failure))
        return false;
    shared.pending.clear();
    shared.stamp = StampOf(m_path);
    return true;
}

std::unique_ptr<SettingsStore> OpenSettingsStore() {
    return std::make_unique<SettingsStore>();
}

SettingsReadProblems TakeSettingsReadProblems() {
    SharedSettings& shared = Shared();
    const QMutexLocker lock(&shared.mutex);
    return std::exchange(shared.problems, SettingsReadProblems());
}

void SetSettingsFolder(const QString& folder) {
    SharedSettings& shared = Shared();
    const QMutexLocker lock(&shared.mutex);
    shared.folder = folder;
}

} // namespace platform
