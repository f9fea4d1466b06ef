#include "platform/TrimCutPoint.h"

#include "platform/DescriptorIo.h"
#include "platform/SystemReason.h"

#include <algorithm>

namespace platform {

namespace {

constexpr qint64 kSearchPiece = 64 * 1024;

CutPoint ReadFailure(int error) {
    return {std::nullopt, SystemReason(error)};
}

CutPoint RecordsCut(qint64 length, const TrimRule& rule) {
    const qint64 records = rule.kept == KeptTail::AtMost
                               ? rule.keptBytes / rule.recordBytes
                               : (rule.keptBytes + rule.recordBytes - 1) / rule.recordBytes;
    const qint64 cut = length - records * rule.recordBytes;
    return {cut > 0 ? std::optional<qint64>(cut) : std::nullopt, {}};
}

// After the first line end from `from` on, short of the file's last byte (a line end there would
// keep nothing): a LF, or a CR that no LF follows, as lines written elsewhere may end. Without one,
// `from` + 1: the kept size to the byte, rather than nothing of the file.
CutPoint AfterFirstLineEndFrom(int fd, qint64 from, qint64 length) {
    QByteArray piece;
    const qint64 searchEnd = length - 1;
    for (qint64 at = from; at < searchEnd; at += kSearchPiece) {
        const qint64 size = std::min(kSearchPiece, searchEnd - at);
        // One byte more, to see what follows a CR at the piece's end.
        if (const int error = ReadFullyAt(fd, at, size + 1, piece); error != 0)
            return ReadFailure(error);
        const qsizetype searched = std::min<qsizetype>(size, piece.size() - 1); // less when it shrank
        for (qsizetype i = 0; i < searched; ++i)
            if (piece[i] == '\n' || (piece[i] == '\r' && piece[i + 1] != '\n'))
                return {at + i + 1, {}};
        if (searched < size)
            break;
    }
    return {from + 1, {}};
}

// After the last LF at or before `from` and after index 0; none when there is none.
CutPoint AfterLastLineEndUpTo(int fd, qint64 from) {
    QByteArray piece;
    for (qint64 end = from + 1; end > 1; end -= kSearchPiece) {
        const qint64 start = std::max<qint64>(1, end - kSearchPiece);
        if (const int error = ReadFullyAt(fd, start, end - start, piece); error != 0)
            return ReadFailure(error);
        if (const qsizetype at = piece.lastIndexOf('\n'); at >= 0)
            return {start + at + 1, {}};
    }
    return {};
}

} // namespace

CutPoint FindCutPoint(int fd, qint64 length, const TrimRule& rule) {
    if (rule.recordBytes > 0)
        return RecordsCut(length, rule);
    // The byte before the kept size's boundary: a LF there keeps exactly the kept size.
    const qint64 boundary = length - rule.keptBytes - 1;
    if (rule.kept == KeptTail::AtLeast)
        return boundary >= 1 ? AfterLastLineEndUpTo(fd, std::min(boundary, length - 1)) : CutPoint{};
    if (boundary < 0)
        return {};
    return AfterFirstLineEndFrom(fd, boundary, length);
}

} // namespace platform
