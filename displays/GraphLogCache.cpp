#include "displays/GraphLogCache.h"

#include "publishing/DataLogReader.h"

#include <QFile>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <limits>
#include <sched.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

// The first bytes kept to recognise a log whose start changed.
constexpr std::int64_t kHeadBytes = 4096;
// A log smaller than this is parsed on one thread.
constexpr std::size_t kMinBytesPerThread = 4 << 20;
constexpr int kMaxThreads = 8;
constexpr double kAbsent = std::numeric_limits<double>::quiet_NaN();

int UsableCores() {
    cpu_set_t set;
    CPU_ZERO(&set);
    if (sched_getaffinity(0, sizeof set, &set) == 0)
        return std::max(1, CPU_COUNT(&set));
    return std::max(1u, std::thread::hardware_concurrency());
}

struct ParsedPart {
    GraphLogCache::Block block;
    std::vector<GraphLogTag> tags; // record indices within the part
};

void AddLine(ParsedPart& part, const LogLine& line) {
    GraphLogCache::Block& block = part.block;
    const std::size_t n = block.time.size();
    block.time.push_back(line.time);
    block.earliest = std::min(block.earliest, line.time);
    block.latest = std::max(block.latest, line.time);
    for (int channel = 0; channel < kLogChannels; ++channel) {
        std::vector<double>& column = block.value[channel];
        if (line.present & (1u << channel)) {
            if (column.empty() && n > 0) {
                column.reserve(block.time.capacity());
                column.assign(n, kAbsent);
            } else if (column.empty()) {
                column.reserve(block.time.capacity());
            }
            column.push_back(line.value[channel]);
        } else if (!column.empty()) {
            column.push_back(kAbsent);
        }
    }
    if (line.hasTag)
        part.tags.push_back({n, line.tag.flag, line.tag.text});
}

void ParseInto(ParsedPart& part, std::string_view data) {
    part.block.time.reserve(static_cast<std::size_t>(std::count(data.begin(), data.end(), '\r')));
    LogLine line;
    ForEachLogLine(data, [&](std::string_view text) {
        if (ParseLogLine(text, line))
            AddLine(part, line);
    });
}

// A position at or after `from` where a line starts as the whole-file walk sees it: after a CR LF
// whose CR follows a byte that is no CR (so that CR cannot be the skipped follower of another).
std::size_t LineStartAfter(std::string_view data, std::size_t from) {
    for (std::size_t i = std::max<std::size_t>(from, 1); i + 1 < data.size(); ++i)
        if (data[i] == '\r' && data[i + 1] == '\n' && data[i - 1] != '\r')
            return i + 2;
    return data.size();
}

// Parses complete lines of `data` on several threads.
std::vector<ParsedPart> ParseParallel(std::string_view data) {
    const int threads = static_cast<int>(std::clamp<std::size_t>(
        data.size() / kMinBytesPerThread, 1, static_cast<std::size_t>(std::min(kMaxThreads, UsableCores()))));
    std::vector<std::size_t> starts{0};
    for (int i = 1; i < threads; ++i) {
        const std::size_t start = LineStartAfter(data, data.size() * i / threads);
        if (start > starts.back() && start < data.size())
            starts.push_back(start);
    }
    starts.push_back(data.size());
    std::vector<ParsedPart> parts(starts.size() - 1);
    std::vector<std::thread> workers;
    for (std::size_t i = 1; i < parts.size(); ++i)
        workers.emplace_back(
            [&, i] { ParseInto(parts[i], data.substr(starts[i], starts[i + 1] - starts[i])); });
    ParseInto(parts[0], data.substr(0, starts[1]));
    for (std::thread& worker : workers)
        worker.join();
    return parts;
}

// Reads `length` bytes at `offset` with pread; false on an error or a short read.
bool ReadAt(int fd, std::int64_t offset, std::int64_t length, QByteArray& bytes) {
    bytes.resize(length);
    std::int64_t done = 0;
    while (done < length) {
        const ssize_t n =
            pread(fd, bytes.data() + done, static_cast<std::size_t>(length - done), offset + done);
        if (n <= 0)
            return false;
        done += n;
    }
    return true;
}

template <typename T> std::size_t CapacityBytes(const std::vector<T>& v) {
    return v.capacity() * sizeof(T);
}

} // namespace

