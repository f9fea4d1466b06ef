#pragma once
// Appending a record to the data log on disk, with the size limit.
#include <QByteArray>
#include <QString>

enum class LogWriteResult {
    Written,
    OpenFailed,  // the log could not be opened (or created)
    WriteFailed, // opened, but the line could not be written
};

// Opens the log (created when missing, never truncated), trims it when it is over the limit of
// `maxSizeKb` kB (0 = none) and appends the line. The trim keeps the newest whole lines: it is done
// only after the whole log was read, by writing the kept tail and the new line to a temporary
// file beside the log and renaming it over the log, so a failure at any point leaves the log as
// it was (then untrimmed this time, the line appended as usual). The line is appended whole or not
// at all: what a full disk took of it is cut off again. On a failure `reason` (when given) says
// why: "not a regular file" or the system's text.
LogWriteResult AppendLogLine(const QString& path, const QByteArray& line, int maxSizeKb,
                             QString* reason = nullptr);
