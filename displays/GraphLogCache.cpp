#include "displays/GraphLogCache.h"

#include "platform/FileAccess.h"
#include "publishing/DataLogReader.h"

#include <QFile>
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <limits>
#include <sched.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

// The first bytes kept to recognise a log whose start changed.
constexpr std::int64_t kHeadBytes = 4096;
// A log smaller than this is parsed on one thread.
constexpr std::int64_t kMinBytesPerThread = 4 << 20;
constexpr int kMaxThreads = 8;
// Bytes read and parsed at a time: few reads, and the bytes are still in the processor's cache
// when they are parsed.
constexpr std::size_t kReadBlockBytes = 1 << 20;
// Reads of a log that keeps shrinking under them before a refresh gives up.
constexpr int kReadAttempts = 4;
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
    std::size_t searched = 0;      // bytes searched for line ends
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

// A position at or after `from` where a line starts as the whole-file walk sees it: after a CR LF
// whose CR follows a byte that is no CR (so that CR cannot be the skipped follower of another).
std::size_t LineStartAfter(std::string_view data, std::size_t from) {
    for (std::size_t i = data.find('\r', std::max<std::size_t>(from, 1));
         i != std::string_view::npos && i + 1 < data.size(); i = data.find('\r', i + 1))
        if (data[i + 1] == '\n' && data[i - 1] != '\r')
            return i + 2;
    return data.size();
}

// Reads `length` bytes at `offset` into `buffer` with pread.
GraphLogCache::ReadOutcome ReadAt(int fd, std::int64_t offset, std::size_t length, char* buffer) {
    std::size_t done = 0;
    while (done < length) {
        const ssize_t n = pread(fd, buffer + done, length - done, offset + static_cast<std::int64_t>(done));
        if (n == 0)
            return GraphLogCache::ReadOutcome::Shrank;
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return GraphLogCache::ReadOutcome::Failed;
        done += static_cast<std::size_t>(n);
    }
    return GraphLogCache::ReadOutcome::Done;
}

// A position at or after `from` (from 1 to `size`) where a line starts as the whole-file walk
// sees it, or `size` when there is none; the file is read forward a window at a time.
GraphLogCache::ReadOutcome FileLineStartAfter(int fd, std::int64_t from, std::int64_t size,
                                              std::int64_t& start) {
    // A window starts one byte before the CR it may find: a CR there makes that CR a skipped
    // follower. So the next window starts three bytes before the end of the last, where the last
    // could not yet tell a CR LF apart.
    constexpr std::int64_t kWindowBytes = 64 << 10;
    constexpr std::int64_t kUnresolvedBytes = 3;
    std::vector<char> window(static_cast<std::size_t>(std::min(kWindowBytes, size - from + 1)));
    for (std::int64_t first = from - 1;;
         first += static_cast<std::int64_t>(window.size()) - kUnresolvedBytes) {
        window.resize(static_cast<std::size_t>(std::min(kWindowBytes, size - first)));
        if (const auto read = ReadAt(fd, first, window.size(), window.data());
            read != GraphLogCache::ReadOutcome::Done)
            return read;
        const std::string_view data(window.data(), window.size());
        const std::size_t at = LineStartAfter(data, 1);
        const bool last = first + static_cast<std::int64_t>(data.size()) == size;
        if (at < data.size() || last) {
            start = first + static_cast<std::int64_t>(at);
            return GraphLogCache::ReadOutcome::Done;
        }
    }
}

// Reads the file from `from` (a line start) to `to` in blocks and parses its complete lines;
// `consumed` ends past the last of them. `head`, when given, receives the first bytes read.
GraphLogCache::ReadOutcome ReadAndParse(int fd, std::int64_t from, std::int64_t to, ParsedPart& part,
                                        std::int64_t& consumed, QByteArray* head = nullptr) {
    LogLineBuffer buffer;
    LogLine line;
    consumed = from;
    for (std::int64_t at = from; at < to;) {
        const auto length = static_cast<std::size_t>(std::min<std::int64_t>(kReadBlockBytes, to - at));
        if (const auto read = ReadAt(fd, at, length, buffer.Extend(length));
            read != GraphLogCache::ReadOutcome::Done)
            return read;
        if (at == from) {
            const std::string_view data = buffer.Bytes();
            if (head)
                *head = QByteArray(data.data(),
                                   static_cast<qsizetype>(std::min<std::size_t>(data.size(), kHeadBytes)));
            // Room for the range's records, estimated from the lines of its first block with a
            // little to spare (an estimate just short would double the columns).
            if (part.block.time.empty()) {
                const auto lines = static_cast<std::size_t>(std::count(data.begin(), data.end(), '\r'));
                const std::size_t expected = lines * static_cast<std::size_t>(to - from) / data.size();
                part.block.time.reserve(expected + expected / 32 + 16);
            }
        }
        at += static_cast<std::int64_t>(length);
        consumed += static_cast<std::int64_t>(buffer.TakeLines([&](std::string_view text) {
            if (ParseLogLine(text, line))
                AddLine(part, line);
        }));
    }
    part.searched = buffer.BytesSearched();
    return GraphLogCache::ReadOutcome::Done;
}

