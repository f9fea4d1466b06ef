// Random and hostile bytes through the data-log reader and the graph's parsed copy: nothing
// crashes or reads outside its text, and a log parsed on several threads, or read in appended
// pieces, gives the same records as one sequential walk.
#include "displays/GraphLogCache.h"
#include "publishing/DataLogReader.h"

#include <QFile>
#include <QTemporaryDir>
#include <cmath>
#include <gtest/gtest.h>
#include <random>

namespace {

// Bytes that look like a log: digits, separators, signs, exponents, tags, CR and LF.
QByteArray RandomLog(std::mt19937& random, std::size_t size) {
    static const char alphabet[] = "0123456789\t\t\t ,;.eE+-\r\n\r\n<TAG1></TAG>xq";
    std::uniform_int_distribution<int> pick(0, sizeof alphabet - 2);
    QByteArray bytes;
    bytes.reserve(static_cast<qsizetype>(size));
    while (static_cast<std::size_t>(bytes.size()) < size)
        bytes.append(alphabet[pick(random)]);
    return bytes;
}

struct Walked {
    std::vector<std::uint64_t> times;
    std::vector<std::array<double, kLogChannels>> values; // NaN: absent
};

Walked Sequential(std::string_view data) {
    Walked walked;
    LogLine line;
    ForEachLogLine(data, [&](std::string_view text) {
        if (!ParseLogLine(text, line))
            return;
        walked.times.push_back(line.time);
        std::array<double, kLogChannels> values;
        for (int c = 0; c < kLogChannels; ++c)
            values[c] = line.present & (1u << c) ? line.value[c] : NAN;
        walked.values.push_back(values);
    });
    return walked;
}

Walked FromCache(const GraphLogCache& cache) {
    Walked walked;
    for (const GraphLogCache::Block& block : cache.Blocks())
        for (std::size_t i = 0; i < block.time.size(); ++i) {
            walked.times.push_back(block.time[i]);
            std::array<double, kLogChannels> values;
            for (int c = 0; c < kLogChannels; ++c)
                values[c] = block.value[c].empty() ? NAN : block.value[c][i];
            walked.values.push_back(values);
        }
    return walked;
}

bool Same(const Walked& a, const Walked& b) {
    if (a.times != b.times || a.values.size() != b.values.size())
        return false;
    for (std::size_t i = 0; i < a.values.size(); ++i)
        for (int c = 0; c < kLogChannels; ++c) {
            const double x = a.values[i][c];
            const double y = b.values[i][c];
            if (!(x == y || (std::isnan(x) && std::isnan(y))))
                return false;
        }
    return true;
}

TEST(FuzzDataLog, RandomBytesParseAlikeWholeInPiecesAndOnThreads) {
    std::mt19937 random(20261207);
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("fuzz.log"));
    for (int round = 0; round < 6; ++round) {
        // Large enough for several threads in the later rounds.
        const QByteArray log = RandomLog(random, round < 3 ? 5000 : (9u << 20));
        const std::string_view data(log.constData(), static_cast<std::size_t>(log.size()));
        const Walked expected = Sequential(data);

        GraphLogCache whole;
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(log);
        file.close();
        ASSERT_TRUE(whole.Refresh(path));
        EXPECT_TRUE(Same(FromCache(whole), expected)) << round;

        GraphLogCache pieces;
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        std::uniform_int_distribution<qsizetype> cut(1, log.size() / 4 + 1);
        for (qsizetype at = 0; at < log.size();) {
            const qsizetype n = std::min(cut(random), log.size() - at);
            file.write(log.constData() + at, n);
            file.flush();
            at += n;
            ASSERT_TRUE(pieces.Refresh(path));
        }
        file.close();
        EXPECT_TRUE(Same(FromCache(pieces), expected)) << round;
    }
}

TEST(FuzzDataLog, ALogEndingInABlockOfNulsIsSearchedOnceAndReadAsAWalkReadsIt) {
    // The NUL blocks a power cut can leave at the end of a log, larger than a thread's share and
    // than a read, then lines appended after them.
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("gps.log"));
    QByteArray log;
    for (int i = 0; i < 2000; ++i)
        log += QByteArray::number(1709600000 + 30 * i) + "\t5\t\t7\r\n";
    log += QByteArray(12 << 20, '\0');
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(log);
    file.flush();
    GraphLogCache cache;
    ASSERT_TRUE(cache.Refresh(path));
    EXPECT_EQ(cache.RecordCount(), 2000u);
    EXPECT_LE(cache.LineEndSearchBytes(), static_cast<std::size_t>(log.size()));

    const QByteArray more = "1709700000\t6\r\n1709700030\t7\r\n";
    log += more;
    file.write(more);
    file.flush();
    ASSERT_TRUE(cache.Refresh(path));
    EXPECT_EQ(cache.FullReads(), 1);
    EXPECT_LE(cache.LineEndSearchBytes(), static_cast<std::size_t>(12 << 20) + more.size());
    EXPECT_TRUE(Same(FromCache(cache), Sequential(std::string_view(log.constData(), log.size()))));
}

TEST(FuzzDataLog, NumbersReadAsStrtodOnRandomNumberText) {
    std::mt19937 random(7);
    std::uniform_int_distribution<int> digit(0, 9);
    std::uniform_int_distribution<int> length(1, 25);
    std::uniform_int_distribution<int> exponent(-330, 330);
    for (int i = 0; i < 20000; ++i) {
        std::string text = i % 2 ? "-" : "";
        const int n = length(random);
        for (int k = 0; k < n; ++k) {
            if (k == n / 2 && i % 3)
                text += '.';
            text += static_cast<char>('0' + digit(random));
        }
        if (i % 4 == 0)
            text += "e" + std::to_string(exponent(random));
        const double expected = std::strtod(text.c_str(), nullptr);
        EXPECT_EQ(ReadLogNumber(text), expected) << text;
    }
}

} // namespace
