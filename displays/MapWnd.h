#pragma once
// The sky-map window of the display area: the polar plot of the satellite table and the track
// file, drawn into a cached picture that painting copies to the screen, the read-out under the
// mouse, image export and the replay of the track file.
#include "displays/MapBackdrop.h"
#include "displays/SkyMapPainter.h"
#include "displays/TrackRecordCache.h"
#include "publishing/ExportedImage.h"

#include <QFont>
#include <QImage>
#include <QRect>
#include <QString>
#include <QWidget>
#include <optional>

class CChildView;

class CMapWnd : public QWidget {
    Q_OBJECT

public:
    explicit CMapWnd(CChildView* view);

    // A new white picture of the window's size; the next paint draws the map into it.
    void CreateCachedBitmap();
    // Draws the map into the cached picture (only when the cached picture is in use).
    void RenderToBitmap();
    // The whole map on a painter over a picture of `size` pixels.
    void Draw(QPainter& painter, QSize size);
    // Writes the map's picture to an image file, the encoder chosen by the extension: drawn at
    // the rectangle's size, or with `blit` copied from the on-screen picture at its own size.
    // Nothing is written on failure, which is also a diagnostic line. `how`: as WriteExportedImage.
    ImageWriteResult ExportImage(const QString& path, bool blit, QRect rect,
                                 ImageWrite how = ImageWrite::Replace);
    // Replays the track file on the map until its end or a key or mouse press.
    void Animate();
    bool IsAnimating() const { return m_bAnimating; }
    // The read-out for a point of the window, empty outside the map.
    QString ReadOut(QPoint pos) const;
    // Groups of 24 records the last replay showed.
    int ReplayedGroups() const { return m_nReplayedGroups; }
    // The picture the last replay left.
    const QImage& ReplayPicture() const { return m_replayPicture; }

    QImage m_bmpCache;
    QFont m_font;
    bool m_bCacheValid = false;
    double m_dSignalMax = 0.0;
    double m_dSignalMin = 255.0;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

    CChildView* m_pView;

private:
    SkyMapScene Scene();
    QRect ReadOutRect() const;

    TrackRecordCache m_track;
    MapBackdrop m_backdrop;
    std::optional<QPoint> m_hover; // the mouse inside the window
    bool m_bAnimating = false;
    QImage m_replayPicture; // what the window shows while the replay runs, kept after it
    int m_nReplayedGroups = 0;
};
