#include "displays/TrackRecordCache.h"

#include "platform/FileAccess.h"
#include "receiver/SatelliteTrackFile.h"

#include <QFile>
#include <sys/stat.h>

namespace {

// Device and inode, so that a file replaced under the same name is noticed.
std::uint64_t FileIdentity(const QString& path) {
    struct stat info {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return 0;
    return (static_cast<std::uint64_t>(info.st_dev) << 40) ^ static_cast<std::uint64_t>(info.st_ino);
}

bool ReadRecordAt(QFile& file, qint64 offset, std::array<std::uint8_t, kSatRecordBytes>& record) {
    return file.seek(offset) &&
           file.read(reinterpret_cast<char*>(record.data()), kSatRecordBytes) == kSatRecordBytes;
}

} // namespace

bool TrackRecordCache::Refresh(const QString& path) {
    QFile file;
    if (!platform::OpenRegularFile(file, path, QIODevice::ReadOnly)) {
        m_opened = false;
        m_path.clear();
        m_dots.clear();
        m_lastAtPoint.clear();
        m_bytesTaken = 0;
        return false;
    }
    const qint64 size = file.size();
    if (!m_opened || path != m_path || !StillTheSameFile(path, size)) {
        file.close();
        return Reload(path);
    }
    const qint64 whole = size / kSatRecordBytes * kSatRecordBytes;
    if (whole > m_bytesTaken && file.seek(m_bytesTaken)) {
        const QByteArray appended = file.read(whole - m_bytesTaken);
        const std::vector<CSatInfo> records = DecodeTrackRecords(appended);
        if (!records.empty()) {
            if (m_bytesTaken == 0) {
                // The first records of a file that had none: the tables start afresh.
                m_highestUntracked.fill(0);
                m_lowestTracked.fill(0);
                m_first = SerialiseSatInfo(records.front());
            }
            m_last = SerialiseSatInfo(records.back());
        }
        Absorb(records);
        m_bytesTaken += static_cast<qint64>(records.size()) * kSatRecordBytes;
    }
    return true;
}

bool TrackRecordCache::StillTheSameFile(const QString& path, qint64 size) const {
    if (size < m_bytesTaken || FileIdentity(path) != m_fileId)
        return false;
    if (m_bytesTaken == 0)
        return true;
    QFile file;
    std::array<std::uint8_t, kSatRecordBytes> first{};
    std::array<std::uint8_t, kSatRecordBytes> last{};
    return platform::OpenRegularFile(file, path, QIODevice::ReadOnly) && ReadRecordAt(file, 0, first) &&
           ReadRecordAt(file, m_bytesTaken - kSatRecordBytes, last) && first == m_first && last == m_last;
}

bool TrackRecordCache::Reload(const QString& path) {
    QFile file;
    if (!platform::OpenRegularFile(file, path, QIODevice::ReadOnly)) {
        m_opened = false;
        m_dots.clear();
        m_lastAtPoint.clear();
        return false;
    }
    m_path = path;
    m_opened = true;
    m_fileId = FileIdentity(path);
    m_dots.clear();
    m_lastAtPoint.clear();
    m_levelMax = 0.0;
    m_levelMin = 255.0;
    const std::vector<CSatInfo> records = DecodeTrackRecords(file.readAll());
    // A file without a whole record leaves the tables as they were.
    if (!records.empty()) {
        m_highestUntracked.fill(0);
        m_lowestTracked.fill(0);
    }
    m_dots.reserve(records.size());
    Absorb(records);
    m_bytesTaken = static_cast<qint64>(records.size()) * kSatRecordBytes;
    if (!records.empty()) {
        m_first = SerialiseSatInfo(records.front());
        m_last = SerialiseSatInfo(records.back());
    }
    return true;
}

void TrackRecordCache::Absorb(const std::vector<CSatInfo>& records) {
    for (const CSatInfo& record : records) {
        TrackDot dot;
        dot.inUse = record.InUse();
        if (dot.inUse) {
            dot.point = record.ToPoint();
            const double level = record.SignalLevel();
            // An azimuth of 360 or more comes only from a file another program wrote: its dot
            // is drawn where it points, but it has no entry in the per-azimuth tables.
            const bool inTables = record.m_wAzimuth < kAzimuthDegrees;
            if (level <= 0) {
                if (inTables) {
                    std::uint8_t& highest = m_highestUntracked[record.m_wAzimuth];
                    highest = std::max(highest, record.m_byElevation);
                }
            } else {
                const double counted = std::max(level, kLowestCountedLevel);
                dot.level = counted;
                m_levelMax = std::max(m_levelMax, counted);
                m_levelMin = std::min(m_levelMin, counted);
                if (inTables) {
                    std::uint8_t& lowest = m_lowestTracked[record.m_wAzimuth];
                    if (lowest == 0 || lowest > record.m_byElevation)
                        lowest = record.m_byElevation;
                }
            }
        }
        if (dot.inUse) {
            const auto key = (static_cast<std::uint64_t>(static_cast<std::uint32_t>(dot.point.x())) << 32) |
                             static_cast<std::uint32_t>(dot.point.y());
            const auto [at, fresh] = m_lastAtPoint.try_emplace(key, m_dots.size());
            if (!fresh) {
                m_dots[at->second].covered = true;
                at->second = m_dots.size();
            }
        }
        m_dots.push_back(dot);
    }
}

std::array<std::uint8_t, kAzimuthDegrees> TrackRecordCache::ObstructionOutline() const {
    std::array<std::uint8_t, kAzimuthDegrees> outline = m_highestUntracked;
    for (int az = 0; az < kAzimuthDegrees; ++az)
        if (m_lowestTracked[az] != 0 && m_lowestTracked[az] < outline[az])
            outline[az] = m_lowestTracked[az];
    return outline;
}
