#include "displays/GraphCanvas.h"

#include <QFontMetricsF>
#include <algorithm>
#include <cmath>

GraphCanvas::GraphCanvas(QPainter& painter)
    : m_painter(painter), m_scaleX(std::fabs(painter.combinedTransform().m11())),
      m_scaleY(std::fabs(painter.combinedTransform().m22())) {}

QFont GraphCanvas::ScaledFont(const QFont& font, double logicalHeight) const {
    QFont scaled = font;
    scaled.setPixelSize(std::max(1, static_cast<int>(std::lround(logicalHeight * m_scaleY))));
    return scaled;
}

QPen GraphCanvas::Pen(const QColor& colour, double logicalWidth) const {
    QPen pen(colour);
    pen.setCosmetic(true);
    pen.setWidthF(std::max(1.0, std::round(logicalWidth * std::min(m_scaleX, m_scaleY))));
    pen.setCapStyle(Qt::SquareCap);
    return pen;
}

void GraphCanvas::Text(int x, int y, const QString& text, LabelAlign align, LabelBase base, const QFont& font,
                       const QColor& colour) {
    const QPointF at = m_painter.combinedTransform().map(QPointF(x, y));
    const QFontMetricsF metrics(font);
    const double width = metrics.horizontalAdvance(text);
    double left = at.x();
    if (align == LabelAlign::Centre)
        left -= width / 2;
    else if (align == LabelAlign::Right)
        left -= width;
    const double baseline = base == LabelBase::Top ? at.y() + metrics.ascent() : at.y();
    m_painter.save();
    m_painter.setViewTransformEnabled(false);
    m_painter.resetTransform();
    m_painter.setFont(font);
    m_painter.setPen(colour);
    m_painter.drawText(QPointF(left, baseline), text);
    m_painter.restore();
}

void GraphCanvas::VerticalText(int x, int y, const QString& text, LabelAlign align, LabelBase base,
                               const QFont& font, const QColor& colour) {
    const QPointF at = m_painter.combinedTransform().map(QPointF(x, y));
    const QFontMetricsF metrics(font);
    const double length = metrics.horizontalAdvance(text);
    // The strip across: from the top side at x, or with the baseline at x and the glyphs'
    // bodies towards the plot.
    const double stripLeft = base == LabelBase::Top ? at.x() : at.x() - metrics.ascent();
    double start = at.y(); // device y where the text begins (it runs down the screen)
    if (align == LabelAlign::Centre)
        start -= length / 2;
    else if (align == LabelAlign::Left)
        start -= length; // the strip ends at y, as a label written from y would
    m_painter.save();
    m_painter.setViewTransformEnabled(false);
    m_painter.resetTransform();
    m_painter.translate(stripLeft + metrics.descent(), start);
    m_painter.rotate(90);
    m_painter.setFont(font);
    m_painter.setPen(colour);
    m_painter.drawText(QPointF(0, 0), text);
    m_painter.restore();
}

double GraphCanvas::TextWidth(const QString& text, const QFont& font) const {
    return QFontMetricsF(font).horizontalAdvance(text) / m_scaleX;
}

double GraphCanvas::VerticalTextLength(const QString& text, const QFont& font) const {
    return QFontMetricsF(font).horizontalAdvance(text) / m_scaleY;
}
