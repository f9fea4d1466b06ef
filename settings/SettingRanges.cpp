#include "settings/SettingRanges.h"

#include "settings/SettingValues.h"

#include <algorithm>
#include <array>
#include <cmath>

using namespace Qt::Literals::StringLiterals;

namespace {

using Outside = SettingRange::Outside;

constexpr SettingRange Ints(QStringView key, double low, double high) {
    return SettingRange{key, low, high};
}
// An interval held in milliseconds and shown in seconds.
constexpr SettingRange Seconds(QStringView key, double low, double high) {
    return SettingRange{key, low, high, 1000, Outside::Clamp, 0, true};
}
// A choice out of a list, or a graph channel number (0 off): anything else takes the fallback.
constexpr SettingRange Choice(QStringView key, double low, double high, double fallback) {
    return SettingRange{key, low, high, 1, Outside::Default, fallback};
}
constexpr SettingRange Doubles(QStringView key, double low, double high) {
    return SettingRange{key, low, high, 1, Outside::Clamp, 0, false, false};
}

// The ranges that the pages validate. A value that a page edits without validating it (the data
// log's and the track file's size limits, whose arrows stop at 10240 kB but whose edits take any
// number) has no range here, so that loading never lowers it.
constexpr std::array kRanges = {
    // Paths and settings
    Seconds(u"Log/LogInterval", 3, 5000),
    Seconds(u"Log/StatusInterval", 3, 5000),
    Ints(u"HTML/ImageSize", 50, 1024),
    Ints(u"Graph/Duration", 0, 1000000),
    Ints(u"Time/Retries", 1, 300),
    Ints(u"Timer/Value", 1, 500),
    // Traces
    Doubles(u"Graph/MagnificationC", 1e-15, 1e15),
    Doubles(u"Graph/OffsetC", -1e15, 1e15),
    Doubles(u"Graph/MinC", -1e15, 1e15),
    Doubles(u"Graph/MaxC", -1e15, 1e15),
    Choice(u"Graph/FilterEnableC", 0, 2, 0),
    Doubles(u"Graph/FilterCoeffC", 1e-15, 0.9999),
    Ints(u"Graph/PrecisionC", 0, 6),
    Ints(u"Graph/TraceProportionC", 10, 70),
    // FTP
    Seconds(u"FTP/Interval", 0, 86400),
    Ints(u"FTP/Timeout", 1, 600),
    // Time services
    Seconds(u"Time/Interval", 0, 500000),
    Ints(u"SNTP/Port", 0, 10000),
    Ints(u"SNTP/Interval", 1, 1000),
    Ints(u"SNTP/UnreliableAfter", 0, 432000),
    Ints(u"SNTP/FineCorrection", -10000, 10000),
    Ints(u"SNTP/LeapCorrection", -100, 100),
    // Auxiliary
    Choice(u"Log/PeakSS", 0, 8, 0),
    Choice(u"Log/TroughSS", 0, 8, 0),
    Choice(u"Aux/Enabled", 0, 8, 0),
    // Export graphics
    Ints(u"Graph/ExportWidth", 100, 4096),
    Ints(u"Graph/ExportHeight", 100, 4096),
    Seconds(u"Export/Interval", 0, kLargestIntervalSeconds),
    Ints(u"TIScale/ExportMax", 0, 10000),
    // Not on a page: the lists of the menus, and the user window's font, whose absurd sizes leave
    // nothing but a scroll bar to see.
    Choice(u"Mode/Status", 0, 4, 0),
    Choice(u"Sat/Trail", 0, 2, 1),
    Ints(u"Fonts/SmallStatusHeight", -100, 100),
    Ints(u"Fonts/SmallStatusWidth", 0, 100),
};

QString NumberText(double value, bool integer) {
    return integer ? QString::number(static_cast<std::int64_t>(value)) : DoubleSettingText(value);
}

} // namespace

std::int64_t SettingRange::Fit(std::int64_t stored) const {
    // The member's value as the count it stands for.
    const std::int64_t value =
        unsignedCount ? static_cast<std::int64_t>(static_cast<std::uint32_t>(stored)) : stored;
    const auto lowest = static_cast<std::int64_t>(low) * unitsPerPageUnit;
    const auto highest = static_cast<std::int64_t>(high) * unitsPerPageUnit;
    std::int64_t fitted = value;
    // A stored interval of 0 switches its duty off: kept, though the page offers no 0.
    const bool intervalOff = unitsPerPageUnit > 1 && value == 0;
    if (!intervalOff && (value < lowest || value > highest))
        fitted = outside == Outside::Clamp ? std::clamp(value, lowest, highest)
                                           : static_cast<std::int64_t>(fallback);
    return unsignedCount ? static_cast<std::int32_t>(static_cast<std::uint32_t>(fitted)) : fitted;
}

double SettingRange::Fit(double stored) const {
    if (stored >= low && stored <= high)
        return stored;
    if (outside == Outside::Default)
        return fallback;
    return std::isnan(stored) ? low : std::clamp(stored, low, high);
}

QString SettingRange::Message() const {
    return QStringLiteral("Please enter %1 between %2 and %3.")
        .arg(integer ? u"an integer"_s : u"a number"_s, NumberText(low, integer), NumberText(high, integer));
}

const SettingRange* RangeOfSetting(QStringView key) {
    // Per-channel keys end in the channel number.
    while (!key.isEmpty() && key.back().isDigit())
        key.chop(1);
    const auto it = std::find_if(kRanges.begin(), kRanges.end(),
                                 [&](const SettingRange& range) { return range.key == key; });
    return it == kRanges.end() ? nullptr : &*it;
}

int FitSetting(QStringView key, int value) {
    const SettingRange* range = RangeOfSetting(key);
    return range ? static_cast<int>(range->Fit(static_cast<std::int64_t>(value))) : value;
}

double FitSetting(QStringView key, double value) {
    const SettingRange* range = RangeOfSetting(key);
    return range ? range->Fit(value) : value;
}
