#pragma once
// The satellite track file: a flat sequence of 12-byte satellite records, no header. Each snapshot
// appends one record per slot in use, all with the time and satellite count of one answer.
#include "receiver/SatInfo.h"

#include <QByteArray>
#include <QString>
#include <array>
#include <cstdint>
#include <vector>

// Above this length the file is trimmed (0 when there is no limit): the limit plus 1 kB, so that
// trimming happens about once per kilobyte of growth.
qint64 TrackTrimThreshold(int maxSizeKb);
// The records kept by a trim: just over the limit.
qint64 TrackRecordsKept(int maxSizeKb);

// The records of a track file's bytes; a partial record at the end is ignored.
std::vector<CSatInfo> DecodeTrackRecords(const QByteArray& bytes);

// Appends a snapshot of the table to the file (created when missing), first trimming the file to
// its last whole records when it has grown past the limit (through a temporary file that replaces
// it; a trim that fails leaves the file as it was and the snapshot is appended to it). Stamps every
// slot in use with the time and the low 8 bits of the satellite count before writing it. A partial
// record at the end is dropped, and a snapshot is appended whole or not at all. False, with the
// system's reason, when the file cannot be opened (nothing is stamped then) or written.
bool AppendTrackSnapshot(const QString& path, std::array<CSatInfo, kSatelliteSlots>& sats, int satsInReply,
                         std::uint32_t time, int maxSizeKb, QString* reason = nullptr);
