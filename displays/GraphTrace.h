#pragma once
// Drawing one trace as a chain of line segments in logical coordinates. Points that fall on the
// same x (many samples per column of the plotting area) are drawn as one vertical stroke from the
// lowest to the highest of them, joined to the columns before and after: the same pixels as every
// segment drawn one by one, since the segments inside a column overlap on that stroke and the
// trace's combining raster operation gives the same result for a pixel drawn once or many times.
#include <QPainter>

class GraphTrace {
public:
    // everySegment: draw each segment by itself (to compare the pictures).
    GraphTrace(QPainter& painter, const QColor& colour, bool everySegment)
        : m_painter(painter), m_colour(colour), m_everySegment(everySegment) {}
    ~GraphTrace() { Finish(); }
    GraphTrace(const GraphTrace&) = delete;
    GraphTrace& operator=(const GraphTrace&) = delete;

    // The next point, joined to the previous one; without one (at the start, after a gap) a
    // filled 2 x 2 square marks it.
    void Point(int x, int y);
    // A gap: the next point is not joined to this one.
    void Gap();
    void Finish();

private:
    void Square(int x, int y);
    void FlushColumn();

    QPainter& m_painter;
    QColor m_colour;
    bool m_everySegment;
    bool m_hasPrevious = false;
    int m_previousX = 0;
    int m_previousY = 0;
    bool m_columnOpen = false;
    int m_columnX = 0;
    int m_columnFirst = 0;
    int m_columnMin = 0;
    int m_columnMax = 0;
    int m_columnLast = 0;
};
