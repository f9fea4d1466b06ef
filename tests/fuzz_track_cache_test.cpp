// The sky map's in-memory track records against a fresh read of the file, over random files that
// grow, lose a partial tail, are trimmed or are rewritten, with random bytes in every field.
#include "displays/TrackRecordCache.h"
#include "receiver/SatelliteTrackFile.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <random>

namespace {

bool SameDots(const std::vector<TrackDot>& a, const std::vector<TrackDot>& b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (a[i].point != b[i].point || a[i].level != b[i].level || a[i].inUse != b[i].inUse ||
            a[i].covered != b[i].covered)
            return false;
    return true;
}

QByteArray RandomBytes(std::mt19937& random, int count) {
    QByteArray bytes(count, '\0');
    // Mostly small values, so that records repeat points and satellites go untracked.
    std::uniform_int_distribution<int> small(0, 3);
    std::uniform_int_distribution<int> any(0, 255);
    for (char& byte : bytes)
        byte = static_cast<char>(random() % 3 == 0 ? any(random) : small(random));
    return bytes;
}

} // namespace

TEST(FuzzTrackCache, FollowsTheFileAsAFreshReadWould) {
    QTemporaryDir dir;
    const QString path = dir.filePath("gpsdmp.bin");
    std::mt19937 random(20261207);
    TrackRecordCache kept;
    for (int round = 0; round < 400; ++round) {
        QFile file(path);
        switch (random() % 6) {
        case 0: // rewritten whole
            ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
            file.write(RandomBytes(random, static_cast<int>(random() % 2000)));
            break;
        case 1: { // trimmed by the program, with a snapshot appended
            std::array<CSatInfo, kSatelliteSlots> sats{};
            sats[random() % kSatelliteSlots].m_byPrnLow = 9;
            AppendTrackSnapshot(path, sats, 1, 1000, 1);
            break;
        }
        case 2: // removed
            QFile::remove(path);
            break;
        default: // grown, by whole records or a few bytes
            ASSERT_TRUE(file.open(QIODevice::Append));
            file.write(RandomBytes(random,
                                   static_cast<int>(random() % 3 == 0 ? random() % 30 : random() % 25 * 12)));
            break;
        }
        file.close();
        const bool opened = kept.Refresh(path);
        TrackRecordCache fresh;
        // The tables of a file without whole records are the previous drawing's: compare only
        // where a fresh read has its own.
        ASSERT_EQ(fresh.Refresh(path), opened) << round;
        ASSERT_TRUE(SameDots(kept.Dots(), fresh.Dots())) << round;
        if (!fresh.Dots().empty()) {
            ASSERT_EQ(kept.HighestUntracked(), fresh.HighestUntracked()) << round;
            ASSERT_EQ(kept.LowestTracked(), fresh.LowestTracked()) << round;
            ASSERT_EQ(kept.LevelMax(), fresh.LevelMax()) << round;
            ASSERT_EQ(kept.LevelMin(), fresh.LevelMin()) << round;
        }
    }
}
