#include "receiver/SatelliteTrackFile.h"

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

namespace {

// Trimming copies the kept tail forward through a buffer of this size, so memory stays bounded
// whatever the file's length and the limit.
constexpr qint64 kTrimCopyBytes = 1 << 20;

// Keeps the file's last whole records: only the kept tail is read, in pieces, and written at the
// start of the file. Records are counted from the start of the file, so a partial record left at
// the end by an interrupted write is dropped rather than shifting every kept record by a few
// bytes. A file that cannot be read or written is left at its length.
void TrimTrackFile(QFile& file, int maxSizeKb) {
    const qint64 wholeRecords = file.size() / kSatRecordBytes;
    const qint64 kept = std::min(wholeRecords, TrackRecordsKept(maxSizeKb));
    const qint64 keptBytes = kept * kSatRecordBytes;
    const qint64 tailStart = (wholeRecords - kept) * kSatRecordBytes;
    // The source always lies ahead of the destination, so a forward copy never overwrites bytes
    // it has still to read.
    for (qint64 done = 0; done < keptBytes;) {
        if (!file.seek(tailStart + done))
            return;
        const QByteArray piece = file.read(std::min(kTrimCopyBytes, keptBytes - done));
        if (piece.isEmpty() || !file.seek(done) || file.write(piece) != piece.size())
            return;
        done += piece.size();
    }
    if (file.flush())
        file.resize(keptBytes);
}

} // namespace

bool AppendTrackSnapshot(const QString& path, std::array<CSatInfo, kSatelliteSlots>& sats, int satsInReply,
                         std::uint32_t time, int maxSizeKb) {
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite))
        return false;
    const qint64 threshold = TrackTrimThreshold(maxSizeKb);
    if (threshold > 0 && file.size() > threshold)
        TrimTrackFile(file, maxSizeKb);
    if (const qint64 partial = file.size() % kSatRecordBytes; partial != 0)
        file.resize(file.size() - partial); // keep appended records on the record grid

    QByteArray snapshot;
    for (CSatInfo& sat : sats) {
        if (!sat.InUse())
            continue;
        sat.m_dwTime = time;
        sat.m_bySatCount = static_cast<std::uint8_t>(satsInReply & 0xFF);
        const SatRecordBytes bytes = SerialiseSatInfo(sat);
        snapshot.append(reinterpret_cast<const char*>(bytes.data()), kSatRecordBytes);
    }
    if (file.seek(file.size()))
        file.write(snapshot);
    return true;
}
