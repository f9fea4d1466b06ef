#include "displays/GraphTrace.h"

#include <QTransform>
#include <algorithm>

GraphTrace::GraphTrace(QPainter& painter, const QColor& colour, int squareSide, bool everySegment)
    : m_painter(painter), m_map(painter.combinedTransform()), m_colour(colour),
      m_squareSide(std::max(1, squareSide)), m_everySegment(everySegment) {
    m_painter.save();
    m_painter.setViewTransformEnabled(false);
    m_painter.resetTransform();
}

GraphTrace::~GraphTrace() {
    Finish();
    m_painter.restore();
}

void GraphTrace::Line(int x1, int y1, int x2, int y2) {
    m_segments.emplace_back(m_map.map(QPointF(x1, y1)).toPoint(), m_map.map(QPointF(x2, y2)).toPoint());
}

void GraphTrace::Segment(int x1, int y1, int x2, int y2) {
    m_segments.emplace_back(x1, y1, x2, y2);
}

void GraphTrace::Square(int x, int y) {
    m_painter.fillRect(QRect(x - m_squareSide / 2, y - m_squareSide / 2, m_squareSide, m_squareSide),
                       m_colour);
}

void GraphTrace::Point(int logicalX, int logicalY) {
    const QPoint device = m_map.map(QPointF(logicalX, logicalY)).toPoint();
    const int x = device.x();
    const int y = device.y();
    if (m_everySegment) {
        if (m_hasPrevious)
            Segment(m_previousX, m_previousY, x, y);
        else
            Square(x, y);
        m_hasPrevious = true;
        m_previousX = x;
        m_previousY = y;
        return;
    }
    if (m_columnOpen && x == m_columnX) {
        m_columnMin = std::min(m_columnMin, y);
        m_columnMax = std::max(m_columnMax, y);
        m_columnLast = y;
        return;
    }
    FlushColumn();
    m_columnOpen = true;
    m_columnX = x;
    m_columnFirst = m_columnMin = m_columnMax = m_columnLast = y;
}

void GraphTrace::FlushColumn() {
    if (!m_columnOpen)
        return;
    m_columnOpen = false;
    if (m_hasPrevious)
        Segment(m_previousX, m_previousY, m_columnX, m_columnFirst);
    else
        Square(m_columnX, m_columnFirst);
    if (m_columnMin != m_columnMax)
        Segment(m_columnX, m_columnMin, m_columnX, m_columnMax);
    m_hasPrevious = true;
    m_previousX = m_columnX;
    m_previousY = m_columnLast;
}

void GraphTrace::Gap() {
    FlushColumn();
    m_hasPrevious = false;
}

void GraphTrace::Finish() {
    FlushColumn();
    if (!m_segments.empty())
        m_painter.drawLines(m_segments.data(), static_cast<int>(m_segments.size()));
    m_segments.clear();
}

QPainter& GraphTraceLayer::Begin(QPainter& target, const QRectF& logicalClip, const QPen& pen) {
    m_target = &target;
    m_image = nullptr;
    QPaintDevice* device = target.device();
    if (device && device->devType() == QInternal::Image) {
        QImage* image = static_cast<QImage*>(device);
        if (image->format() == QImage::Format_RGB32)
            m_image = image;
    }
    if (!m_image) {
        target.setPen(pen);
        target.setClipRect(logicalClip);
        target.setCompositionMode(QPainter::RasterOp_SourceAndDestination);
        return target;
    }
    if (m_layer.size() != m_image->size())
        m_layer = QImage(m_image->size(), QImage::Format_RGB32);
    // The clip's pixels, with a margin for rounding: all the layer can receive.
    m_area = target.combinedTransform().mapRect(logicalClip).toAlignedRect().adjusted(-2, -2, 2, 2) &
             m_layer.rect();
    for (int y = m_area.top(); y <= m_area.bottom(); ++y) {
        QRgb* row = reinterpret_cast<QRgb*>(m_layer.scanLine(y));
        std::fill(row + m_area.left(), row + m_area.right() + 1, QRgb(0xffffffff));
    }
    m_painter.emplace(&m_layer);
    m_painter->setRenderHints(target.renderHints());
    m_painter->setWindow(target.window());
    m_painter->setViewport(target.viewport());
    m_painter->setViewTransformEnabled(target.viewTransformEnabled());
    m_painter->setWorldTransform(target.worldTransform());
    m_painter->setPen(pen);
    m_painter->setClipRect(logicalClip);
    return *m_painter;
}

void GraphTraceLayer::End() {
    if (!m_image) {
        m_target->setClipping(false);
        m_target->setCompositionMode(QPainter::CompositionMode_SourceOver);
        return;
    }
    m_painter.reset();
    for (int y = m_area.top(); y <= m_area.bottom(); ++y) {
        const QRgb* from = reinterpret_cast<const QRgb*>(m_layer.constScanLine(y));
        QRgb* to = reinterpret_cast<QRgb*>(m_image->scanLine(y));
        for (int x = m_area.left(); x <= m_area.right(); ++x)
            to[x] &= from[x];
    }
    m_image = nullptr;
}
