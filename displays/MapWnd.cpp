#include "displays/MapWnd.h"

#include "app/ChildView.h"
#include "app/DiagnosticText.h"
#include "app/Globals.h"
#include "displays/MapGeometry.h"
#include "platform/WallClock.h"
#include "publishing/ExportedImage.h"

#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>

CMapWnd::CMapWnd(CChildView* view) : m_font(QStringLiteral("Arial")), m_pView(view) {
    m_font.setStyleHint(QFont::SansSerif);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
    setCursor(Qt::CrossCursor);
}

void CMapWnd::CreateCachedBitmap() {
    m_bmpCache = NewExportImage(width(), height());
    m_bCacheValid = false;
}

SkyMapScene CMapWnd::Scene() {
    SkyMapScene scene;
    scene.sats = &m_pView->m_sat;
    scene.latitude = m_pView->m_dLatitude;
    scene.longitude = m_pView->m_dLongitude;
    scene.height = m_pView->m_dHeight;
    scene.trailMode = m_pView->m_nTrailMode;
    scene.identSats = m_pView->m_bIdentSats;
    scene.showUntrackedCount = g_nReceiverType != RECEIVER_DATUM;
    if (m_pView->m_bMapBackdrop && !m_pView->m_strMapPath.isEmpty())
        scene.backdrop = m_backdrop.Picture(m_pView->m_strMapPath);
    scene.header =
        FormatTime("%H:%M:%S %d/%m/%y UTC", platform::ToUtcTime(platform::CurrentWallClock().now()));
    if (m_track.Refresh(m_pView->m_strDumpPath))
        scene.track = &m_track;
    return scene;
}

void CMapWnd::Draw(QPainter& painter, QSize size) {
    SkyMapPainter map(painter, size, m_font);
    const SignalRange drawn = map.Draw(Scene(), SignalRange{m_dSignalMin, m_dSignalMax});
    m_dSignalMin = drawn.min;
    m_dSignalMax = drawn.max;
}

void CMapWnd::RenderToBitmap() {
    if (!g_bUseBitmap)
        return;
    if (m_bmpCache.size() != size() || m_bmpCache.isNull())
        m_bmpCache = NewExportImage(width(), height());
    m_bmpCache.fill(Qt::white);
    QPainter painter(&m_bmpCache);
    Draw(painter, m_bmpCache.size());
    m_bCacheValid = true;
}

QRect CMapWnd::ReadOutRect() const {
    return SkyMapPainter::ReadOutRect(size());
}

QString CMapWnd::ReadOut(QPoint pos) const {
    if (!rect().contains(pos))
        return {};
    bool invertible = false;
    const QPointF logical = MapMapping(size()).inverted(&invertible).map(QPointF(pos));
    return ReadOutText(logical, m_pView->m_sat);
}

void CMapWnd::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    if (m_bAnimating) {
        painter.drawImage(0, 0, m_replayPicture);
        return;
    }
    if (g_bUseBitmap) {
        if (!m_bCacheValid)
            RenderToBitmap();
        painter.drawImage(0, 0, m_bmpCache);
    } else {
        painter.fillRect(rect(), Qt::white);
        Draw(painter, size());
    }
    if (m_hover)
        SkyMapPainter(painter, size(), m_font).DrawReadOut(ReadOut(*m_hover));
}

void CMapWnd::mouseMoveEvent(QMouseEvent* event) {
    const QPoint pos = event->position().toPoint();
    m_hover = rect().contains(pos) ? std::optional<QPoint>(pos) : std::nullopt;
    update(ReadOutRect()); // the read-out strip only, never the map
    QWidget::mouseMoveEvent(event);
}

void CMapWnd::leaveEvent(QEvent* event) {
    m_hover.reset();
    update(ReadOutRect());
    QWidget::leaveEvent(event);
}

void CMapWnd::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    CreateCachedBitmap();
}

ImageWriteResult CMapWnd::ExportImage(const QString& path, bool blit, QRect rect, ImageWrite how) {
    QImage picture;
    if (blit && g_bUseBitmap) {
        if (!m_bCacheValid)
            RenderToBitmap();
        // The picture has the window's size on screen, whatever size was asked for.
        picture = m_bmpCache.copy();
    } else {
        // Without a cached picture to copy, a blit draws the map at the window's size.
        if (blit)
            rect = QRect(0, 0, width(), height());
        picture = NewExportImage(rect.width(), rect.height());
        QPainter painter(&picture);
        Draw(painter, picture.size());
    }
    const ImageWriteResult result = WriteExportedImage(picture, path, how);
    if (!result.ok)
        m_pView->Diagnostic(result.error);
    return result;
}
