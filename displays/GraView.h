#pragma once
// The graph window of the display area.
#include <QRect>
#include <QString>
#include <QWidget>

class CChildView;

class CGraView : public QWidget {
    Q_OBJECT

public:
    explicit CGraView(CChildView* view);

    // Prepares the cached picture of the graph.
    void CreateCachedBitmap();
    // Writes the graph's picture to an image file, the encoder chosen by the extension: drawn
    // afresh at the rectangle's size (all data, or the zoom window), or with `blit` copied from
    // the on-screen picture at its own size. Nothing is written on failure.
    void ExportImage(const QString& path, bool blit, bool allData, QRect rect);

    bool m_bCacheValid = false;

protected:
    CChildView* m_pView;
};
