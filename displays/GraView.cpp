#include "displays/GraView.h"

CGraView::CGraView(CChildView* view) : m_pView(view) {
    setAutoFillBackground(true);
}

void CGraView::CreateCachedBitmap() {
    m_bCacheValid = false;
}
