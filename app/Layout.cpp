#include "app/Layout.h"

#include "app/ChildView.h"

#include <QFontMetrics>
#include <algorithm>
#include <cstdlib>

DisplayLayout LayoutForMode(int viewMode, int width, int height) {
    DisplayLayout layout;
    const int halfW = width / 2;
    const int halfH = height / 2;
    switch (viewMode) {
    case ViewModeAll:
    case ViewModeTime: // Time keeps the All layout; only the text differs
        layout.graph = QRect(0, 0, halfW, halfH);
        layout.map = QRect(halfW, 0, width - halfW, halfH);
        layout.text = QRect(0, halfH, width, height - halfH);
        break;
    case ViewModeMap:
        layout.map = QRect(0, 0, width, height);
        break;
    case ViewModeGraph:
        layout.graph = QRect(0, 0, width, height);
        break;
    case ViewModeStatus:
        layout.text = QRect(0, 0, width, height);
        break;
    default:
        layout.childrenUnchanged = true;
        break;
    }
    return layout;
}

DisplayFontSizes FontSizesFor(int viewMode, int width, int height) {
    DisplayFontSizes sizes{};
    sizes.statusHeight = static_cast<int>(height / (viewMode == ViewModeStatus ? 21.0 : 42.0));
    sizes.statusWidth = static_cast<int>(width / 85.5);
    sizes.timeHeight = static_cast<int>(height / 3.25);
    sizes.timeWidth = static_cast<int>(width / 9.0);
    return sizes;
}

QFont DisplayFont(const QString& face, int height, int width, bool fixedPitch) {
    // Sizes as a stored setting may hold them: 0 keeps the face's own size, a negative height is
    // the character height without the cell's leading, absurd values are cut.
    static constexpr qint64 kLargest = 2000;
    const auto magnitude = [](int value) { return std::min(kLargest, std::abs(static_cast<qint64>(value))); };
    QFont font(face);
    font.setStyleHint(fixedPitch ? QFont::TypeWriter : QFont::SansSerif);
    font.setFixedPitch(fixedPitch);
    if (height != 0) {
        const qint64 size = magnitude(height);
        font.setPixelSize(static_cast<int>(size));
        if (height > 0) {
            // A positive height is the whole character cell (ascent plus descent), which is
            // larger than the pixel size by the face's leading.
            const qint64 cell = std::max(1, QFontMetrics(font).height());
            font.setPixelSize(static_cast<int>(std::max<qint64>(1, size * size / cell)));
        }
    }
    if (width != 0) {
        // Stretch the font so its average character is the asked width.
        const QFontMetrics metrics(font);
        const qint64 natural = std::max(1, metrics.averageCharWidth());
        font.setStretch(static_cast<int>(std::clamp<qint64>(magnitude(width) * 100 / natural, 1, 4000)));
    }
    return font;
}

QFont FontFittingWidth(QFont font, const QString& text, int width) {
    const int natural = QFontMetrics(font).horizontalAdvance(text);
    if (natural <= width || natural <= 0 || width <= 0)
        return font;
    const int stretch = font.stretch() > 0 ? font.stretch() : 100;
    font.setStretch(std::max(1, static_cast<int>(qint64{stretch} * width / natural)));
    // Stretching is not exactly proportional: step down until it fits.
    while (font.stretch() > 1 && QFontMetrics(font).horizontalAdvance(text) > width)
        font.setStretch(font.stretch() - 1);
    return font;
}

namespace {
void Place(QWidget& child, const std::optional<QRect>& rect) {
    if (rect) {
        child.setGeometry(*rect);
        child.show();
        child.update();
    } else {
        child.hide();
    }
}
} // namespace

void CChildView::RecalcLayout() {
    m_cxClient = width();
    m_cyClient = height();
    const DisplayFontSizes sizes = FontSizesFor(m_nViewMode, m_cxClient, m_cyClient);
    m_fontStatus = DisplayFont(m_strSmallStatusFace, sizes.statusHeight, sizes.statusWidth, true);
    m_fontTime = DisplayFont(QStringLiteral("Arial"), sizes.timeHeight, sizes.timeWidth, false);

    const DisplayLayout layout = LayoutForMode(m_nViewMode, m_cxClient, m_cyClient);
    if (layout.childrenUnchanged)
        return;
    Place(m_wndGraph, layout.graph);
    Place(m_wndMap, layout.map);
    Place(m_wndText, layout.text);
}

void CChildView::SetViewMode(int mode) {
    // The text window holds the time in the Time view and the status screen in the others: on a
    // switch between the two it starts from what the new mode shows, never from the other's text.
    if ((m_nViewMode == ViewModeTime) != (mode == ViewModeTime)) {
        m_wndText.m_strText = mode == ViewModeTime || m_strRawStatus.isEmpty() ? QString() : FormatStatus(m_strRawStatus);
        m_wndText.update();
    }
    m_nViewMode = mode;
}

void CChildView::OnViewAll() {
    SetViewMode(ViewModeAll);
    m_bLogDue = false;
    RecalcLayout();
}

void CChildView::OnViewStatus() {
    SetViewMode(ViewModeStatus);
    m_bLogDue = false;
    RecalcLayout();
}

void CChildView::OnViewTime() {
    SetViewMode(ViewModeTime);
    RecalcLayout();
}

void CChildView::OnViewMap() {
    SetViewMode(ViewModeMap);
    m_bLogDue = false;
    RecalcLayout();
}

void CChildView::OnViewGraph() {
    SetViewMode(ViewModeGraph);
    m_bLogDue = false;
    RecalcLayout();
}
