#include "displays/MapWnd.h"

CMapWnd::CMapWnd(CChildView* view) : m_pView(view) {
    setAutoFillBackground(true);
}

void CMapWnd::CreateCachedBitmap() {
    m_bCacheValid = false;
}
