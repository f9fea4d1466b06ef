#include "publishing/DataLogFile.h"

#include "platform/CappedFile.h"
#include "platform/FileAccess.h"
#include "publishing/DataLogFormat.h"

#include <QFile>

LogWriteResult AppendLogLine(const QString& path, const QByteArray& line, int maxSizeKb, QString* reason,
                             QString* trimFailure, platform::TrimSyncs* trimSyncs) {
    QFile file;
    if (!platform::OpenRegularFile(file, path, QIODevice::ReadWrite, reason))
        return LogWriteResult::OpenFailed;
    return platform::AppendCapped(file, path, line, LogTrimRule(maxSizeKb))
                   .Give(reason, trimFailure, trimSyncs)
               ? LogWriteResult::Written
               : LogWriteResult::WriteFailed;
}
