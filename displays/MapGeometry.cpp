#include "displays/MapGeometry.h"

#include "receiver/SatInfo.h"

#include <cmath>

namespace {
// The logical square: origin at its top-left corner, 2120 units across.
constexpr int kWindowLeft = -1060;
constexpr int kWindowTop = 1059;
constexpr int kWindowExtent = 2120;

// "N%3d:%02d:%6.3f" and the like: whole degrees, minutes, seconds of a magnitude.
QString DegreesMinutesSeconds(QChar hemisphere, double value) {
    const double v = std::fabs(value);
    const double minutes = std::fmod(v, 1.0) * 60;
    return QString::asprintf("%c%3d:%02d:%6.3f", hemisphere.toLatin1(), static_cast<int>(v),
                             static_cast<int>(minutes), std::fmod(minutes, 1.0) * 60);
}
} // namespace

double ElevationToRadius(double elevation) {
    return kHorizonRadius * std::cos(elevation * kDegrees);
}

double RadiusToElevation(double radius) {
    return std::acos(radius / kHorizonRadius) / kDegrees;
}

QPoint SkyPoint(double elevation, double azimuth) {
    const double r = ElevationToRadius(elevation);
    const double angle = -(azimuth + 90) * kDegrees;
    return {static_cast<int>(-r * std::cos(angle)), static_cast<int>(-r * std::sin(angle))};
}

QTransform MapMapping(QSize size, double pixelAspect) {
    const int w = std::max(1, size.width());
    const int h = std::max(1, size.height());
    const double ratio = (static_cast<double>(w) / h) / pixelAspect;
    double extentX = kWindowExtent;
    double extentY = -kWindowExtent;
    if (ratio > 1)
        extentX = std::trunc(kWindowExtent * ratio);
    else
        extentY = -std::trunc(kWindowExtent / ratio);
    const double sx = (w - 1) / extentX;
    const double sy = (h - 1) / extentY;
    return QTransform(sx, 0, 0, sy, -kWindowLeft * sx, -kWindowTop * sy);
}

double MapScale(const QTransform& mapping) {
    return std::fabs(mapping.m22());
}

std::array<QString, 3> PositionLines(double latitude, double longitude, double height) {
    return {DegreesMinutesSeconds(latitude > 0 ? u'N' : u'S', latitude),
            DegreesMinutesSeconds(longitude > 0 ? u'E' : u'W', longitude),
            QString::asprintf("%+.2f m", height)};
}

QString ReadOutText(QPointF logical, const std::array<CSatInfo, kSatelliteSlots>& sats) {
    const double d = std::hypot(logical.x(), logical.y());
    if (d > kReadOutRadius)
        return {};
    const double elevation = d <= kHorizonRadius ? RadiusToElevation(d) : 0.0;
    double azimuth = 90 - std::atan2(logical.y(), logical.x()) / kDegrees;
    if (azimuth < 0)
        azimuth += 360;
    for (const CSatInfo& sat : sats) {
        if (const int number = sat.HitTest(elevation, azimuth))
            return QString::asprintf("%2.1f %3.1f [%d] %g", elevation, azimuth, number, sat.SignalLevel());
    }
    return QString::asprintf("%2.1f %3.1f", elevation, azimuth);
}
