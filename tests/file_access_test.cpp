// Opening the program's own files: anything but a regular file is refused at once, never waited on.
#include "platform/FileAccess.h"
#include "support/AddressSpaceLimit.h"
#include "support/FileBytes.h"

#include <QTemporaryDir>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

class FileAccessTest : public ::testing::Test {
protected:
    QString Path(const QString& name) const { return dir.filePath(name); }
    QString Fifo() const {
        const QString path = Path(QStringLiteral("fifo"));
        EXPECT_EQ(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        return path;
    }
    QTemporaryDir dir;
};

// A FIFO with nobody on the other end blocks an ordinary open for reading and refuses one for
// writing; both are said as "not a regular file", and so are a folder and a device.
TEST_F(FileAccessTest, RefusesWhatIsNotARegularFileWithoutWaiting) {
    const QString fifo = Fifo();
    const QIODevice::OpenMode modes[] = {QIODevice::ReadOnly, QIODevice::WriteOnly, QIODevice::ReadWrite,
                                         QIODevice::WriteOnly | QIODevice::Append};
    for (const QString& path : {fifo, dir.path(), QStringLiteral("/dev/null")}) {
        for (const auto mode : modes) {
            QFile file;
            QString reason;
            EXPECT_FALSE(platform::OpenRegularFile(file, path, mode, &reason)) << path.toStdString();
            EXPECT_EQ(reason, QStringLiteral("not a regular file")) << path.toStdString();
            EXPECT_FALSE(file.isOpen());
        }
    }
    QString reason;
    EXPECT_FALSE(platform::ReadRegularFile(fifo, 1024, &reason));
    EXPECT_EQ(reason, QStringLiteral("not a regular file"));
}

TEST_F(FileAccessTest, OpensRegularFilesAsQFileWouldAndBlocking) {
    const QString path = Path(QStringLiteral("Log.TXT"));
    QString reason;
    QFile missing;
    EXPECT_FALSE(platform::OpenRegularFile(missing, path, QIODevice::ReadOnly, &reason));
    EXPECT_FALSE(reason.isEmpty());
    EXPECT_FALSE(platform::OpenRegularFile(missing, path, QIODevice::WriteOnly | QIODevice::ExistingOnly));

    {
        QFile file;
        ASSERT_TRUE(platform::OpenRegularFile(file, path, QIODevice::WriteOnly)); // created
        EXPECT_EQ(::fcntl(file.handle(), F_GETFL) & O_NONBLOCK, 0);
        file.write("first\n");
    }
    {
        QFile file;
        ASSERT_TRUE(platform::OpenRegularFile(file, path, QIODevice::WriteOnly | QIODevice::Append));
        file.write("second\n");
    }
    EXPECT_EQ(ReadFileBytes(path), QByteArray("first\nsecond\n"));
    {
        QFile file;
        ASSERT_TRUE(platform::OpenRegularFile(file, path, QIODevice::ReadWrite)); // keeps the bytes
        EXPECT_EQ(file.readAll(), QByteArray("first\nsecond\n"));
    }
    {
        QFile file;
        ASSERT_TRUE(platform::OpenRegularFile(file, path, QIODevice::WriteOnly)); // truncates
    }
    EXPECT_EQ(ReadFileBytes(path), QByteArray());

    ASSERT_TRUE(WriteFileBytes(path, "0123456789"));
    EXPECT_EQ(platform::ReadRegularFile(path, 10), QByteArray("0123456789"));
    EXPECT_FALSE(platform::ReadRegularFile(path, 9, &reason));
    EXPECT_EQ(reason, QStringLiteral("file too large"));
}

// A file read whole takes a buffer of its own size, however high the limit: under an address-space
// limit a small file reads, and one larger than the room left is refused with the system's
// reason, not an abort.
TEST_F(FileAccessTest, ReadsAFileIntoABufferOfItsOwnSize) {
    if (!AddressSpaceLimit::Supported())
        GTEST_SKIP() << "AddressSanitizer reserves the whole address space";
    constexpr qint64 kMiB = 1024 * 1024;
    const QString small = Path(QStringLiteral("small"));
    ASSERT_TRUE(WriteFileBytes(small, "page"));
    const QString large = Path(QStringLiteral("large"));
    {
        QFile file(large);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.resize(512 * kMiB)); // sparse: no disk used
    }
    QString reason;
    std::optional<QByteArray> smallBytes, largeBytes;
    {
        const AddressSpaceLimit limit(AddressSpaceLimit::StatusKb("VmSize") + 128 * 1024);
        ASSERT_TRUE(limit.IsSet());
        smallBytes = platform::ReadRegularFile(small, 1024 * kMiB);
        largeBytes = platform::ReadRegularFile(large, 1024 * kMiB, &reason);
    }
    EXPECT_EQ(smallBytes, QByteArray("page"));
    EXPECT_FALSE(largeBytes);
    EXPECT_EQ(reason, QString::fromLocal8Bit(std::strerror(ENOMEM)));
}

} // namespace
