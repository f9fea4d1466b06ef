// The graph window's cursor read-out and the mouse's zoom and pan of its time window.
#include "app/ChildView.h"
#include "displays/GraView.h"
#include "displays/GraphCanvas.h"

#include "publishing/DataLogFormat.h"
#include <QMouseEvent>
#include <QPainter>

namespace {

constexpr double kLabelHeight = 60;

} // namespace

std::uint64_t CGraView::CursorReadout(const QRect& target, QPoint point, QString& text) const {
    text.clear();
    if (m_tEarliest == 0 || m_tEarliest >= kNoTime || m_tLatest == 0)
        return 0;
    text = FormatUtcTime(static_cast<std::int64_t>(m_tEarliest), "start %H:%M:%S %d/%m/%y UTC");
    if (!target.contains(point) || target.width() < 2 || target.height() < 2)
        return 0;
    QImage probe(1, 1, QImage::Format_RGB32);
    QPainter painter(&probe);
    SetMapping(painter, target);
    const QPointF logical = painter.combinedTransform().inverted().map(QPointF(point));
    const double x = logical.x();
    const double y = logical.y();
    if (x < kPlotLeft || x > kPlotRight || y < kPlotBottom || y > kPlotTop)
        return 0;
    const auto column = static_cast<std::uint64_t>(static_cast<int>(x) - kPlotLeft);
    const std::uint64_t t =
        m_tEarliest + (m_tLatest >= m_tEarliest ? (m_tLatest - m_tEarliest) * column / kPlotWidth : 0);
    text = FormatUtcTime(static_cast<std::int64_t>(t), "%H:%M:%S %d/%m/%y ");
    const int yi = static_cast<int>(y);
    for (int c = 0; c < kGraphChannels; ++c) {
        const int top = m_nBandTop[c];
        const int bottom = m_nBandBottom[c];
        const ChannelScale scale{m_dScaleMax[c], m_dScaleMin[c]};
        // A channel without a scale (no values in the window) has nothing to read.
        if (!m_pView->m_bPlot[c] || yi < bottom || yi > top || top <= bottom ||
            scale.max - scale.min <= kNoRange)
            continue;
        text += QString::asprintf("%g ", YToValue(yi, scale, top, bottom, LogScale(c)));
    }
    return t;
}

std::uint64_t CGraView::DrawCursor(QPainter& painter, const QRect& target, QPoint point, bool pointerInside) {
    QString text;
    const std::uint64_t t = CursorReadout(target, pointerInside ? point : QPoint(-1, -1), text);
    if (text.isEmpty())
        return 0;
    painter.save();
    SetMapping(painter, target);
    GraphCanvas canvas(painter);
    const QFont font = canvas.ScaledFont(m_fontLabel, kLabelHeight);
    painter.fillRect(QRectF(QPointF(-1050, -1060), QPointF(550, -1005)).normalized(), Qt::white);
    canvas.Text(-1050, -1060, text, LabelAlign::Left, LabelBase::Baseline, font, Qt::black);
    painter.restore();
    return t;
}

void CGraView::ZoomChanged() {
    RenderToBitmap();
    update();
}

void CGraView::OnLButtonDown(Qt::KeyboardModifiers modifiers) {
    const bool hasEnd = m_tZoomEnd < kNoTime;
    if (modifiers & Qt::ShiftModifier && hasEnd) {
        // Pan later by half the width, at most to end at the last line.
        const std::uint64_t width = m_tZoomEnd >= m_tZoomStart ? m_tZoomEnd - m_tZoomStart : 0;
        const std::uint64_t h = width / 2;
        m_tZoomStart += h;
        m_tZoomEnd += h;
        if (m_tZoomEnd > m_tLastSeen) {
            m_tZoomEnd = m_tLastSeen;
            m_tZoomStart = m_tLastSeen >= width ? m_tLastSeen - width : 0;
        }
        m_bZoomed = true;
    } else if (!(modifiers & Qt::ControlModifier && hasEnd)) {
        m_tZoomStart = m_tCursor;
        m_bZoomed = true;
    }
    ZoomChanged();
}

void CGraView::OnRButtonDown(Qt::KeyboardModifiers modifiers) {
    const bool hasEnd = m_tZoomEnd < kNoTime;
    if (modifiers & Qt::ShiftModifier && hasEnd) {
        // Pan earlier by half the width, at most to start at the first line.
        const std::uint64_t width = m_tZoomEnd >= m_tZoomStart ? m_tZoomEnd - m_tZoomStart : 0;
        const std::uint64_t h = width / 2;
        if (m_tZoomStart < m_tFirstSeen + h) {
            m_tZoomStart = m_tFirstSeen;
            m_tZoomEnd = m_tFirstSeen + width;
        } else {
            m_tZoomStart -= h;
            m_tZoomEnd -= h;
        }
        m_bZoomed = true;
    } else if (!(modifiers & Qt::ControlModifier && hasEnd)) {
        m_tZoomEnd = m_tCursor;
        m_bZoomed = true;
    }
    ZoomChanged();
}

void CGraView::OnLButtonDblClk(Qt::KeyboardModifiers modifiers) {
    if (modifiers & (Qt::ShiftModifier | Qt::ControlModifier))
        return;
    m_tZoomStart = 0;
    m_tZoomEnd = kNoTime;
    m_bZoomed = false;
    ZoomChanged();
}

void CGraView::OnRButtonDblClk(Qt::KeyboardModifiers modifiers) {
    if (modifiers & (Qt::ShiftModifier | Qt::ControlModifier))
        return;
    m_tZoomStart = 0;
    m_tZoomEnd = kNoTime;
    m_bZoomed = true;
    ZoomChanged();
}

QString CGraView::CursorText() const {
    QString text;
    if (m_hover)
        CursorReadout(rect(), *m_hover, text);
    return text;
}

void CGraView::mouseMoveEvent(QMouseEvent* event) {
    const QPoint pos = event->position().toPoint();
    m_hover = rect().contains(pos) ? std::optional<QPoint>(pos) : std::nullopt;
    QString text;
    m_tCursor = CursorReadout(rect(), pos, text);
    update();
    QWidget::mouseMoveEvent(event);
}

void CGraView::leaveEvent(QEvent* event) {
    m_hover.reset();
    update();
    QWidget::leaveEvent(event);
}

void CGraView::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton)
        OnLButtonDown(event->modifiers());
    else if (event->button() == Qt::RightButton)
        OnRButtonDown(event->modifiers());
    QWidget::mousePressEvent(event);
}

void CGraView::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton)
        OnLButtonDblClk(event->modifiers());
    else if (event->button() == Qt::RightButton)
        OnRButtonDblClk(event->modifiers());
    // Not passed on: the base class would take it for one more button press.
    event->accept();
}
