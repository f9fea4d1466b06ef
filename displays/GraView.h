#pragma once
// The graph window of the display area.
#include <QWidget>

class CChildView;

class CGraView : public QWidget {
    Q_OBJECT

public:
    explicit CGraView(CChildView* view);

    // Prepares the cached picture of the graph.
    void CreateCachedBitmap();

    bool m_bCacheValid = false;

protected:
    CChildView* m_pView;
};
