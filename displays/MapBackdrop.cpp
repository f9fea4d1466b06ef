#include "displays/MapBackdrop.h"

#include "platform/FileAccess.h"

#include <QFileInfo>
#include <QImageReader>

const QImage* MapBackdrop::Picture(const QString& path) {
    const QFileInfo info(path);
    const QDateTime modified = info.exists() ? info.lastModified() : QDateTime();
    const qint64 size = info.exists() ? info.size() : -1;
    if (path != m_path || modified != m_modified || size != m_size) {
        m_path = path;
        m_modified = modified;
        m_size = size;
        m_image = QImage();
        // A path that is no regular file (a FIFO would block the paint for good) is refused, and
        // not tried again until the path or what it names changes.
        QFile file;
        if (platform::OpenRegularFile(file, path, QIODevice::ReadOnly))
            m_image = QImageReader(&file, info.suffix().toLatin1()).read();
    }
    return m_image.isNull() ? nullptr : &m_image;
}
