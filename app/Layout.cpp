#include "app/Layout.h"

#include "app/ChildView.h"

DisplayLayout LayoutForMode(int viewMode, int width, int height) {
    DisplayLayout layout;
    const int halfW = width / 2;
    const int halfH = height / 2;
    switch (viewMode) {
    case 0: // All
    case 1: // Time keeps the All layout; only the text differs
        layout.graph = QRect(0, 0, halfW, halfH);
        layout.map = QRect(halfW, 0, width - halfW, halfH);
        layout.text = QRect(0, halfH, width, height - halfH);
        break;
    case 2: layout.map = QRect(0, 0, width, height); break;
    case 3: layout.graph = QRect(0, 0, width, height); break;
    case 4: layout.text = QRect(0, 0, width, height); break;
    default: layout.childrenUnchanged = true; break;
    }
    return layout;
}

DisplayFontSizes FontSizesFor(int viewMode, int width, int height) {
    DisplayFontSizes sizes{};
    sizes.statusHeight = static_cast<int>(height / (viewMode == 4 ? 21.0 : 42.0));
    sizes.statusWidth = static_cast<int>(width / 85.5);
    sizes.timeHeight = static_cast<int>(height / 3.25);
    sizes.timeWidth = static_cast<int>(width / 9.0);
    return sizes;
}

namespace {
// A font of a given cell height and average character width, as the display draws with.
QFont MakeDisplayFont(const QString& face, int height, int width, bool fixedPitch) {
    QFont font(face);
    font.setStyleHint(fixedPitch ? QFont::TypeWriter : QFont::SansSerif);
    font.setFixedPitch(fixedPitch);
    font.setPixelSize(std::max(1, height));
    if (width > 0) {
        // Stretch the font so its average character is the asked width.
        const QFontMetrics metrics(font);
        const int natural = std::max(1, metrics.averageCharWidth());
        font.setStretch(std::clamp(width * 100 / natural, 1, 4000));
    }
    return font;
}

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
    m_fontStatus = MakeDisplayFont(m_strSmallStatusFace, sizes.statusHeight, sizes.statusWidth, true);
    m_fontTime = MakeDisplayFont(QStringLiteral("Arial"), sizes.timeHeight, sizes.timeWidth, false);

    const DisplayLayout layout = LayoutForMode(m_nViewMode, m_cxClient, m_cyClient);
    if (layout.childrenUnchanged)
        return;
    Place(m_wndGraph, layout.graph);
    Place(m_wndMap, layout.map);
    Place(m_wndText, layout.text);
}

void CChildView::OnViewAll() {
    m_nViewMode = 0;
    m_bLogDue = false;
    RecalcLayout();
}

void CChildView::OnViewStatus() {
    m_nViewMode = 4;
    m_bLogDue = false;
    RecalcLayout();
}

void CChildView::OnViewTime() {
    m_nViewMode = 1;
    RecalcLayout();
}

void CChildView::OnViewMap() {
    m_nViewMode = 2;
    m_bLogDue = false;
    RecalcLayout();
}

void CChildView::OnViewGraph() {
    m_nViewMode = 3;
    m_bLogDue = false;
    RecalcLayout();
}
