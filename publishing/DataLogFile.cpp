#include "publishing/DataLogFile.h"

#include "platform/FileAccess.h"
#include "platform/FileWriting.h"
#include "publishing/DataLogFormat.h"

#include <QFile>

LogWriteResult AppendLogLine(const QString& path, const QByteArray& line, int maxSizeKb, QString* reason) {
    QFile file;
    if (!platform::OpenRegularFile(file, path, QIODevice::ReadWrite, reason))
        return LogWriteResult::OpenFailed;
    const qint64 length = file.size();
    if (LogNeedsTrim(length, maxSizeKb)) {
        const QByteArray content = file.readAll();
        if (content.size() == length && file.error() == QFileDevice::NoError) {
            if (const auto offset = LogTrimOffset(content, maxSizeKb);
                offset && platform::ReplaceWithTail(file, path, *offset, line))
                return LogWriteResult::Written;
        }
    }
    // Appended whole or not at all: half a record would run into the next one.
    return platform::AppendWhole(file, line, reason) ? LogWriteResult::Written : LogWriteResult::WriteFailed;
}
