#include "publishing/PublishedFile.h"

#include "platform/FileAccess.h"
#include "platform/FileWriting.h"

#include <QFile>

bool WritePublishedFile(const QString& path, const QByteArray& bytes, QString* reason) {
    if (path.isEmpty())
        return false;
    return platform::PublishWholeFile(path, bytes, reason);
}

QString ReadLatin1File(const QString& path) {
    QFile file;
    if (!platform::OpenRegularFile(file, path, QIODevice::ReadOnly))
        return {};
    return QString::fromLatin1(file.readAll());
}
