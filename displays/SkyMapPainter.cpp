#include "displays/SkyMapPainter.h"

#include "displays/MapColours.h"
#include "displays/MapGeometry.h"

#include <QFontMetricsF>
#include <QPainterPath>
#include <cmath>

namespace {
// The font's height and the pens' widths, in logical units.
constexpr int kFontHeight = 60;
constexpr int kFramePenWidth = 4;
constexpr int kSymbolPenWidth = 8;
constexpr int kOutlinePenWidth = 20;
constexpr int kDotSize = 7;
// Symbol half-sizes: current satellites.
constexpr int kCurrentSymbol = 22;
// Elevation rings every 10 degrees from the horizon to 80.
constexpr int kRingStep = 10;
constexpr int kHighestRing = 80;
constexpr int kDiagonal = 700;
// The ring of white painted round the horizon over a backdrop.
constexpr int kBackdropMargin = 1005;
constexpr int kLegendPitch = 50;
constexpr int kKeyPitch = 45;
} // namespace

SkyMapPainter::SkyMapPainter(QPainter& painter, QSize size, const QFont& font)
    : m_painter(painter), m_size(size), m_mapping(MapMapping(size)), m_scale(MapScale(m_mapping)),
      m_font(font) {
    m_font.setPixelSize(std::max(1, static_cast<int>(std::lround(kFontHeight * m_scale))));
    m_painter.setRenderHint(QPainter::Antialiasing, false);
    m_painter.setRenderHint(QPainter::TextAntialiasing, true);
}

QRectF SkyMapPainter::Rect(QPoint a, QPoint b) const {
    return QRectF(m_mapping.map(QPointF(a)), m_mapping.map(QPointF(b))).normalized();
}

QPen SkyMapPainter::Pen(QRgb colour, int logicalWidth) const {
    QPen pen{QColor(colour)};
    pen.setWidthF(std::max(1.0, logicalWidth * m_scale));
    return pen;
}

void SkyMapPainter::FillRect(QPoint a, QPoint b, QRgb colour) {
    m_painter.fillRect(Rect(a, b), QColor(colour));
}

void SkyMapPainter::Dot(QPoint p, QRgb colour) {
    m_painter.fillRect(DotRect(p), QColor(colour));
}

void SkyMapPainter::Text(QPoint p, const QString& text, TextAlign align) {
    m_painter.setFont(m_font);
    const QFontMetricsF metrics(m_font);
    QPointF at = m_mapping.map(QPointF(p));
    if (align == TextAlign::RightBaseline)
        at.rx() -= metrics.horizontalAdvance(text);
    if (m_opaqueText)
        m_painter.fillRect(QRectF(at.x(), at.y() - metrics.ascent(), metrics.horizontalAdvance(text),
                                  metrics.ascent() + metrics.descent()),
                           Qt::white);
    m_painter.setPen(QColor(m_textColour));
    m_painter.drawText(at, text);
}

void SkyMapPainter::DrawBackground(const SkyMapScene& scene) {
    const bool backdrop = scene.backdrop != nullptr;
    if (backdrop)
        DrawBackdrop(*scene.backdrop);
    m_painter.setBrush(Qt::NoBrush);
    m_painter.setPen(Pen(kFrameGrey, kFramePenWidth));
    for (int elevation = 0; elevation <= kHighestRing; elevation += kRingStep) {
        const int r = static_cast<int>(ElevationToRadius(elevation));
        m_painter.drawEllipse(Rect({-r, r}, {r, -r}));
    }
    const auto line = [this](QPoint a, QPoint b) {
        m_painter.drawLine(m_mapping.map(QPointF(a)), m_mapping.map(QPointF(b)));
    };
    line({-kHorizonRadius, 0}, {kHorizonRadius, 0});
    line({0, -kHorizonRadius}, {0, kHorizonRadius});
    line({-kDiagonal, kDiagonal}, {kDiagonal, -kDiagonal});
    line({kDiagonal, kDiagonal}, {-kDiagonal, -kDiagonal});
    if (!backdrop && scene.latitude != 0.0)
        DrawDeclinationCircles(scene.latitude);

    m_textColour = qRgb(0, 0, 0);
    m_opaqueText = false;
    Text({-15, 995}, QStringLiteral("N"), TextAlign::LeftBaseline);
    Text({-15, -1050}, QStringLiteral("S"), TextAlign::LeftBaseline);
    Text({-1055, -20}, QStringLiteral("W"), TextAlign::LeftBaseline);
    Text({1000, -20}, QStringLiteral("E"), TextAlign::LeftBaseline);
    const auto position = PositionLines(scene.latitude, scene.longitude, scene.height);
    Text({-1000, -873}, position[0], TextAlign::LeftBaseline);
    Text({-1000, -932}, position[1], TextAlign::LeftBaseline);
    Text({-1000, -990}, position[2], TextAlign::LeftBaseline);
}

