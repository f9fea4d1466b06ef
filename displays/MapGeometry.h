#pragma once
// The sky map's geometry: the polar projection, the mapping of its logical square onto a picture,
// and the texts of the position and the mouse read-out.
#include "receiver/SatInfo.h"

#include <QPoint>
#include <QSize>
#include <QString>
#include <QTransform>
#include <array>

// The angle conversions use this value of pi, not a more precise one.
constexpr double kMapPi = 3.14159265359;
constexpr double kDegrees = kMapPi / 180.0;

// Logical radius of the horizon, and of the read-out's outer limit.
constexpr int kHorizonRadius = 1000;
constexpr int kReadOutRadius = 1050;

double ElevationToRadius(double elevation);
double RadiusToElevation(double radius);
// The logical point of a direction: x = r sin(azimuth), y = r cos(azimuth), r = 1000 cos(elevation),
// each truncated toward zero.
QPoint SkyPoint(double elevation, double azimuth);

// Logical to picture pixels for a picture of `size`: the square from -1060 to 1059 in both axes
// fills the shorter side, anchored at the top left, y growing upward. `pixelAspect` is the
// picture's dots per inch across divided by down (1 for square pixels).
QTransform MapMapping(QSize size, double pixelAspect = 1.0);
// Picture pixels per logical unit, vertically.
double MapScale(const QTransform& mapping);

// The three lines of the antenna position: latitude, longitude, height.
std::array<QString, 3> PositionLines(double latitude, double longitude, double height);

// The read-out for a logical point: elevation and azimuth, with the first satellite of the table
// within 2 degrees; empty beyond radius 1050.
QString ReadOutText(QPointF logical, const std::array<CSatInfo, kSatelliteSlots>& sats);
