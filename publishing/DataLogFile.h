#pragma once
// Appending a record to the data log on disk, with the size limit.
#include <QByteArray>
#include <QString>

namespace platform {
struct TrimSyncs;
}

enum class LogWriteResult {
    Written,
    OpenFailed,  // the log could not be opened (or created)
    WriteFailed, // opened, but the line could not be written
};

// Opens the log (created when missing, never truncated), trims it when it is over the limit of
// `maxSizeKb` kB (0 = none, LogTrimRule) and appends the line, as platform::AppendCapped does: the
// log keeps its newest whole lines (trimmed in place where there is no room for a copy), and a trim
// that cannot be made at all leaves it past its limit, the line appended to it. The line is
// appended whole or not at all: what a full disk took of it is cut off again. On a failure `reason`
// (when given) says why: "not a regular file" or the system's text; `trimFailure` (when given) says
// why a due trim could not be made, empty otherwise; `trimSyncs` (when given) whether the log was
// trimmed, and whether that trim's syncs failed.
LogWriteResult AppendLogLine(const QString& path, const QByteArray& line, int maxSizeKb,
                             QString* reason = nullptr, QString* trimFailure = nullptr,
                             platform::TrimSyncs* trimSyncs = nullptr);
