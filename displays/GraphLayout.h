#pragma once
// The graph's geometry and scales in its logical coordinates (x and y from -1000 to 1000 in the
// plotting area, y upwards): the bands of the eight channels, the scale of a channel with its
// holds and the symmetric rule, and the mapping of times and values to coordinates. Pure code.
#include "app/ViewSettings.h"

#include <QString>
#include <array>
#include <cstdint>

constexpr double kNoValue = -1e30;                  // an absent sample, an unset filter state
constexpr double kNoScaleTop = -1e30;               // a scale top before any value
constexpr double kNoScaleBottom = 1e30;             // a scale bottom before any value
constexpr double kNoRange = 1e-20;                  // a scale this narrow or less has no range
constexpr std::uint64_t kNoTime = 1000000000000ull; // an open end of the time window
constexpr int kPlotLeft = -1000;
constexpr int kPlotRight = 1000;
constexpr int kPlotTop = 1000;
constexpr int kPlotBottom = -1000;
constexpr int kPlotWidth = 2000;
// Each band is inset this far from its slice of the plotting area.
constexpr int kBandInset = 60;

struct BandLines {
    std::array<int, kGraphChannels> top{};
    std::array<int, kGraphChannels> bottom{};
};

// Band n (1 to 4) is used when channel n or n + 4 is plotted; the used bands share the height in
// proportion, stacked from the top, each inset 60 units. Used bands whose proportions sum to 0 (a
// stored value outside the Options range) share it equally. Unused bands get 0 and 0.
BandLines LayoutBands(const std::array<bool, kGraphChannels>& plot,
                      const std::array<int, kTraceBands>& proportion);

struct ChannelScale {
    double max = kNoScaleTop;
    double min = kNoScaleBottom;
};

// The scale a draw starts from: unset, or the held ends; equal Max and Min (within 1e-15) with
// either hold on ask for plus and minus Max.
ChannelScale InitialScale(bool holdMin, bool holdMax, double settingMin, double settingMax);

// Widens the scale by a sample's plotted value v and raw value x (x counts in the both-traces
// filter mode only), then keeps it symmetric about zero when Max and Min are equal and the two
// holds are not both on.
void UpdateScale(ChannelScale& scale, double v, double x, bool bothTraces, bool holdMin, bool holdMax,
                 double settingMin, double settingMax);

// Whether a channel uses the logarithmic scale of the time-interval plot: channel 3 of a Hewlett
// Packard receiver labelled with "PU", held at 1e-7 to 0.000432, unscaled.
bool UsesLogScale(int channel, int receiverType, const QString& label, bool holdMin, bool holdMax,
                  double settingMin, double settingMax, double magnification, double offset);

// The trace's light colour: each component times 7/4, at most 255.
COLORREF LightColour(COLORREF colour);

// x of a time in the window [earliest, latest]: -1000 to 1000; -1000 when the window has no width.
int TimeToX(std::uint64_t time, std::uint64_t earliest, std::uint64_t latest);

// y of a value on a band's scale (linear or logarithmic), cut toward zero; empty (a gap) when it
// has no finite position. Positions far outside the band are clamped to a safe range.
bool ValueToY(double v, const ChannelScale& scale, int top, int bottom, bool logScale, int& y);

// The value at y of a band's scale: ValueToY's mapping turned round, logarithmic on the
// logarithmic scale. The band must have height and, on the logarithmic scale, both ends above 0.
double YToValue(int y, const ChannelScale& scale, int top, int bottom, bool logScale);

// The zero line's y (the linear formula, also on the logarithmic scale), clamped like ValueToY.
int ZeroLineY(const ChannelScale& scale, int top, int bottom);

// The span of the time axis: "%3.2f secs", "mins" or "hrs".
QString TimeSpanText(std::uint64_t seconds);