void SkyMapPainter::DrawBackdrop(const QImage& picture) {
    // Transparency and alpha of the picture are honoured; the sky outside the horizon is white.
    m_painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    m_painter.drawImage(Rect({-kHorizonRadius, kHorizonRadius}, {kHorizonRadius, -kHorizonRadius}), picture);
    QPainterPath outside;
    outside.addRect(Rect({-kBackdropMargin, kBackdropMargin}, {kBackdropMargin, -kBackdropMargin}));
    outside.addEllipse(Rect({-kHorizonRadius, kHorizonRadius}, {kHorizonRadius, -kHorizonRadius}));
    outside.setFillRule(Qt::OddEvenFill);
    m_painter.fillPath(outside, Qt::white);
}

void SkyMapPainter::DrawDeclinationCircles(double latitude) {
    // Circles 1, 10, 20 and 30 degrees from the visible celestial pole, and the half of the
    // celestial equator above the horizon.
    m_painter.setPen(Pen(kDeclinationGreen, kFramePenWidth));
    m_painter.setBrush(Qt::NoBrush);
    constexpr int kPolarDistances[] = {1, 10, 20, 30, 90};
    for (const int p : kPolarDistances) {
        double a = kHorizonRadius * std::sin(p * kDegrees);
        double b = kHorizonRadius * std::cos((latitude + p) * kDegrees);
        double c = kHorizonRadius * std::cos((latitude - p) * kDegrees);
        if (latitude < 0) {
            a = -a;
            b = -b;
            c = -c;
        }
        const int ia = static_cast<int>(a);
        const QRectF bounds = Rect({-ia, static_cast<int>(b)}, {ia, static_cast<int>(c)});
        if (p < 90) {
            m_painter.drawEllipse(bounds);
            continue;
        }
        // From the side of (-a, 0) counter-clockwise as seen on the picture to the side of (a, 0):
        // through the south for a northern site, through the north for a southern one. Qt's
        // angles here are in picture pixels: 0 at three o'clock, counter-clockwise positive.
        constexpr int kSixteenths = 16;
        const int start = (ia > 0 ? 180 : 0) * kSixteenths;
        m_painter.drawArc(bounds, start, 180 * kSixteenths);
    }
}

void SkyMapPainter::DrawSatellite(const CSatInfo& sat, int size, std::optional<QRgb> colour) {
    const QPoint p = sat.ToPoint();
    const QRgb fill = colour.value_or(g_PrnColours[sat.m_byPrnLow]);
    if (size == 0) {
        Dot(p, fill);
        return;
    }
    m_painter.setPen(Pen(qRgb(0, 0, 0), kSymbolPenWidth));
    m_painter.setBrush(QColor(fill));
    const QRectF bounds = Rect({p.x() - size, p.y() - size}, {p.x() + size, p.y() + size});
    if (sat.m_bySnrWhole != 0)
        m_painter.drawEllipse(bounds);
    else
        m_painter.drawRect(bounds);
    m_painter.setBrush(Qt::NoBrush);
    if (colour)
        Text({p.x() - size, p.y()}, QString::number(sat.SatelliteNumber()), m_textAlign);
}

SignalRange SkyMapPainter::Draw(const SkyMapScene& scene, SignalRange previous) {
    DrawBackground(scene);
    m_textColour = qRgb(0, 0, 0);
    Text({-1050, 1000}, scene.header, TextAlign::LeftBaseline);

    const std::array<CSatInfo, kSatelliteSlots>& sats = *scene.sats;
    int tracked = 0;
    int untracked = 0;
    for (const CSatInfo& sat : sats) {
        if (sat.InUse())
            ++(sat.SignalLevel() > 0 ? tracked : untracked);
    }
    Text({880, 1000}, QString::asprintf("Tracking %d", tracked), TextAlign::RightBaseline);
    if (scene.showUntrackedCount)
        Text({880, -1050}, QString::asprintf("Not tracking %d", untracked), TextAlign::RightBaseline);

    SignalRange range;
    if (scene.track) {
        const TrackRecordCache& track = *scene.track;
        if (!track.Dots().empty() && track.LevelMax() >= track.LevelMin()) {
            range.max = track.LevelMax();
            range.min = track.LevelMin();
        }
        if (scene.trailMode == TrailNone)
            DrawOutline(track);
        else
            DrawTrails(track, scene.trailMode, previous);
    }

    // The satellites of the table, and their legend when they are not numbered.
    m_textAlign = TextAlign::RightBaseline;
    int yTracked = 1070;
    int yUntracked = -1032;
    for (const CSatInfo& sat : sats) {
        if (sat.SatelliteNumber() == 0)
            continue;
        const double level = sat.SignalLevel();
        const bool isTracked = level > 0;
        if (!isTracked && sat.m_byElevation == 0 && sat.m_wAzimuth == 0)
            continue;
        if (isTracked)
            yTracked -= kLegendPitch;
        else
            yUntracked += kLegendPitch;
        if (level > kLowestCountedLevel) {
            range.max = std::max(range.max, level);
            range.min = std::min(range.min, level);
        }
        std::optional<QRgb> colour;
        if (scene.identSats)
            colour = isTracked ? g_SignalColours[SignalColourIndex(level, previous.min, previous.max)]
                               : kUntrackedColour;
        m_textColour = kLabelGreen;
        DrawSatellite(sat, kCurrentSymbol, colour);
        if (scene.identSats)
            continue;
        m_painter.setPen(Pen(qRgb(0, 0, 0), kSymbolPenWidth));
        m_painter.setBrush(QColor(g_PrnColours[sat.m_byPrnLow]));
        m_textColour = qRgb(0, 0, 0);
        const QString number = QString::asprintf("%2d", sat.SatelliteNumber());
        if (isTracked) {
            m_painter.drawEllipse(Rect({905, yTracked}, {945, yTracked - 40}));
            Text({1055, yTracked - 40}, number, TextAlign::RightBaseline);
        } else {
            m_painter.drawRect(Rect({907, yUntracked}, {943, yUntracked - 36}));
            Text({1055, yUntracked - 38}, number, TextAlign::RightBaseline);
        }
        m_painter.setBrush(Qt::NoBrush);
    }
    m_textAlign = TextAlign::LeftBaseline;
    if (range.max > range.min)
        DrawColourKey(range, scene.showUntrackedCount);
    return range;
}

