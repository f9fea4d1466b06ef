// The graph's parsed copy of a data log that another program truncates or replaces while it is
// read (a rotation by copy and truncate, `> gpslog.log`, a new file renamed over it): the program
// goes on, every refresh holds whole records of the file as it stood, and once the file stays put
// the next refresh shows its new content.
#include "displays/GraphLogCache.h"

#include <QFile>
#include <QTemporaryDir>
#include <atomic>
#include <cstdio>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <thread>
#include <unistd.h>

namespace {

constexpr std::uint64_t kStart = 1700000000;
// Large enough to be read on several threads and to take a while to parse.
constexpr int kLines = 400000;
constexpr int kRefreshes = 25;

// Line i: time kStart + i, channel 1 = i + offset, a few more channels of filler.
QByteArray LogLines(int count, int offset) {
    QByteArray log;
    log.reserve(count * 60);
    for (int i = 0; i < count; ++i) {
        char line[96];
        const int n = std::snprintf(line, sizeof line, "%llu\t%d\t1.25e-09\t9\t35.5\t45.1\t\r\n",
                                    static_cast<unsigned long long>(kStart + i), i + offset);
        log.append(line, n);
    }
    return log;
}

// Writes the bytes to the file in pieces, as a logger does: with `replace`, to a new file renamed
// over it; otherwise into the file truncated first.
void Rewrite(const QString& path, const QByteArray& bytes, bool replace) {
    const QByteArray target = QFile::encodeName(path);
    const QByteArray written = replace ? target + ".new" : target;
    const int fd = open(written.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    ASSERT_GE(fd, 0);
    constexpr qsizetype kPiece = 256 << 10;
    for (qsizetype at = 0; at < bytes.size(); at += kPiece) {
        const auto n = static_cast<std::size_t>(std::min(kPiece, bytes.size() - at));
        EXPECT_EQ(write(fd, bytes.constData() + at, n), static_cast<ssize_t>(n));
    }
    close(fd);
    if (replace) {
        ASSERT_EQ(rename(written.constData(), target.constData()), 0);
    }
}

// Whether the copy holds the first records of LogLines(…, offset), in order; their count.
testing::AssertionResult HoldsLeadingRecords(const GraphLogCache& cache, int offset, int& count) {
    count = 0;
    for (const GraphLogCache::Block& block : cache.Blocks())
        for (std::size_t i = 0; i < block.time.size(); ++i, ++count)
            if (block.time[i] != kStart + static_cast<std::uint64_t>(count) ||
                block.value[0].size() != block.time.size() || block.value[0][i] != count + offset)
                return testing::AssertionFailure() << "record " << count << " differs";
    if (static_cast<std::size_t>(count) != cache.RecordCount())
        return testing::AssertionFailure() << "count " << cache.RecordCount() << " for " << count;
    return testing::AssertionSuccess();
}

class GraphLogShrink : public testing::TestWithParam<bool> {};

TEST_P(GraphLogShrink, RefreshesWhileTheLogIsRewrittenHoldWholeRecordsThenTheNewLog) {
    const bool replace = GetParam();
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("gpslog.log"));
    const QByteArray log = LogLines(kLines, 0);
    Rewrite(path, log, replace);

    std::atomic<bool> stop{false};
    std::thread rewriter([&] {
        while (!stop)
            Rewrite(path, log, replace);
    });
    GraphLogCache cache;
    for (int round = 0; round < kRefreshes; ++round) {
        // A refresh may give up on a file that keeps shrinking; its copy is then empty.
        const bool read = cache.Refresh(path);
        int count = 0;
        EXPECT_TRUE(HoldsLeadingRecords(cache, 0, count)) << round;
        EXPECT_TRUE(read || count == 0) << round;
    }
    stop = true;
    rewriter.join();

    Rewrite(path, LogLines(kLines / 2, 1000), replace);
    ASSERT_TRUE(cache.Refresh(path));
    int count = 0;
    EXPECT_TRUE(HoldsLeadingRecords(cache, 1000, count));
    EXPECT_EQ(count, kLines / 2);
}

INSTANTIATE_TEST_SUITE_P(TruncatedOrReplaced, GraphLogShrink, testing::Values(false, true),
                         [](const testing::TestParamInfo<bool>& info) {
                             return info.param ? "Replaced" : "Truncated";
                         });

} // namespace
