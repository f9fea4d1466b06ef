#include "app/TextWnd.h"

#include "app/ChildView.h"

#include "app/Layout.h"

#include <QPaintEvent>
#include <QPainter>
#include <algorithm>

namespace {
// The Time view keeps this share of its width (1/40) free at each edge.
constexpr int kTimeMarginParts = 40;
} // namespace

CTextWnd::CTextWnd(CChildView* owner) : m_pOwner(owner) {
    setAutoFillBackground(true);
}

QStringList StatusScreenLines(const QString& text, int maxLines) {
    QStringList lines;
    if (!text.contains(QLatin1Char('\r')))
        return lines;
    qsizetype start = 0;
    while (lines.size() < maxLines) {
        const qsizetype cr = start < text.size() ? text.indexOf(QLatin1Char('\r'), start) : -1;
        if (cr < 0) {
            lines << text.mid(start);
            break;
        }
        lines << text.mid(start, cr - start);
        start = cr + 2; // a CR LF pair separates lines
        if (start > text.size()) {
            break;
        }
    }
    return lines;
}

void CTextWnd::Draw(QPainter& painter, const QRect& rect) const {
    painter.setBackgroundMode(Qt::TransparentMode);
    const int bottom = rect.bottom() + 1;
    switch (m_pOwner->m_nViewMode) {
    case ViewModeTime: { // Time: one line in the big font, clear of both edges
        const int margin = std::max(2, rect.width() / kTimeMarginParts);
        painter.setFont(FontFittingWidth(m_pOwner->m_fontTime, m_strText, rect.width() - 2 * margin));
        const QFontMetrics metrics(painter.font());
        painter.drawText(QPoint(rect.left() + margin, bottom / 7 + metrics.ascent()), m_strText);
        break;
    }
    case ViewModeAll:
    case ViewModeStatus: {
        painter.setFont(m_pOwner->m_fontStatus);
        const QFontMetrics metrics(painter.font());
        const QStringList lines = StatusScreenLines(m_strText);
        for (int i = 0; i < lines.size(); ++i)
            painter.drawText(QPoint(rect.left(), i * bottom / 23 + metrics.ascent()), lines[i]);
        break;
    }
    default:
        break;
    }
}

void CTextWnd::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setPen(palette().color(QPalette::WindowText));
    Draw(painter, rect());
}
