#pragma once
// Drawing on the graph's logical plane: text is laid out untransformed at the mapped point (so
// it is never mirrored or upside down), with the alignments of the graph's labels; pen widths are
// given in logical units and drawn at least one pixel wide.
#include <QColor>
#include <QFont>
#include <QPainter>
#include <QString>

enum class LabelAlign { Left, Centre, Right };
enum class LabelBase { Baseline, Top };

class GraphCanvas {
public:
    explicit GraphCanvas(QPainter& painter);

    QPainter& Painter() { return m_painter; }
    // A font of `logicalHeight` units of character height (the em) at this mapping.
    QFont ScaledFont(const QFont& font, double logicalHeight) const;
    // A solid pen `logicalWidth` units wide, never thinner than one pixel.
    QPen Pen(const QColor& colour, double logicalWidth) const;

    void Line(int x1, int y1, int x2, int y2) { m_painter.drawLine(x1, y1, x2, y2); }
    // Horizontal text at a logical point.
    void Text(int x, int y, const QString& text, LabelAlign align, LabelBase base, const QFont& font,
              const QColor& colour);
    // Text running downwards in the strip the label occupies: `base` places the strip across the
    // text (its top or baseline side at x), `align` along it (starting at y, or centred on it).
    void VerticalText(int x, int y, const QString& text, LabelAlign align, LabelBase base, const QFont& font,
                      const QColor& colour);
    // Widths of a text in logical units, horizontal and running downwards.
    double TextWidth(const QString& text, const QFont& font) const;
    double VerticalTextLength(const QString& text, const QFont& font) const;

private:
    QPainter& m_painter;
    double m_scaleX;
    double m_scaleY;
};
