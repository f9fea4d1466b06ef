#pragma once
// The sky map's backdrop picture, decoded once per file: read again only when the path, the
// file's modification time or its size changes.
#include <QDateTime>
#include <QImage>
#include <QString>

class MapBackdrop {
public:
    // The picture of the file, or null when it cannot be loaded.
    const QImage* Picture(const QString& path);

private:
    QString m_path;
    QDateTime m_modified;
    qint64 m_size = -1;
    QImage m_image;
};
