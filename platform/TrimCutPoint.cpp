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

// After the first LF at or after `from`; the file's end when there is none.
CutPoint AfterFirstLineEndFrom(int fd, qint64 from, qint64 length) {
    QByteArray piece;
    for (qint64 at = from; at < length; at += kSearchPiece) {
        if (const int error = ReadFullyAt(fd, at, std::min(kSearchPiece, length - at), piece); error != 0)
            return ReadFailure(error);
        if (piece.isEmpty())
            break;
        if (const qsizetype end = piece.indexOf('\n'); end >= 0)
            return {at + end + 1, {}};
    }
    return {length, {}};
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
