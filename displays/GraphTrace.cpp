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
    m_painter.drawLine(m_map.map(QPointF(x1, y1)).toPoint(), m_map.map(QPointF(x2, y2)).toPoint());
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
            m_painter.drawLine(m_previousX, m_previousY, x, y);
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
        m_painter.drawLine(m_previousX, m_previousY, m_columnX, m_columnFirst);
    else
        Square(m_columnX, m_columnFirst);
    if (m_columnMin != m_columnMax)
        m_painter.drawLine(m_columnX, m_columnMin, m_columnX, m_columnMax);
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
}
