// The replay of the track file on the sky map: groups of 24 records flash as large symbols and
// leave small dots of their satellites' colours behind, so the paths build up, with the time of
// each group in the top-left corner. It runs to the end of the file or until a key or mouse press.
#include "app/ChildView.h"
#include "app/DiagnosticText.h"
#include "displays/MapColours.h"
#include "displays/MapWnd.h"
#include "platform/FileAccess.h"
#include "platform/WallClock.h"
#include "publishing/ExportedImage.h"
#include "receiver/SatelliteTrackFile.h"

#include <QApplication>
#include <QEvent>
#include <QFile>
#include <QPainter>
#include <QThread>

namespace {

constexpr int kReplaySymbol = 25;
// Times below this (such as an all-zero record) are no times: the caption stays as it was.
constexpr std::uint32_t kEarliestCaptionTime = 60;
constexpr unsigned long kFlashMs = 1;

// Records and swallows every key and mouse press while the replay runs.
class ReplayInputFilter : public QObject {
public:
    bool eventFilter(QObject* watched, QEvent* event) override {
        switch (event->type()) {
        case QEvent::KeyPress:
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick:
            m_pressed = true;
            return true;
        default:
            return QObject::eventFilter(watched, event);
        }
    }
    bool Pressed() const { return m_pressed; }

private:
    bool m_pressed = false;
};

QString Caption(const CSatInfo& first) {
    const timespec at{static_cast<time_t>(first.m_dwTime), 0};
    return FormatTime("%H:%M:%S %d/%m/%y              ", platform::ToUtcTime(at)) +
           QString::asprintf(" %2d   ", first.m_bySatCount);
}

} // namespace

void CMapWnd::Animate() {
    if (m_bAnimating)
        return;
    repaint(); // a pending paint first
    m_replayPicture = NewExportImage(width(), height());
    QPainter painter(&m_replayPicture);
    SkyMapPainter map(painter, size(), m_font);
    SkyMapScene background;
    background.latitude = m_pView->m_dLatitude;
    background.longitude = m_pView->m_dLongitude;
    background.height = m_pView->m_dHeight;
    if (m_pView->m_bMapBackdrop && !m_pView->m_strMapPath.isEmpty())
        background.backdrop = m_backdrop.Picture(m_pView->m_strMapPath);
    map.DrawBackground(background);
    map.SetTextColour(kLabelGreen);

    m_bAnimating = true;
    m_nReplayedGroups = 0;
    ReplayInputFilter input;
    qApp->installEventFilter(&input);
    QFile file;
    if (platform::OpenRegularFile(file, m_pView->m_strDumpPath, QIODevice::ReadOnly)) {
        const std::vector<CSatInfo> records = DecodeTrackRecords(file.readAll());
        file.close();
        std::array<CSatInfo, kSatelliteSlots> ring{};
        for (std::size_t i = 0; i < records.size(); ++i) {
            ring[i % kSatelliteSlots] = records[i];
            if (i % kSatelliteSlots != kSatelliteSlots - 1)
                continue;
            // Flash the group: drawn twice in not-xor, the symbols leave the picture as it was.
            painter.setCompositionMode(QPainter::RasterOp_NotSourceXorDestination);
            for (const CSatInfo& sat : ring)
                map.DrawSatellite(sat, kReplaySymbol, std::nullopt);
            repaint();
            QThread::msleep(kFlashMs);
            for (const CSatInfo& sat : ring)
                map.DrawSatellite(sat, kReplaySymbol, std::nullopt);
            painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
            for (const CSatInfo& sat : ring)
                map.Dot(sat.ToPoint(), g_PrnColours[sat.m_byPrnLow]);
            if (ring[0].m_dwTime >= kEarliestCaptionTime) {
                map.SetOpaqueText(true);
                map.Text({-1000, 1000}, Caption(ring[0]), TextAlign::LeftBaseline);
                map.SetOpaqueText(false);
            }
            repaint();
            ++m_nReplayedGroups;
            QCoreApplication::processEvents();
            if (input.Pressed())
                break;
        }
    }
    qApp->removeEventFilter(&input);
    m_bAnimating = false;
    painter.end();
    update();
}
