#include "displays/GraphLayout.h"

#include <algorithm>
#include <cmath>

namespace {

// Logical coordinates stay well inside what an int and the painter can take.
constexpr double kCoordinateLimit = 1e6;
constexpr double kEqualLimits = 1e-15;
constexpr int kLogChannel = 3;
constexpr double kLogScaleTop = 0.000432;
constexpr double kLogScaleBottom = 1e-7;

int ClampedCoordinate(double y) {
    return static_cast<int>(std::clamp(y, -kCoordinateLimit, kCoordinateLimit));
}

} // namespace

BandLines LayoutBands(const std::array<bool, kGraphChannels>& plot,
                      const std::array<int, kTraceBands>& proportion) {
    BandLines lines;
    std::array<bool, kTraceBands> used{};
    std::array<long long, kTraceBands> share{};
    long long total = 0;
    int usedCount = 0;
    for (int band = 0; band < kTraceBands; ++band) {
        used[band] = plot[band] || plot[band + kTraceBands];
        if (used[band]) {
            share[band] = proportion[band];
            total += share[band];
            ++usedCount;
        }
    }
    if (total <= 0) {
        for (int band = 0; band < kTraceBands; ++band)
            share[band] = used[band] ? 1 : 0;
        total = usedCount;
    }
    long long y = kPlotTop;
    for (int band = 0; band < kTraceBands; ++band) {
        if (!used[band])
            continue;
        const int top = static_cast<int>(y - kBandInset);
        y -= share[band] * (kPlotTop - kPlotBottom) / total;
        const int bottom = static_cast<int>(y + kBandInset);
        for (int channel : {band, band + kTraceBands}) {
            lines.top[channel] = top;
            lines.bottom[channel] = bottom;
        }
    }
    return lines;
}

ChannelScale InitialScale(bool holdMin, bool holdMax, double settingMin, double settingMax) {
    ChannelScale scale;
    if (std::fabs(settingMax - settingMin) >= kEqualLimits) {
        if (holdMax)
            scale.max = settingMax;
        if (holdMin)
            scale.min = settingMin;
    } else if (holdMin || holdMax) {
        scale.max = settingMax;
        scale.min = -settingMax;
    }
    return scale;
}

void UpdateScale(ChannelScale& scale, double v, double x, bool bothTraces, bool holdMin, bool holdMax,
                 double settingMin, double settingMax) {
    if (!holdMin) {
        if (v > kNoValue && v < scale.min)
            scale.min = v;
        if (bothTraces && x < scale.min)
            scale.min = x;
    }
    if (!holdMax) {
        if (v > kNoValue && v > scale.max)
            scale.max = v;
        if (bothTraces && x > scale.max)
            scale.max = x;
    }
    if (std::fabs(settingMax - settingMin) < kEqualLimits && !(holdMin && holdMax)) {
        if (scale.max > -scale.min)
            scale.min = -scale.max;
        if (-scale.min > scale.max)
            scale.max = -scale.min;
    }
}

bool UsesLogScale(int channel, int receiverType, const QString& label, bool holdMin, bool holdMax,
                  double settingMin, double settingMax, double magnification, double offset) {
    return channel == kLogChannel && receiverType == 0 && label.contains(QStringLiteral("PU")) && holdMin &&
           holdMax && settingMax == kLogScaleTop && settingMin == kLogScaleBottom && magnification == 1.0 &&
           offset == 0.0;
}

COLORREF LightColour(COLORREF colour) {
    const auto light = [](int component) { return std::min(255, component * 7 / 4); };
    return RGB(light(GetRValue(colour)), light(GetGValue(colour)), light(GetBValue(colour)));
}

int TimeToX(std::uint64_t time, std::uint64_t earliest, std::uint64_t latest) {
    if (latest <= earliest)
        return kPlotLeft;
    const unsigned __int128 offset = time >= earliest ? time - earliest : 0;
    const auto scaled = static_cast<std::uint64_t>(offset * kPlotWidth / (latest - earliest));
    return static_cast<int>(std::min<std::uint64_t>(scaled, 2 * kPlotWidth)) + kPlotLeft;
}

bool ValueToY(double v, const ChannelScale& scale, int top, int bottom, bool logScale, int& y) {
    double position = 0.0;
    if (logScale) {
        if (!(v > 0.0) || !(scale.min > 0.0) || !(scale.max > 0.0))
            return false; // no logarithm: a gap
        position = (std::log(v) - std::log(scale.min)) * (top - bottom) /
                   (std::log(scale.max) - std::log(scale.min));
    } else {
        position = (v - scale.min) * (top - bottom) / (scale.max - scale.min);
    }
    position += bottom;
    if (std::isnan(position))
        return false;
    y = ClampedCoordinate(position);
    return true;
}

double YToValue(int y, const ChannelScale& scale, int top, int bottom, bool logScale) {
    const double height = top - bottom;
    if (logScale)
        return std::exp((y - bottom) * (std::log(scale.max) - std::log(scale.min)) / height +
                        std::log(scale.min));
    return (y - bottom) * (scale.max - scale.min) / height + scale.min;
}

int ZeroLineY(const ChannelScale& scale, int top, int bottom) {
    const double position = (top - bottom) * (0.0 - scale.min) / (scale.max - scale.min) + bottom;
    return std::isnan(position) ? bottom : ClampedCoordinate(position);
}

QString TimeSpanText(std::uint64_t seconds) {
    const double d = static_cast<double>(seconds);
    if (seconds <= 60)
        return QString::asprintf("%3.2f secs", d);
    if (seconds <= 3600)
        return QString::asprintf("%3.2f mins", d / 60);
    return QString::asprintf("%3.2f hrs", d / 3600);
}
