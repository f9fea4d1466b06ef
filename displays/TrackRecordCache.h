#pragma once
// The satellite track file held in memory for the sky map. A refresh reads only the records
// appended since the last one, and reads the file again when it was replaced, shrank or was
// rewritten (the track file's trim). The per-azimuth obstruction tables and the range of signal
// levels are running maxima and minima over the records, so they follow the appended records.
#include "receiver/SatInfo.h"

#include <QPoint>
#include <QString>
#include <array>
#include <cstdint>
#include <unordered_map>
#include <vector>

// One record as the map draws it.
struct TrackDot {
    QPoint point;     // logical position on the map
    double level = 0; // signal level, raised to 2.0 when tracked; 0 when not tracked
    bool inUse = false;
    bool covered = false; // a later record lies at the same point
};

constexpr int kAzimuthDegrees = 360;
// Tracked levels at or below this count as this level.
constexpr double kLowestCountedLevel = 2.0;

class TrackRecordCache {
public:
    // Brings the records up to date with the file. Returns false when the file cannot be opened
    // (or the path is empty): then there are no records, and the tables keep their contents.
    bool Refresh(const QString& path);

    bool FileOpened() const { return m_opened; }
    const std::vector<TrackDot>& Dots() const { return m_dots; }
    // Highest elevation at which a satellite was seen without signal, and lowest with signal
    // (0: none seen), per whole azimuth degree. Cleared when a file with records is read afresh.
    const std::array<std::uint8_t, kAzimuthDegrees>& HighestUntracked() const { return m_highestUntracked; }
    const std::array<std::uint8_t, kAzimuthDegrees>& LowestTracked() const { return m_lowestTracked; }
    // The obstruction outline: per azimuth the lower of the highest untracked and the lowest
    // tracked elevation; the horizon where nothing was seen.
    std::array<std::uint8_t, kAzimuthDegrees> ObstructionOutline() const;
    // The range of the tracked records' levels; empty (max < min) when none is tracked.
    double LevelMax() const { return m_levelMax; }
    double LevelMin() const { return m_levelMin; }

private:
    bool Reload(const QString& path);
    bool StillTheSameFile(const QString& path, qint64 size) const;
    void Absorb(const std::vector<CSatInfo>& records);

    QString m_path;
    bool m_opened = false;
    qint64 m_bytesTaken = 0; // whole records read so far
    std::uint64_t m_fileId = 0;
    std::array<std::uint8_t, kSatRecordBytes> m_first{};
    std::array<std::uint8_t, kSatRecordBytes> m_last{};
    std::vector<TrackDot> m_dots;
    std::unordered_map<std::uint64_t, std::size_t> m_lastAtPoint; // the newest dot of each point
    std::array<std::uint8_t, kAzimuthDegrees> m_highestUntracked{};
    std::array<std::uint8_t, kAzimuthDegrees> m_lowestTracked{};
    double m_levelMax = 0.0;
    double m_levelMin = 255.0;
};
