#pragma once
// The sky map's colours: the signal scale, one colour per satellite number, and the fixed colours.
#include <QRgb>
#include <array>

// The signal scale, weakest (0) to strongest (8).
constexpr int kSignalColourTop = 8;
extern const std::array<QRgb, kSignalColourTop + 1> g_SignalColours;
// One colour per low byte of the satellite number; entry 0 is white, 239 to 255 black.
extern const std::array<QRgb, 256> g_PrnColours;

constexpr QRgb kFrameGrey = qRgb(220, 220, 230);
constexpr QRgb kDeclinationGreen = qRgb(180, 200, 180);
constexpr QRgb kOutlineGreen = qRgb(0, 255, 0);
constexpr QRgb kUntrackedColour = qRgb(64, 64, 20);
constexpr QRgb kLabelGreen = qRgb(0, 127, 0);

// The index into the signal scale of a level within the range (min, max) of the previous drawing:
// 0 when the range is empty; a level outside the range takes the nearer end of the scale.
int SignalColourIndex(double level, double min, double max);
