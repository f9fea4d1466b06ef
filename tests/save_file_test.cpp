// The program's crash-safe save on real files: what it refuses to replace, what it makes and
// replaces, the temporaries that a save or a trim killed before its rename leaves, and a full disk.
#include "platform/FileWriting.h"
#include "platform/SaveFile.h"
#include "publishing/DataLogFile.h"
#include "support/FileBytes.h"
#include "support/HangWatchdog.h"
#include "support/NullDevice.h"
#include "support/SmallFileSystem.h"
#include "support/WithoutFileOverride.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cerrno>
#include <cstddef>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <gtest/gtest.h>
#include <iterator>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <map>
#include <sys/file.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr const char* kNotRegular = "not a regular file";

// What a folder entry is, without following it.
struct Entry {
    ino_t inode = 0;
    mode_t mode = 0;
    dev_t device = 0;
    bool operator==(const Entry&) const = default;
};

Entry EntryAt(const QString& path) {
    struct stat info {};
    if (::lstat(QFile::encodeName(path).constData(), &info) != 0)
        return {};
    return {info.st_ino, info.st_mode, info.st_rdev};
}

// How the system holds a child process that runs a save (seccomp).
struct ChildRules {
    // Its first rename kills it: a save or trim cut off after its temporary got its name and
    // before it took the file's place, as a kill or a power cut can.
    bool killedAtRename = true;
    // Refused: opening with O_TMPFILE, as on a file system without unnamed files.
    bool unnamedFiles = true;
};

// Runs `write` in a child process under the rules. True when the child ended as they say: killed
// at its rename, or else with `write` done.
bool RunInChild(const std::function<bool()>& write, ChildRules rules = {}) {
    const pid_t child = ::fork();
    if (child < 0)
        return false;
    if (child == 0) {
        const __u32 atRename = rules.killedAtRename ? SECCOMP_RET_KILL_PROCESS : SECCOMP_RET_ALLOW;
        const __u32 atUnnamed = rules.unnamedFiles ? SECCOMP_RET_ALLOW : SECCOMP_RET_ERRNO | EOPNOTSUPP;
#ifdef __NR_rename
        constexpr int kRename = __NR_rename;
#else
        constexpr int kRename = __NR_renameat;
#endif
        sock_filter filter[] = {
            BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
            BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, kRename, 7, 0),
            BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_renameat, 6, 0),
            BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_renameat2, 5, 0),
            BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_openat, 0, 2),
            BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, args[2])), // its flags
            BPF_JUMP(BPF_JMP | BPF_JSET | BPF_K, O_TMPFILE & ~O_DIRECTORY, 1, 0),
            BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
            BPF_STMT(BPF_RET | BPF_K, atUnnamed),
            BPF_STMT(BPF_RET | BPF_K, atRename),
        };
        const sock_fprog program{static_cast<unsigned short>(std::size(filter)), filter};
        if (::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0 ||
            ::prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program) != 0)
            ::_exit(EXIT_FAILURE);
        ::_exit(write() ? EXIT_SUCCESS : EXIT_FAILURE);
    }
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    if (rules.killedAtRename)
        return WIFSIGNALED(status) && WTERMSIG(status) == SIGSYS;
    return WIFEXITED(status) && WEXITSTATUS(status) == EXIT_SUCCESS;
}

class SaveFileTest : public ::testing::Test {
protected:
    QString Path(const QString& name) const { return m_dir.filePath(name); }
    // Every entry of the folder, hidden ones too, by name.
    QStringList Names(const QString& folder = {}) const {
        return QDir(folder.isEmpty() ? m_dir.path() : folder)
            .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    }
    std::string Listed(const QString& folder = {}) const { return Names(folder).join(' ').toStdString(); }
    // The entries that are not in `known`.
    QStringList NamesBut(const QStringList& known) const {
        QStringList names = Names();
        names.removeIf([&](const QString& name) { return known.contains(name); });
        return names;
    }
    QTemporaryDir m_dir;
};

} // namespace

