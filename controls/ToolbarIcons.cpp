#include "controls/ToolbarIcons.h"

#include "app/CommandIds.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <functional>
#include <map>

namespace {
constexpr int kSize = 24;
const QColor kInk(40, 40, 40);

using Drawing = std::function<void(QPainter&)>;

QIcon Draw(const Drawing& draw) {
    QPixmap pixmap(kSize, kSize);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(kInk, 1.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    draw(painter);
    return QIcon(pixmap);
}

void ClockFace(QPainter& p, const QRectF& r) {
    p.setBrush(Qt::white);
    p.drawEllipse(r);
    const QPointF c = r.center();
    p.drawLine(c, c + QPointF(0, -r.height() * 0.32));
    p.drawLine(c, c + QPointF(r.width() * 0.25, 0));
}

void Satellite(QPainter& p, const QPointF& at, const QColor& colour) {
    p.setBrush(colour);
    p.drawEllipse(at, 3.2, 3.2);
}

void Trail(QPainter& p, double length) {
    const QPointF head(17, 7);
    QPen pen(QColor(120, 120, 200), 1.6, Qt::DotLine, Qt::RoundCap);
    p.save();
    p.setPen(pen);
    if (length > 0)
        p.drawLine(head, head - QPointF(length, -length * 0.9));
    p.restore();
    Satellite(p, head, QColor(60, 170, 60));
}

QIcon Make(int id) {
    switch (id) {
    case ID_START:
        return Draw([](QPainter& p) {
            p.setBrush(QColor(40, 160, 60));
            p.drawPolygon(QPolygonF({QPointF(7, 4), QPointF(20, 12), QPointF(7, 20)}));
        });
    case ID_STOP:
        return Draw([](QPainter& p) {
            p.setBrush(QColor(200, 50, 50));
            p.drawRect(QRectF(5.5, 5.5, 13, 13));
        });
    case ID_OPTIONS:
        return Draw([](QPainter& p) {
            for (int row = 0; row < 3; ++row) {
                const double y = 6 + row * 6;
                p.drawLine(QPointF(3, y), QPointF(21, y));
                p.setBrush(QColor(90, 130, 200));
                p.drawRect(QRectF(5 + row * 5, y - 2.5, 4, 5));
            }
        });
    case ID_VIEW_GRAPH:
        return Draw([](QPainter& p) {
            p.drawPolyline(QPolygonF({QPointF(3, 3), QPointF(3, 21), QPointF(21, 21)}));
            p.setPen(QPen(QColor(220, 60, 60), 1.8));
            p.drawPolyline(
                QPolygonF({QPointF(4, 15), QPointF(8, 9), QPointF(12, 13), QPointF(16, 6), QPointF(21, 10)}));
        });
    case ID_VIEW_MAP:
        return Draw([](QPainter& p) {
            p.setBrush(QColor(230, 240, 255));
            p.drawEllipse(QRectF(2.5, 2.5, 19, 19));
            p.drawEllipse(QRectF(7.5, 7.5, 9, 9));
            p.drawLine(QPointF(12, 2.5), QPointF(12, 21.5));
            p.drawLine(QPointF(2.5, 12), QPointF(21.5, 12));
            Satellite(p, QPointF(16, 7), QColor(60, 170, 60));
        });
    case ID_VIEW_TIME:
        return Draw([](QPainter& p) { ClockFace(p, QRectF(2.5, 2.5, 19, 19)); });
    case ID_VIEW_ALL:
        return Draw([](QPainter& p) {
            p.setBrush(Qt::white);
            p.drawRect(QRectF(2.5, 2.5, 9, 9));
            p.drawRect(QRectF(12.5, 2.5, 9, 9));
            p.drawRect(QRectF(2.5, 12.5, 19, 9));
        });
    case ID_VIEW_STATUS:
        return Draw([](QPainter& p) {
            p.setBrush(Qt::white);
            p.drawRect(QRectF(3.5, 2.5, 17, 19));
            for (int line = 0; line < 4; ++line)
                p.drawLine(QPointF(6, 7 + line * 4), QPointF(line % 2 ? 14 : 18, 7 + line * 4));
        });
    case ID_HIDE:
        return Draw([](QPainter& p) {
            p.drawLine(QPointF(12, 3), QPointF(12, 14));
            p.drawPolyline(QPolygonF({QPointF(7, 10), QPointF(12, 15), QPointF(17, 10)}));
            p.setBrush(QColor(120, 120, 120));
            p.drawRect(QRectF(3.5, 18.5, 17, 3));
        });
    case ID_SET_TIME:
        return Draw([](QPainter& p) {
            ClockFace(p, QRectF(2.5, 2.5, 15, 15));
            p.setPen(QPen(QColor(40, 160, 60), 2.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
            p.drawPolyline(QPolygonF({QPointF(13, 17), QPointF(16, 20.5), QPointF(22, 12)}));
        });
    case ID_UPDATE_ALL:
        return Draw([](QPainter& p) {
            p.setPen(QPen(QColor(40, 110, 200), 2.2, Qt::SolidLine, Qt::RoundCap));
            p.drawArc(QRectF(4, 4, 16, 16), 30 * 16, 280 * 16);
            p.setBrush(QColor(40, 110, 200));
            p.drawPolygon(QPolygonF({QPointF(20, 3), QPointF(20.5, 10), QPointF(14, 8)}));
        });
    case ID_NO_TRAILS:
        return Draw([](QPainter& p) { Trail(p, 0); });
    case ID_RECENT_TRAILS:
        return Draw([](QPainter& p) { Trail(p, 6); });
    case ID_EXTENDED_TRAILS:
        return Draw([](QPainter& p) { Trail(p, 13); });
    case ID_SAT_BACKDROP:
        return Draw([](QPainter& p) {
            p.setBrush(QColor(90, 160, 230));
            p.drawEllipse(QRectF(2.5, 2.5, 19, 19));
            p.setBrush(QColor(80, 170, 80));
            p.drawEllipse(QRectF(6, 6, 7, 9));
            p.drawEllipse(QRectF(13, 12, 6, 5));
        });
    case ID_LOCK_TI_EXTENTS:
        return Draw([](QPainter& p) {
            p.drawArc(QRectF(7, 3, 10, 12), 0, 180 * 16);
            p.drawLine(QPointF(7, 9), QPointF(7, 11));
            p.drawLine(QPointF(17, 9), QPointF(17, 11));
            p.setBrush(QColor(210, 170, 40));
            p.drawRect(QRectF(4.5, 10.5, 15, 11));
        });
    default:
        return {};
    }
}
} // namespace

QIcon ToolbarIcon(int commandId) {
    static std::map<int, QIcon> icons;
    auto it = icons.find(commandId);
    if (it == icons.end())
        it = icons.emplace(commandId, Make(commandId)).first;
    return it->second;
}