namespace {
// Fills pixel rectangles: straight into the picture's pixels when the painter paints on a plain
// 32-bit image without transform or clipping (the cached picture and exports), else through the
// painter. Both fill exactly the same pixels.
class RectFiller {
public:
    explicit RectFiller(QPainter& painter) : m_painter(painter) {
        auto* image = dynamic_cast<QImage*>(painter.device());
        if (image && (image->format() == QImage::Format_RGB32 || image->format() == QImage::Format_ARGB32) &&
            painter.worldTransform().isIdentity() && !painter.hasClipping() &&
            painter.compositionMode() == QPainter::CompositionMode_SourceOver)
            m_image = image;
    }
    void Fill(const QRect& rect, QRgb colour) {
        if (!m_image) {
            m_painter.fillRect(rect, QColor(colour));
            return;
        }
        const QRect clipped = rect & m_image->rect();
        if (clipped.isEmpty())
            return;
        for (int y = clipped.top(); y <= clipped.bottom(); ++y) {
            auto* line = reinterpret_cast<QRgb*>(m_image->scanLine(y));
            std::fill(line + clipped.left(), line + clipped.right() + 1, colour);
        }
    }

private:
    QPainter& m_painter;
    QImage* m_image = nullptr;
};
} // namespace

void SkyMapPainter::DrawTrails(const TrackRecordCache& track, int trailMode, SignalRange previous) {
    const std::vector<TrackDot>& dots = track.Dots();
    const long long n = static_cast<long long>(dots.size());
    const long long first = trailMode == TrailExtended ? 0 : std::max(0LL, n - kRecentTrailRecords + 1);
    RectFiller filler(m_painter);
    for (long long i = first; i < n; ++i) {
        const TrackDot& dot = dots[static_cast<std::size_t>(i)];
        // A dot drawn again later at the same point would cover this one whole.
        if (!dot.inUse || dot.covered)
            continue;
        const QRgb colour = dot.level > 0
                                ? g_SignalColours[SignalColourIndex(dot.level, previous.min, previous.max)]
                                : kUntrackedColour;
        filler.Fill(DotRect(dot.point), colour);
    }
}

QRect SkyMapPainter::DotRect(QPoint p) const {
    return Rect(p, p + QPoint(kDotSize, kDotSize)).toRect();
}

void SkyMapPainter::DrawOutline(const TrackRecordCache& track) {
    const std::array<std::uint8_t, kAzimuthDegrees> outline = track.ObstructionOutline();
    m_painter.setPen(Pen(kOutlineGreen, kOutlinePenWidth));
    QPolygonF path;
    for (int az = 0; az < kAzimuthDegrees; ++az)
        path << m_mapping.map(QPointF(SkyPoint(outline[az], az)));
    m_painter.drawPolyline(path);
}

void SkyMapPainter::DrawColourKey(const SignalRange& range, bool showUntracked) {
    for (int k = 0; k < kSignalColourTop; ++k)
        FillRect({-1050, 620 + kKeyPitch * k}, {-1005, 665 + kKeyPitch * k}, g_SignalColours[k]);
    m_textColour = qRgb(0, 0, 0);
    Text({-1000, 940}, QString::asprintf("max %g", range.max), TextAlign::LeftBaseline);
    Text({-1000, 620}, QString::asprintf("min %g", range.min), TextAlign::LeftBaseline);
    if (showUntracked) {
        Text({-710, 940}, QStringLiteral("not track"), TextAlign::LeftBaseline);
        FillRect({-760, 940}, {-715, 985}, kUntrackedColour);
    }
}

QRect SkyMapPainter::ReadOutRect(QSize size) {
    const QTransform mapping = MapMapping(size);
    return QRectF(mapping.map(QPointF(-1000, -1070)), mapping.map(QPointF(-150, -1000)))
        .normalized()
        .toAlignedRect();
}

void SkyMapPainter::DrawReadOut(const QString& text) {
    m_painter.fillRect(ReadOutRect(m_size), Qt::white);
    m_textColour = kLabelGreen;
    m_opaqueText = false;
    Text({-1000, -1050}, text, TextAlign::LeftBaseline);
}
