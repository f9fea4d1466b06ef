// The graph window: the cached picture, the mapping, painting and the image export.
#include "displays/GraView.h"

#include "app/ChildView.h"
#include "app/Globals.h"
#include "publishing/ExportedImage.h"

#include <QPaintEvent>
#include <QPainter>

namespace {

// The logical plane: x from -1070 to 1070, y from 1069 down to -1071.
constexpr int kPlaneLeft = -1070;
constexpr int kPlaneTop = 1069;
constexpr int kPlaneSize = 2140;

} // namespace

CGraView::CGraView(CChildView* view) : m_pView(view) {
    setAutoFillBackground(false);
    setMouseTracking(true);
    setCursor(Qt::CrossCursor);
    m_fontLabel = QFont(QStringLiteral("DejaVu Sans"));
    m_fontVertical = QFont(QStringLiteral("DejaVu Sans"));
}

void CGraView::CreateCachedBitmap() {
    m_bmpCache = QImage(size().expandedTo(QSize(1, 1)), QImage::Format_RGB32);
    m_bmpCache.fill(Qt::white);
    m_bCacheValid = false;
}

void CGraView::RenderToBitmap() {
    if (!g_bUseBitmap)
        return;
    if (m_bmpCache.size() != size().expandedTo(QSize(1, 1)))
        CreateCachedBitmap();
    m_bmpCache.fill(Qt::white);
    QPainter painter(&m_bmpCache);
    SetMapping(painter, m_bmpCache.rect());
    Draw(painter, false);
    painter.end();
    m_bCacheValid = true;
}

void CGraView::SetMapping(QPainter& painter, const QRect& target) const {
    painter.setWindow(kPlaneLeft, kPlaneTop, kPlaneSize, -kPlaneSize);
    painter.setViewport(target.left(), target.top(), target.width() - 1, target.height() - 1);
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setBackgroundMode(Qt::TransparentMode);
}

bool CGraView::LogScale(int c) const {
    const CChildView& view = *m_pView;
    return UsesLogScale(c + 1, g_nReceiverType, view.m_strLabel[c], view.m_bHoldMin[c], view.m_bHoldMax[c],
                        view.m_dMin[c], view.m_dMax[c], view.m_dMagnification[c], view.m_dOffset[c]);
}

QImage CGraView::RenderExportImage(QSize size, bool blit, bool allData) {
    if (blit) {
        if (g_bUseBitmap) {
            if (!m_bCacheValid)
                RenderToBitmap();
            return m_bmpCache.copy();
        }
        // Without a cache the screen picture is drawn afresh at the window's size.
        size = this->size();
        allData = false;
    }
    const GraphDrawState kept = *this;
    QImage image(size.expandedTo(QSize(2, 2)), QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    SetMapping(painter, image.rect());
    Draw(painter, allData);
    painter.end();
    static_cast<GraphDrawState&>(*this) = kept;
    return image;
}

void CGraView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    if (g_bUseBitmap) {
        if (!m_bCacheValid)
            RenderToBitmap();
        painter.drawImage(0, 0, m_bmpCache);
    } else {
        // The combining raster operation needs an image to draw on.
        QImage picture(size().expandedTo(QSize(2, 2)), QImage::Format_RGB32);
        picture.fill(Qt::white);
        QPainter imagePainter(&picture);
        SetMapping(imagePainter, picture.rect());
        Draw(imagePainter, false);
        imagePainter.end();
        painter.drawImage(0, 0, picture);
    }
    if (m_hover)
        DrawCursor(painter, rect(), *m_hover, true);
}

void CGraView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    CreateCachedBitmap();
}

ImageWriteResult CGraView::ExportImage(const QString& path, bool blit, bool allData, QRect rect,
                                       ImageWrite how) {
    const QImage picture = RenderExportImage(rect.size(), blit, allData);
    const ImageWriteResult result = WriteExportedImage(picture, path, how);
    if (!result.ok)
        m_pView->Diagnostic(result.error);
    return result;
}
