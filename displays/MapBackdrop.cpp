#include "displays/MapBackdrop.h"

#include <QFileInfo>

const QImage* MapBackdrop::Picture(const QString& path) {
    const QFileInfo info(path);
    const QDateTime modified = info.exists() ? info.lastModified() : QDateTime();
    const qint64 size = info.exists() ? info.size() : -1;
    if (path != m_path || modified != m_modified || size != m_size) {
        m_path = path;
        m_modified = modified;
        m_size = size;
        m_image = QImage();
        if (size >= 0 && !info.isDir())
            m_image.load(path);
    }
    return m_image.isNull() ? nullptr : &m_image;
}
