#include "receiver/SatelliteTrackFile.h"

#include "platform/FileAccess.h"
#include "platform/FileWriting.h"

#include <QFile>
#include <algorithm>

qint64 TrackTrimThreshold(int maxSizeKb) {
    return maxSizeKb > 0 ? (static_cast<qint64>(maxSizeKb) + 1) * 1024 : 0;
}

qint64 TrackRecordsKept(int maxSizeKb) {
    return maxSizeKb > 0 ? static_cast<qint64>(maxSizeKb) * 1024 / kSatRecordBytes + 1 : 0;
}

std::vector<CSatInfo> DecodeTrackRecords(const QByteArray& bytes) {
    std::vector<CSatInfo> records;
    records.reserve(static_cast<std::size_t>(bytes.size() / kSatRecordBytes));
    for (qsizetype pos = 0; pos + kSatRecordBytes <= bytes.size(); pos += kSatRecordBytes) {
        SatRecordBytes record;
        for (int i = 0; i < kSatRecordBytes; ++i)
            record[i] = static_cast<std::uint8_t>(bytes[pos + i]);
        records.push_back(DeserialiseSatInfo(record));
    }
    return records;
}

bool AppendTrackSnapshot(const QString& path, std::array<CSatInfo, kSatelliteSlots>& sats, int satsInReply,
                         std::uint32_t time, int maxSizeKb, QString* reason) {
    QFile file;
    if (!platform::OpenRegularFile(file, path, QIODevice::ReadWrite, reason))
        return false;
    QByteArray snapshot;
    for (CSatInfo& sat : sats) {
        if (!sat.InUse())
            continue;
        sat.m_dwTime = time;
        sat.m_bySatCount = static_cast<std::uint8_t>(satsInReply & 0xFF);
        const SatRecordBytes bytes = SerialiseSatInfo(sat);
        snapshot.append(reinterpret_cast<const char*>(bytes.data()), kSatRecordBytes);
    }
    // Records are counted from the start of the file, so a partial record left at its end (by a
    // crash) is dropped rather than shifting every later record by a few bytes.
    const qint64 threshold = TrackTrimThreshold(maxSizeKb);
    const bool overLimit = threshold > 0 && file.size() > threshold;
    const qint64 wholeRecords = file.size() / kSatRecordBytes;
    if (file.size() != wholeRecords * kSatRecordBytes && !file.resize(wholeRecords * kSatRecordBytes)) {
        if (reason)
            *reason = file.errorString();
        return false;
    }
    if (overLimit) {
        // The kept tail goes to a temporary file that replaces the old one, so a failure part-way
        // leaves the old file whole; then it is left untrimmed this time.
        const qint64 kept = std::min(wholeRecords, TrackRecordsKept(maxSizeKb));
        if (platform::ReplaceWithTail(file, path, (wholeRecords - kept) * kSatRecordBytes, snapshot))
            return true;
    }
    return platform::AppendWhole(file, snapshot, reason);
}
