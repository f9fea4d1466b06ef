#pragma once
// The satellite track file: a flat sequence of 12-byte satellite records, no header. Each snapshot
// appends one record per slot in use, all with the time and satellite count of one answer.
#include "platform/TrimRule.h"
#include "receiver/SatInfo.h"

#include <QByteArray>
#include <QString>
#include <array>
#include <cstdint>
#include <vector>

namespace platform {
struct TrimSyncs;
}

// The file's size limit of `maxSizeKb` kB (0 = none): a file more than 1 kB past it keeps its last
// floor(limit / 12) + 1 records, so it is trimmed about once per kilobyte of growth; past a limit
// of 1 MB it keeps the last records within the limit less 1/64 of it. With a limit or without, the
// file is made of 12-byte records, so a partial one at its end is dropped.
platform::TrimRule TrackTrimRule(int maxSizeKb);

// The records of a track file's bytes; a partial record at the end is ignored.
std::vector<CSatInfo> DecodeTrackRecords(const QByteArray& bytes);

// Appends a snapshot of the table to the file (created when missing), first trimming the file to
// its last whole records when it has grown past the limit, as platform::AppendCapped does (a trim
// that cannot be made at all leaves the file past its limit and the snapshot is appended to it;
// `trimFailure`, when given, says why; `trimSyncs` whether a trim was made, and whether its syncs
// failed). Stamps every slot in use with the time and the low 8 bits
// of the satellite count before writing it. A partial record at the end is dropped, and a snapshot
// is appended whole or not at all. False, with the system's reason, when the file cannot be opened
// (nothing is stamped then) or written.
bool AppendTrackSnapshot(const QString& path, std::array<CSatInfo, kSatelliteSlots>& sats, int satsInReply,
                         std::uint32_t time, int maxSizeKb, QString* reason = nullptr,
                         QString* trimFailure = nullptr, platform::TrimSyncs* trimSyncs = nullptr);
