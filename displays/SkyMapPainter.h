#pragma once
// Draws the sky map on any painter: the background, the satellites of the table, the trails or
// the obstruction outline of the track file, the legend and the colour key, and the read-out.
// Geometry is given in the map's logical coordinates (y up) and mapped to the picture's pixels
// here; text is drawn unmapped, so it reads the right way up.
#include "displays/TrackRecordCache.h"
#include "receiver/SatInfo.h"

#include <QFont>
#include <QPainter>
#include <QTransform>
#include <array>
#include <optional>

// What a drawing of the map shows.
struct SkyMapScene {
    const std::array<CSatInfo, kSatelliteSlots>* sats = nullptr;
    double latitude = 0.0;
    double longitude = 0.0;
    double height = 0.0;
    int trailMode = 1;                       // TrailMode
    bool identSats = true;                   // colour by signal level and number the satellites
    bool showUntrackedCount = true;          // every family but the Datum 2000
    const QImage* backdrop = nullptr;        // null: none
    QString header;                          // the time line at the top left
    const TrackRecordCache* track = nullptr; // null when the track file did not open
};

// The signal levels of one drawing; empty while max <= min.
struct SignalRange {
    double min = 255.0;
    double max = 0.0;
};

enum TrailMode : int { TrailNone = 0, TrailRecent = 1, TrailExtended = 2 };

// The number of newest records whose dots recent trails draw, plus one.
constexpr int kRecentTrailRecords = 5000;

enum class TextAlign { LeftBaseline, RightBaseline };

class SkyMapPainter {
public:
    // The map over a picture of `size` pixels; `font` gives the face, its size is the map's.
    SkyMapPainter(QPainter& painter, QSize size, const QFont& font);

    void DrawBackground(const SkyMapScene& scene);
    // The whole map, background first. The colours of the levels come from the range of the
    // previous drawing; returns this drawing's range.
    SignalRange Draw(const SkyMapScene& scene, SignalRange previous);
    // One satellite: with no colour given, its own colour from the number table and no number.
    // Size 0 is a small square dot.
    void DrawSatellite(const CSatInfo& sat, int size, std::optional<QRgb> colour);
    // The read-out strip under the map.
    void DrawReadOut(const QString& text);
    // A filled square of the dot size at a logical point.
    void Dot(QPoint p, QRgb colour);
    void Text(QPoint p, const QString& text, TextAlign align);

    void SetTextColour(QRgb colour) { m_textColour = colour; }
    void SetTextAlign(TextAlign align) { m_textAlign = align; }
    void SetOpaqueText(bool opaque) { m_opaqueText = opaque; }
    const QTransform& Mapping() const { return m_mapping; }
    // The pixels of the read-out strip on a picture of `size`.
    static QRect ReadOutRect(QSize size);

private:
    QRectF Rect(QPoint a, QPoint b) const;
    // The pixels of a trail dot at a logical point.
    QRect DotRect(QPoint p) const;
    QPen Pen(QRgb colour, int logicalWidth) const;
    void FillRect(QPoint a, QPoint b, QRgb colour);
    void DrawBackdrop(const QImage& picture);
    void DrawDeclinationCircles(double latitude);
    void DrawTrails(const TrackRecordCache& track, int trailMode, SignalRange previous);
    void DrawOutline(const TrackRecordCache& track);
    void DrawColourKey(const SignalRange& range, bool showUntracked);

    QPainter& m_painter;
    QSize m_size;
    QTransform m_mapping;
    double m_scale;
    QFont m_font;
    QRgb m_textColour = qRgb(0, 0, 0);
    TextAlign m_textAlign = TextAlign::LeftBaseline;
    bool m_opaqueText = false;
};
