#pragma once
// Drawing one trace as a chain of line segments. Points are given in logical coordinates and,
// as the window system does, turned into whole device pixels before the line is drawn. Points
// that fall on the same pixel column (many samples per column) are drawn as one vertical stroke
// from the lowest to the highest of them, joined to the columns before and after: the same pixels
// as every segment drawn one by one, since the segments inside a column overlap on that stroke and
// the trace's combining raster operation gives the same result for a pixel drawn once or many
// times.
#include <QPainter>

class GraphTrace {
public:
    // everySegment: draw each segment by itself (to compare the pictures).
    // The painter's pen, clip and raster operation are those of the trace; its transform maps the
    // logical plane. `squareSide` is the marker's side in pixels.
    GraphTrace(QPainter& painter, const QColor& colour, int squareSide, bool everySegment);
    ~GraphTrace();
    GraphTrace(const GraphTrace&) = delete;
    GraphTrace& operator=(const GraphTrace&) = delete;

    // The next point, joined to the previous one; without one (at the start, after a gap) a
    // filled 2 x 2 square marks it.
    void Point(int x, int y);
    // A line of its own from (x1, y1) to (x2, y2).
    void Line(int x1, int y1, int x2, int y2);
    // A gap: the next point is not joined to this one.
    void Gap();
    void Finish();

private:
    void Square(int x, int y);
    void FlushColumn();

    QPainter& m_painter;
    QTransform m_map;
    QColor m_colour;
    int m_squareSide;
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