// Gives back the room of columns that grew well past their records (a range whose first block
// had longer lines than the rest).
void ReleaseSpareRoom(GraphLogCache::Block& block) {
    const std::size_t records = block.time.size();
    if (block.time.capacity() - records <= records / 16)
        return;
    block.time.shrink_to_fit();
    for (std::vector<double>& column : block.value)
        column.shrink_to_fit();
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
    QFile file;
    if (!platform::OpenRegularFile(file, path, QIODevice::ReadOnly)) {
        Clear();
        return false;
    }
    const int fd = file.handle();
    struct stat status {};
    ReadOutcome outcome = ReadOutcome::Failed;
    bool whole = m_bAlwaysFullRead;
    m_searched = 0;
    // A file that shrinks while it is read is read again whole, as one that shrank between two
    // refreshes; one that keeps shrinking is left for the next refresh.
    for (int attempt = 0; attempt < kReadAttempts; ++attempt) {
        if (fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
            outcome = ReadOutcome::Failed;
            break;
        }
        const std::int64_t size = status.st_size;
        whole = whole || path != m_path || status.st_dev != m_device || status.st_ino != m_inode ||
                size < m_consumed;
        if (!whole && !m_head.isEmpty()) { // m_head: the first bytes of the parsed lines
            QByteArray head(m_head.size(), Qt::Uninitialized);
            whole = ReadAt(fd, 0, static_cast<std::size_t>(head.size()), head.data()) != ReadOutcome::Done ||
                    head != m_head;
        }
        outcome = whole ? FullRead(fd, path, size) : Append(fd, size);
        if (outcome != ReadOutcome::Shrank)
            break;
        whole = true;
    }
    if (outcome != ReadOutcome::Done) {
        Clear();
        return false;
    }
    m_device = status.st_dev;
    m_inode = status.st_ino;
    return true;
}

GraphLogCache::ReadOutcome GraphLogCache::FullRead(int fd, const QString& path, std::int64_t size) {
    Clear();
    ++m_fullReads;
    m_path = path;
    if (size == 0)
        return ReadOutcome::Done;
    // The log is split at line starts into a range per thread; each reads and parses its own.
    const auto threads = static_cast<std::int64_t>(
        std::clamp<std::int64_t>(size / kMinBytesPerThread, 1, std::min(kMaxThreads, UsableCores())));
    std::vector<std::int64_t> starts{0};
    for (std::int64_t i = 1; i < threads; ++i) {
        std::int64_t start = size;
        if (const ReadOutcome read = FileLineStartAfter(fd, size * i / threads, size, start);
            read != ReadOutcome::Done)
            return read;
        if (start >= size)
            break; // no later line start either: the rest is one part
        if (start > starts.back())
            starts.push_back(start);
    }
    starts.push_back(size);
    const std::size_t count = starts.size() - 1;
    std::vector<ParsedPart> parts(count);
    std::vector<std::int64_t> consumed(count);
    std::vector<ReadOutcome> outcomes(count);
    QByteArray head;
    std::vector<std::thread> workers;
    for (std::size_t i = 1; i < count; ++i)
        workers.emplace_back([&, i] {
            outcomes[i] = ReadAndParse(fd, starts[i], starts[i + 1], parts[i], consumed[i]);
            ReleaseSpareRoom(parts[i].block);
        });
    outcomes[0] = ReadAndParse(fd, 0, starts[1], parts[0], consumed[0], &head);
    ReleaseSpareRoom(parts[0].block);
    for (std::thread& worker : workers)
        worker.join();
    for (const ReadOutcome outcome : outcomes)
        if (outcome != ReadOutcome::Done)
            return outcome;

    for (ParsedPart& part : parts) {
        m_searched += part.searched;
        for (GraphLogTag& tag : part.tags) {
            tag.record += m_records;
            m_tags.push_back(std::move(tag));
        }
        m_records += part.block.time.size();
        if (!part.block.time.empty())
            m_blocks.push_back(std::move(part.block));
    }
    m_consumed = consumed.back();
    m_head = head.left(static_cast<qsizetype>(std::min(m_consumed, kHeadBytes)));
    return ReadOutcome::Done;
}

GraphLogCache::ReadOutcome GraphLogCache::Append(int fd, std::int64_t size) {
    if (size == m_consumed)
        return ReadOutcome::Done;
    if (m_blocks.empty())
        m_blocks.emplace_back();
    ParsedPart part;
    part.block = std::move(m_blocks.back());
    const std::size_t before = part.block.time.size();
    std::int64_t consumed = m_consumed;
    QByteArray head;
    const ReadOutcome outcome = ReadAndParse(fd, m_consumed, size, part, consumed, &head);
    m_blocks.back() = std::move(part.block);
    if (outcome != ReadOutcome::Done)
        return outcome;
    m_searched += part.searched;
    for (GraphLogTag& tag : part.tags) {
        tag.record += m_records - before;
        m_tags.push_back(std::move(tag));
    }
    m_records += m_blocks.back().time.size() - before;
    if (m_head.size() < kHeadBytes)
        m_head += head.left(static_cast<qsizetype>(
            std::min<std::int64_t>(consumed - m_consumed, kHeadBytes - m_head.size())));
    m_consumed = consumed;
    return ReadOutcome::Done;
}
