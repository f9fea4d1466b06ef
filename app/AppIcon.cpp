#include "app/AppIcon.h"

#include <QPainter>
#include <QPixmap>

QIcon AppIcon() {
    static const QIcon icon = [] {
        QIcon result;
        for (int size : {16, 32, 48}) {
            QPixmap pixmap(size, size);
            pixmap.fill(Qt::transparent);
            QPainter painter(&pixmap);
            painter.setRenderHint(QPainter::Antialiasing);
            painter.setBrush(QColor(30, 90, 160));
            painter.setPen(QPen(Qt::white, size / 16.0 + 0.5));
            painter.drawEllipse(QRectF(1, 1, size - 2, size - 2));
            const QPointF centre(size / 2.0, size / 2.0);
            painter.drawLine(centre, QPointF(size / 2.0, size * 0.2));
            painter.drawLine(centre, QPointF(size * 0.75, size / 2.0));
            result.addPixmap(pixmap);
        }
        return result;
    }();
    return icon;
}
