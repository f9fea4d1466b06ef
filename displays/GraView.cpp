#include "displays/GraView.h"

CGraView::CGraView(CChildView* view) : m_pView(view) {
    setAutoFillBackground(true);
}

void CGraView::CreateCachedBitmap() {
    m_bCacheValid = false;
}

void CGraView::ExportImage(const QString& path, bool blit, bool allData, QRect rect) {
    // The graph draws no picture yet: there is nothing to write.
    Q_UNUSED(path);
    Q_UNUSED(blit);
    Q_UNUSED(allData);
    Q_UNUSED(rect);
}
