#include "displays/GraphTrace.h"

#include <algorithm>

void GraphTrace::Square(int x, int y) {
    m_painter.fillRect(QRectF(x - 1, y - 1, 2, 2), m_colour);
}

void GraphTrace::Point(int x, int y) {
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
