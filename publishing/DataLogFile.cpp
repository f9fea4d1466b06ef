#include "publishing/DataLogFile.h"

#include "publishing/DataLogFormat.h"

#include <QFile>
#include <QSaveFile>

namespace {

// Replaces the log by its tail from `offset` followed by the line; false when anything failed, in
// which case the log is untouched.
bool ReplaceWithTail(const QString& path, const QByteArray& content, qint64 offset, const QByteArray& line) {
    QSaveFile replacement(path);
    if (!replacement.open(QIODevice::WriteOnly))
        return false;
    const qint64 tail = content.size() - offset;
    if (replacement.write(content.constData() + offset, tail) != tail ||
        replacement.write(line) != line.size())
        return false; // the temporary file is discarded
    return replacement.commit();
}

} // namespace

LogWriteResult AppendLogLine(const QString& path, const QByteArray& line, int maxSizeKb) {
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite))
        return LogWriteResult::OpenFailed;
    const qint64 length = file.size();
    if (LogNeedsTrim(length, maxSizeKb)) {
        const QByteArray content = file.readAll();
        if (content.size() == length && file.error() == QFileDevice::NoError) {
            if (const auto offset = LogTrimOffset(content, maxSizeKb)) {
                file.close();
                if (ReplaceWithTail(path, content, *offset, line))
                    return LogWriteResult::Written;
                if (!file.open(QIODevice::ReadWrite))
                    return LogWriteResult::OpenFailed;
            }
        }
    }
    if (!file.isSequential() && !file.seek(file.size()))
        return LogWriteResult::WriteFailed;
    if (file.write(line) != line.size() || !file.flush())
        return LogWriteResult::WriteFailed;
    return LogWriteResult::Written;
}
