#pragma once
// A small file system of its own (tmpfs) in a temporary folder, for tests of a nearly full disk:
// tmpfs takes a write part-way and then fails with ENOSPC, as a real full disk does. Mounting needs
// root (CAP_SYS_ADMIN); without it the object is not Mounted() and tests skip with Reason():
//
//     SmallFileSystem disk(64 * 1024);
//     if (!disk.Mounted())
//         GTEST_SKIP() << disk.Reason();
#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include <cerrno>
#include <cstring>
#include <string>
#include <sys/mount.h>
#include <sys/statvfs.h>
#include <sys/xattr.h>
#include <unistd.h>

class SmallFileSystem {
public:
    static constexpr qint64 kPage = 4096; // tmpfs hands out space a page at a time

    // `moreOptions`: further tmpfs options, as ",nr_inodes=2" for a disk with room for no new file.
    explicit SmallFileSystem(qint64 bytes, const QByteArray& moreOptions = {}) {
        if (!m_folder.isValid()) {
            m_reason = "no temporary folder for the mount";
            return;
        }
        const QByteArray options = "size=" + QByteArray::number(bytes) + ",mode=0777" + moreOptions;
        if (::mount("tmpfs", QFile::encodeName(m_folder.path()).constData(), "tmpfs", 0,
                    options.constData()) != 0) {
            m_reason = std::string("cannot mount a small file system (") + std::strerror(errno) +
                       "): the test needs root";
            return;
        }
        m_mounted = true;
    }
    ~SmallFileSystem() {
        if (m_mounted)
            ::umount2(QFile::encodeName(m_folder.path()).constData(), MNT_DETACH);
    }
    SmallFileSystem(const SmallFileSystem&) = delete;
    SmallFileSystem& operator=(const SmallFileSystem&) = delete;

    bool Mounted() const { return m_mounted; }
    const std::string& Reason() const { return m_reason; }
    QString Path() const { return m_folder.path(); }
    QString FilePath(const QString& name) const { return m_folder.filePath(name); }

    qint64 FreeBytes() const {
        struct statvfs info {};
        if (::statvfs(QFile::encodeName(m_folder.path()).constData(), &info) != 0)
            return -1;
        return static_cast<qint64>(info.f_bavail) * static_cast<qint64>(info.f_frsize);
    }

    // Fills the file system with a filler file so that exactly `bytes` stay free (a whole number of
    // pages); false when it cannot.
    bool LeaveFree(qint64 bytes) {
        if (bytes % kPage != 0)
            return false;
        QFile filler(FilePath(QStringLiteral(".filler")));
        if (!filler.open(QIODevice::ReadWrite | QIODevice::Unbuffered))
            return false;
        filler.seek(filler.size());
        const QByteArray page(kPage, 'F');
        while (filler.write(page) == page.size()) {
        }
        // Full now; cutting whole pages off the filler frees exactly those.
        const qint64 full = filler.size() / kPage * kPage;
        return full >= bytes && filler.resize(full - bytes) && FreeBytes() == bytes;
    }

    // Writes a file whose first `hole` bytes are a hole: they read as zeros and take no space, so
    // that writing over them later needs room. False when it cannot.
    bool WriteAfterHole(const QString& name, qint64 hole, const QByteArray& bytes) {
        QFile file(FilePath(name));
        return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.resize(hole) &&
               file.seek(hole) && file.write(bytes) == bytes.size() && file.flush();
    }

    // Whether its files take extended attributes of the user's (tmpfs since Linux 6.6).
    bool KeepsUserAttributes() const {
        const QByteArray probe = QFile::encodeName(FilePath(QStringLiteral(".attributes")));
        QFile file(QFile::decodeName(probe));
        const bool keeps =
            file.open(QIODevice::WriteOnly) && ::setxattr(probe.constData(), "user.probe", "1", 1, 0) == 0;
        file.remove();
        return keeps;
    }

    // Frees what LeaveFree took.
    void FreeAll() { QFile::remove(FilePath(QStringLiteral(".filler"))); }

private:
    QTemporaryDir m_folder;
    std::string m_reason;
    bool m_mounted = false;
};