// A device (the null device's numbers), a FIFO that nobody reads, a socket and a folder, named
// directly, through a link and through a link to that link: every save is refused at once as "not
// a regular file" and each stays what it was; also in a folder that refuses new files, where the
// page would be written in place, and with a reader on the FIFO that gets nothing.
TEST_F(SaveFileTest, NothingButARegularFileIsReplacedDirectlyOrThroughLinks) {
    if (const std::string why = DeviceNodesRefused(); !why.empty())
        GTEST_SKIP() << why;
    const HangWatchdog watchdog("a save onto a FIFO, a device or a socket");
    const auto native = [&](const QString& name) { return QFile::encodeName(Path(name)); };
    ASSERT_TRUE(MakeNullDevice(Path("null"))) << std::strerror(errno);
    ASSERT_EQ(::mkfifo(native("fifo"), 0600), 0);
    const int socketFd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    ASSERT_LT(static_cast<std::size_t>(native("socket").size()), sizeof address.sun_path);
    std::strcpy(address.sun_path, native("socket").constData());
    ASSERT_EQ(::bind(socketFd, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    ::close(socketFd);
    ASSERT_TRUE(QDir(m_dir.path()).mkdir(QStringLiteral("folder")));
    QStringList paths;
    for (const QString name : {"null", "fifo", "socket", "folder"}) {
        ASSERT_EQ(::symlink(QFile::encodeName(name), native(name + ".link")), 0); // relative
        ASSERT_EQ(::symlink(native(name + ".link"), native(name + ".link2")), 0); // to the link
        paths << Path(name) << Path(name + ".link") << Path(name + ".link2");
    }
    std::map<QString, Entry> before;
    for (const QString& path : paths)
        before[path] = EntryAt(path);
    const int reader = ::open(native("fifo"), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(reader, 0);

    const auto refused = [&](const char* where) {
        for (const QString& path : paths) {
            QString reason;
            EXPECT_FALSE(platform::SaveWholeFile(path, "saved", &reason)) << where << qPrintable(path);
            EXPECT_EQ(reason.toStdString(), kNotRegular) << where << qPrintable(path);
            reason.clear();
            EXPECT_FALSE(platform::PublishWholeFile(path, "published", &reason)) << where << qPrintable(path);
            EXPECT_EQ(reason.toStdString(), kNotRegular) << where << qPrintable(path);
        }
    };
    refused("");
    {
        WithoutFileOverride asAUser;
        ASSERT_TRUE(QFile::setPermissions(m_dir.path(), QFileDevice::ReadOwner | QFileDevice::ExeOwner));
        refused("no new files: ");
        QFile::setPermissions(m_dir.path(),
                              QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    }
    for (const QString& path : paths)
        EXPECT_TRUE(EntryAt(path) == before[path]) << qPrintable(path);
    char byte = 0;
    EXPECT_LE(::read(reader, &byte, 1), 0) << "nothing was written into the FIFO";
    ::close(reader);
    EXPECT_EQ(Names().size(), paths.size()) << Listed();
}

// A FIFO put in the file's place while its save was written is not replaced by the commit either.
TEST_F(SaveFileTest, WhatTookTheFilesPlaceMeanwhileIsNotReplaced) {
    const QString page = Path(QStringLiteral("gpsstat.htm"));
    platform::SaveFile save(page);
    ASSERT_TRUE(save.Open());
    ASSERT_EQ(::write(save.Handle(), "page", 4), 4);
    ASSERT_EQ(::mkfifo(QFile::encodeName(page), 0600), 0);
    EXPECT_FALSE(save.Commit());
    EXPECT_EQ(save.ErrorString().toStdString(), kNotRegular);
    EXPECT_TRUE(S_ISFIFO(EntryAt(page).mode));
    EXPECT_EQ(Listed(), "gpsstat.htm");
}

// A missing file is made, also at the end of a link; a file reached through links is replaced
// where it lies, its link and its permissions kept, and nothing else is left in its folder.
TEST_F(SaveFileTest, AMissingFileIsMadeAndALinkedOneReplacedWhereItLies) {
    ASSERT_TRUE(platform::SaveWholeFile(Path(QStringLiteral("new.txt")), "made"));
    EXPECT_EQ(ReadFileBytes(Path(QStringLiteral("new.txt"))), "made");
    ASSERT_TRUE(QDir(m_dir.path()).mkdir(QStringLiteral("Pages")));
    const QString link = Path(QStringLiteral("page.link"));
    const QString page = Path(QStringLiteral("Pages/page.htm"));
    ASSERT_EQ(::symlink("Pages/page.htm", QFile::encodeName(link)), 0);
    ASSERT_TRUE(platform::SaveWholeFile(link, "first"));
    EXPECT_EQ(ReadFileBytes(page), "first");
    constexpr mode_t kKept = 0640;
    ASSERT_EQ(::chmod(QFile::encodeName(page), kKept), 0);
    ASSERT_TRUE(platform::SaveWholeFile(link, "second"));
    EXPECT_EQ(ReadFileBytes(page), "second");
    EXPECT_EQ(EntryAt(page).mode & 07777, kKept);
    EXPECT_TRUE(QFileInfo(link).isSymLink());
    EXPECT_EQ(Listed(Path(QStringLiteral("Pages"))), "page.htm");
}

// A save killed between its temporary's link and its rename leaves the whole new file beside the
// old under a temporary name; the next save of that file removes it, and only it: the operator's
// own files beside it stay, those named as another program's temporaries too, and so does a
// temporary that a save still running holds. The same on a file system without unnamed files,
// where a save that is not killed leaves nothing either.
TEST_F(SaveFileTest, ASaveKilledBeforeItsRenameLeavesATemporaryThatTheNextSaveRemoves) {
    const QString page = Path(QStringLiteral("gpsstat.htm"));
    const QStringList known = {QStringLiteral("gpsstat.htm"), QStringLiteral("gpsstat.htm.backup"),
                               QStringLiteral("gpsstat.htm.Ab12Cd"), QStringLiteral("gpsstat.htm~"),
                               QStringLiteral(".gpsstat.htm.swp")};
    for (const QString& name : known)
        ASSERT_TRUE(WriteFileBytes(Path(name), "the operator's"));
    const QByteArray whole(1024 * 1024, 'p');
    for (const bool unnamedFiles : {true, false}) {
        SCOPED_TRACE(unnamedFiles ? "unnamed temporaries" : "no unnamed files");
        ASSERT_TRUE(
            RunInChild([&] { return platform::SaveWholeFile(page, "saved"); }, {false, unnamedFiles}));
        EXPECT_EQ(ReadFileBytes(page), "saved");
        EXPECT_EQ(NamesBut(known).join(' ').toStdString(), "");
        // What is left beside the operator's files after a save killed before its rename.
        const auto killedSave = [&] {
            EXPECT_TRUE(
                RunInChild([&] { return platform::SaveWholeFile(page, whole); }, {true, unnamedFiles}));
            const QStringList left = NamesBut(known);
            return left.size() == 1 ? left[0] : QString();
        };
        const QString leftover = killedSave();
        ASSERT_FALSE(leftover.isEmpty()) << Listed();
        EXPECT_EQ(ReadFileBytes(Path(leftover)), whole);
        const QString held = killedSave(); // the first one removed by this save before it was killed
        ASSERT_FALSE(held.isEmpty()) << Listed();
        EXPECT_EQ(ReadFileBytes(page), "saved");

        // A save still running holds its temporary locked.
        QFile holder(Path(held));
        ASSERT_TRUE(holder.open(QIODevice::ReadOnly));
        ASSERT_EQ(::flock(holder.handle(), LOCK_EX | LOCK_NB), 0);
        ASSERT_TRUE(platform::SaveWholeFile(page, "next"));
        EXPECT_EQ(ReadFileBytes(page), "next");
        EXPECT_EQ(NamesBut(known).join(' ').toStdString(), held.toStdString());
        holder.close();
        ASSERT_TRUE(platform::PublishWholeFile(page, "after"));
        EXPECT_EQ(NamesBut(known).join(' ').toStdString(), "");
    }
    for (const QString& name : known.mid(1))
        EXPECT_EQ(ReadFileBytes(Path(name)), "the operator's") << qPrintable(name);
}

// A data log's trim killed the same way leaves its full-size copy; the next line appended, which
// trims nothing, removes it.
TEST_F(SaveFileTest, ATrimKilledBeforeItsRenameLeavesACopyThatTheNextLineRemoves) {
    constexpr int kLimitKb = 2048;
    const QString log = Path(QStringLiteral("gpslog.txt"));
    const QByteArray line = "1709600000\t2.4979\t-3.217E-09\t\t\t\t\t\t\t\r\n";
    QByteArray lines;
    while (lines.size() < 3 * 1024 * 1024)
        lines += line;
    ASSERT_TRUE(WriteFileBytes(log, lines));
    EXPECT_TRUE(RunInChild([&] { return AppendLogLine(log, line, kLimitKb) == LogWriteResult::Written; }));
    const QStringList left = NamesBut({QStringLiteral("gpslog.txt")});
    ASSERT_EQ(left.size(), 1);
    EXPECT_GT(QFileInfo(Path(left[0])).size(), 2 * 1024 * 1024 - 64 * 1024);
    EXPECT_EQ(ReadFileBytes(log), lines);

    ASSERT_EQ(AppendLogLine(log, line, 0), LogWriteResult::Written);
    EXPECT_EQ(Listed(), "gpslog.txt");
    EXPECT_EQ(QFileInfo(log).size(), lines.size() + line.size());
}

// A full disk: the save fails with the disk's reason, the old file stays whole, and no temporary
// is left holding room.
TEST_F(SaveFileTest, AFullDiskLeavesTheOldFileWholeAndNoTemporary) {
    SmallFileSystem disk(256 * 1024);
    if (!disk.Mounted())
        GTEST_SKIP() << disk.Reason();
    const QString page = disk.FilePath(QStringLiteral("gpsstat.htm"));
    const QByteArray old(20000, 'o');
    ASSERT_TRUE(WriteFileBytes(page, old));
    constexpr qint64 kFree = 8 * SmallFileSystem::kPage;
    ASSERT_TRUE(disk.LeaveFree(kFree));
    QString reason;
    EXPECT_FALSE(platform::SaveWholeFile(page, QByteArray(64 * 1024, 'n'), &reason));
    EXPECT_EQ(reason.toStdString(), "No space left on device");
    EXPECT_EQ(ReadFileBytes(page), old);
    EXPECT_EQ(Listed(disk.Path()), ".filler gpsstat.htm");
    EXPECT_EQ(disk.FreeBytes(), kFree);
}
