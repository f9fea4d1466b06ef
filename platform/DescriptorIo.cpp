#include "platform/DescriptorIo.h"

#include <cerrno>
#include <unistd.h>

namespace platform {

int WriteFully(int fd, const char* data, qint64 size, qint64 offset, qint64* written) {
    qint64 done = 0;
    const auto result = [&](int error) {
        if (written)
            *written = done;
        return error;
    };
    while (done < size) {
        const auto rest = static_cast<size_t>(size - done);
        const ssize_t count =
            offset < 0 ? ::write(fd, data + done, rest) : ::pwrite(fd, data + done, rest, offset + done);
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0)
            return result(errno);
        if (count == 0)
            return result(ENOSPC);
        done += count;
    }
    return result(0);
}

int ReadFullyAt(int fd, qint64 offset, qint64 size, QByteArray& bytes) {
    bytes.resize(size);
    qint64 read = 0;
    while (read < size) {
        const ssize_t count =
            ::pread(fd, bytes.data() + read, static_cast<size_t>(size - read), offset + read);
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0) {
            bytes.clear();
            return errno;
        }
        if (count == 0)
            break;
        read += count;
    }
    bytes.resize(read);
    return 0;
}

int SyncToDisk(int fd) {
    int result = ::fsync(fd);
    while (result != 0 && errno == EINTR)
        result = ::fsync(fd);
    if (result == 0)
        return 0;
    const int error = errno;
    const bool cannotSync =
        error == EINVAL || error == EROFS || error == ENOTSUP || error == EOPNOTSUPP || error == ENOSYS;
    return cannotSync ? 0 : error;
}

} // namespace platform
