#pragma once
// The graph's parsed copy of the data log. A refresh reads only the bytes appended since the last
// one, and parses the whole log again when it shrank, was replaced by another file, or its first
// bytes changed (a trim). The copy is exactly what parsing the whole file gives. The file is read
// with pread, so a log truncated during a read only means a read that comes up short.
#include "publishing/DataLogFormat.h"

#include <QString>
#include <array>
#include <cstdint>
#include <sys/types.h>
#include <vector>

struct GraphLogTag {
    std::size_t record = 0; // index of the tagged record
    int flag = 0;
    QString text;
};

class GraphLogCache {
public:
    // Records in blocks, so that a large log is parsed in parallel and grows without copying.
    // A channel's column is empty when the block holds no value of it; NaN marks an absent value.
    struct Block {
        std::vector<std::uint64_t> time;
        std::array<std::vector<double>, kLogChannels> value;
        // The earliest and latest time in the block (the log's times need not be in order).
        std::uint64_t earliest = UINT64_MAX;
        std::uint64_t latest = 0;
    };

    // Brings the copy up to date with the file at `path`. False, with the copy emptied, when the
    // file cannot be opened or read.
    bool Refresh(const QString& path);
    void Clear();

    std::size_t RecordCount() const { return m_records; }
    const std::vector<Block>& Blocks() const { return m_blocks; }
    const std::vector<GraphLogTag>& Tags() const { return m_tags; }
    // Bytes the copy holds in memory.
    std::size_t MemoryBytes() const;
    // How many times the whole file was parsed (for tests and measurements).
    int FullReads() const { return m_fullReads; }
    // Bytes the last refresh searched for line ends (for tests and measurements).
    std::size_t LineEndSearchBytes() const { return m_searched; }
    // Every refresh parses the whole file (to compare against the incremental reading).
    bool m_bAlwaysFullRead = false;

    // How a read of the file went: a file may shrink under the read (a truncation, a rotation by
    // copy and truncate), which is told apart from an error so that it can be read again.
    enum class ReadOutcome { Done, Shrank, Failed };

private:
    ReadOutcome FullRead(int fd, const QString& path, std::int64_t size);
    ReadOutcome Append(int fd, std::int64_t size);

    std::vector<Block> m_blocks;
    std::vector<GraphLogTag> m_tags;
    std::size_t m_records = 0;
    QString m_path;
    dev_t m_device = 0;
    ino_t m_inode = 0;
    std::int64_t m_consumed = 0; // bytes of complete lines parsed
    QByteArray m_head;           // the first bytes (up to 4 kB) of the parsed lines
    int m_fullReads = 0;
    std::size_t m_searched = 0;
};