void GraphLogCache::Clear() {
    m_blocks.clear();
    m_tags.clear();
    m_records = 0;
    m_consumed = 0;
    m_head.clear();
    m_path.clear();
    m_device = 0;
    m_inode = 0;
}

std::size_t GraphLogCache::MemoryBytes() const {
    std::size_t bytes = CapacityBytes(m_blocks) + CapacityBytes(m_tags);
    for (const Block& block : m_blocks) {
        bytes += CapacityBytes(block.time);
        for (const auto& column : block.value)
            bytes += CapacityBytes(column);
    }
    for (const GraphLogTag& tag : m_tags)
        bytes += static_cast<std::size_t>(tag.text.capacity()) * sizeof(QChar);
    return bytes;
}

bool GraphLogCache::Refresh(const QString& path) {
    const QByteArray localPath = QFile::encodeName(path);
    const int fd = open(localPath.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        Clear();
        return false;
    }
    struct stat status {};
    bool ok = fstat(fd, &status) == 0 && S_ISREG(status.st_mode);
    if (ok) {
        const std::int64_t size = status.st_size;
        bool whole = m_bAlwaysFullRead || path != m_path || status.st_dev != m_device ||
                     status.st_ino != m_inode || size < m_consumed;
        if (!whole && !m_head.isEmpty()) { // m_head: the first bytes of the parsed lines
            QByteArray head;
            whole = !ReadAt(fd, 0, m_head.size(), head) || head != m_head;
        }
        ok = whole ? FullRead(fd, path, size) : Append(fd, size);
        if (ok) {
            m_device = status.st_dev;
            m_inode = status.st_ino;
        }
    }
    close(fd);
    if (!ok)
        Clear();
    return ok;
}

bool GraphLogCache::FullRead(int fd, const QString& path, std::int64_t size) {
    Clear();
    ++m_fullReads;
    m_path = path;
    if (size == 0)
        return true;
    // The file is mapped, not copied: the page cache is its only copy in memory.
    void* mapped = mmap(nullptr, static_cast<std::size_t>(size), PROT_READ, MAP_PRIVATE, fd, 0);
    if (mapped == MAP_FAILED)
        return false;
    madvise(mapped, static_cast<std::size_t>(size), MADV_SEQUENTIAL | MADV_WILLNEED);
    const std::string_view data(static_cast<const char*>(mapped), static_cast<std::size_t>(size));
    const std::size_t end = CompleteLogLinesEnd(data);
    std::vector<ParsedPart> parts = ParseParallel(data.substr(0, end));
    m_head = QByteArray(data.data(), static_cast<qsizetype>(std::min<std::int64_t>(end, kHeadBytes)));
    munmap(mapped, static_cast<std::size_t>(size));
    for (ParsedPart& part : parts) {
        for (GraphLogTag& tag : part.tags) {
            tag.record += m_records;
            m_tags.push_back(std::move(tag));
        }
        m_records += part.block.time.size();
        if (!part.block.time.empty())
            m_blocks.push_back(std::move(part.block));
    }
    m_consumed = static_cast<std::int64_t>(end);
    return true;
}

bool GraphLogCache::Append(int fd, std::int64_t size) {
    if (size == m_consumed)
        return true;
    QByteArray bytes;
    if (!ReadAt(fd, m_consumed, size - m_consumed, bytes))
        return false;
    const std::string_view data(bytes.constData(), static_cast<std::size_t>(bytes.size()));
    const std::size_t end = CompleteLogLinesEnd(data);
    if (end == 0)
        return true;
    if (m_blocks.empty())
        m_blocks.emplace_back();
    ParsedPart part;
    part.block = std::move(m_blocks.back());
    const std::size_t before = part.block.time.size();
    LogLine line;
    ForEachLogLine(data.substr(0, end), [&](std::string_view text) {
        if (ParseLogLine(text, line))
            AddLine(part, line);
    });
    for (GraphLogTag& tag : part.tags) {
        tag.record += m_records - before;
        m_tags.push_back(std::move(tag));
    }
    m_records += part.block.time.size() - before;
    m_blocks.back() = std::move(part.block);
    if (m_head.size() < kHeadBytes)
        m_head.append(bytes.constData(),
                      static_cast<qsizetype>(std::min<std::int64_t>(end, kHeadBytes - m_head.size())));
    m_consumed += static_cast<std::int64_t>(end);
    return true;
}
