#include "platform/WholeFileReads.h"

#include <condition_variable>
#include <map>
#include <mutex>
#include <set>
#include <sys/stat.h>

namespace platform {

namespace {

struct FilesInUse {
    std::mutex mutex;
    std::condition_variable rewriteEnded;
    std::map<FileIdentity, int> readers;
    std::set<FileIdentity> rewritten;
};

FilesInUse& InUse() {
    static FilesInUse files;
    return files;
}

std::optional<FileIdentity> IdentityOf(int fd) {
    struct stat info {};
    if (fd < 0 || ::fstat(fd, &info) != 0)
        return std::nullopt;
    return FileIdentity{info.st_dev, info.st_ino};
}

} // namespace

WholeFileRead::WholeFileRead(int fd) : m_file(IdentityOf(fd)) {
    if (!m_file)
        return;
    FilesInUse& files = InUse();
    std::unique_lock lock(files.mutex);
    files.rewriteEnded.wait(lock, [&] { return !files.rewritten.contains(*m_file); });
    ++files.readers[*m_file];
}

WholeFileRead::~WholeFileRead() {
    if (!m_file)
        return;
    FilesInUse& files = InUse();
    const std::lock_guard lock(files.mutex);
    if (const auto reader = files.readers.find(*m_file);
        reader != files.readers.end() && --reader->second == 0)
        files.readers.erase(reader);
}

InPlaceRewrite::InPlaceRewrite(int fd) : m_file(IdentityOf(fd)) {
    if (!m_file) {
        m_acquired = true; // nobody can be reading what cannot be told either
        return;
    }
    FilesInUse& files = InUse();
    const std::lock_guard lock(files.mutex);
    m_acquired = !files.readers.contains(*m_file) && files.rewritten.insert(*m_file).second;
}

InPlaceRewrite::~InPlaceRewrite() {
    if (!m_file || !m_acquired)
        return;
    FilesInUse& files = InUse();
    {
        const std::lock_guard lock(files.mutex);
        files.rewritten.erase(*m_file);
    }
    files.rewriteEnded.notify_all();
}

} // namespace platform
