#include "receiver/SatelliteTrackFile.h"

#include "platform/CappedFile.h"
#include "platform/FileAccess.h"

#include <QFile>

platform::TrimRule TrackTrimRule(int maxSizeKb) {
    if (maxSizeKb <= 0) // no limit, but records all the same
        return {platform::TrimRule::kNever, 0, platform::KeptTail::AtMost, kSatRecordBytes};
    const qint64 limit = static_cast<qint64>(maxSizeKb) * 1024;
    const qint64 kept = limit > platform::kLargeLimitBytes ? platform::KeptUnderLargeLimit(limit)
                                                           : (limit / kSatRecordBytes + 1) * kSatRecordBytes;
    return {limit + 1024, kept, platform::KeptTail::AtMost, kSatRecordBytes};
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
                         std::uint32_t time, int maxSizeKb, QString* reason, QString* trimFailure,
                         platform::TrimSyncs* trimSyncs) {
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
    return platform::AppendCapped(file, path, snapshot, TrackTrimRule(maxSizeKb))
        .Give(reason, trimFailure, trimSyncs);
}
