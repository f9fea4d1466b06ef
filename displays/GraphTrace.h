#pragma once
// Drawing one trace as a chain of line segments. Points are given in logical coordinates and,
// as the window system does, turned into whole device pixels before the line is drawn. Points
// that fall on the same pixel column (many samples per column) are drawn as one vertical stroke
// from the lowest to the highest of them, joined to the columns before and after: the same pixels
// as every segment drawn one by one, since the segments inside a column overlap on that stroke and
// the trace's combining raster operation gives the same result for a pixel drawn once or many
// times.
#include <QImage>
#include <QPainter>
#include <optional>
#include <vector>

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
    void Segment(int x1, int y1, int x2, int y2);

    // Segments in device pixels, drawn together at the end: one call of the painter instead of
    // one per segment (the same pixels, since the trace's pixels combine alike in any order).
    std::vector<QLine> m_segments;
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

// Where a trace is drawn: the combining raster operation (the pen's colour ANDed into the
// picture), done in two steps when the target is an RGB32 image. The trace is first drawn with
// the same mapping, clip and pen on a white layer, then the layer is ANDed into the picture row
// by row; white leaves a pixel as it was, so the picture is the same as drawing with
// QPainter::RasterOp_SourceAndDestination. Drawn directly with that operation, every line longer
// than about 96 pixels had Qt's raster engine split its fill over the global thread pool and wait
// for it, thousands of times a draw.
class GraphTraceLayer {
public:
    // The painter to draw one trace with: mapped as `target`, clipped to `logicalClip`, its pen `pen`.
    QPainter& Begin(QPainter& target, const QRectF& logicalClip, const QPen& pen);
    // Combines the trace into the target and leaves the target's clip and composition as before.
    void End();

private:
    QImage m_layer;
    std::optional<QPainter> m_painter;
    QPainter* m_target = nullptr;
    QImage* m_image = nullptr;
    QRect m_area;
};
