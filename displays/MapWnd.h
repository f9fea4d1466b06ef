#pragma once
// The sky-map window of the display area.
#include <QWidget>

class CChildView;

class CMapWnd : public QWidget {
    Q_OBJECT

public:
    explicit CMapWnd(CChildView* view);

    // Prepares the cached picture of the map.
    void CreateCachedBitmap();

    bool m_bCacheValid = false;

protected:
    CChildView* m_pView;
};
