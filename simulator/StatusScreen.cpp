#include "simulator/StatusScreen.h"

#include <cmath>
#include <cstdarg>
#include <cstdio>

namespace sim {

QByteArray Format(const char* pattern, ...) {
    va_list args;
    va_start(args, pattern);
    va_list copy;
    va_copy(copy, args);
    const int length = std::vsnprintf(nullptr, 0, pattern, copy);
    va_end(copy);
    QByteArray text(length > 0 ? length : 0, '\0');
    if (length > 0)
        std::vsnprintf(text.data(), static_cast<std::size_t>(length) + 1, pattern, args);
    va_end(args);
    return text;
}

QByteArray Padded(const QByteArray& text, int width) {
    return text.size() >= width ? text : text + QByteArray(width - text.size(), ' ');
}

QByteArray JoinLines(const std::vector<QByteArray>& lines) {
    QByteArray text;
    for (const QByteArray& line : lines)
        text += line + "\r\n";
    return text;
}

namespace {
constexpr int kRightColumn = 19;
constexpr int kMarginColumn = 46;
constexpr int kLeftCellWidth = 16;  // "PRN  El  Az  C/N"
constexpr int kRightCellWidth = 11; // "PRN  El  Az"
} // namespace

std::vector<QByteArray> SkyTableLines(const std::vector<SimSatellite>& sky, int minRows,
                                      const std::vector<QByteArray>& margins) {
    std::vector<const SimSatellite*> tracked;
    std::vector<const SimSatellite*> untracked;
    for (const SimSatellite& sat : sky)
        (sat.tracked ? tracked : untracked).push_back(&sat);

    std::vector<QByteArray> lines;
    lines.push_back(Format("Tracking: %2d ____________  Not Tracking: %2d", static_cast<int>(tracked.size()),
                           static_cast<int>(untracked.size())));
    lines.push_back(Padded("PRN  El  Az  C/N", kRightColumn) + "PRN  El  Az");
    const std::size_t satelliteRows = std::max(tracked.size(), untracked.size());
    const std::size_t rows = std::max(satelliteRows + 1, static_cast<std::size_t>(minRows));
    for (std::size_t r = 0; r < rows; ++r) {
        QByteArray row;
        if (r < tracked.size()) {
            const SimSatellite& s = *tracked[r];
            row =
                Format("%3d %3d %3d %4d", s.prn, s.elevation, s.azimuth, static_cast<int>(std::lround(s.cn)));
        }
        row = Padded(row, kRightColumn);
        if (r < untracked.size()) {
            const SimSatellite& s = *untracked[r];
            row += Format("%3d %3d %3d", s.prn, s.elevation, s.azimuth);
        }
        lines.push_back(Padded(row, kRightColumn + kRightCellWidth));
    }
    static_assert(kLeftCellWidth < kRightColumn);
    for (std::size_t i = 0; i < lines.size() && i < margins.size(); ++i) {
        if (!margins[i].isEmpty())
            lines[i] = Padded(lines[i], kMarginColumn) + margins[i];
    }
    return lines;
}

QByteArray Sexagesimal(double degrees, char positive, char negative, int degreeWidth) {
    const char hemisphere = degrees >= 0.0 ? positive : negative;
    const double magnitude = std::fabs(degrees);
    int whole = static_cast<int>(magnitude);
    double minutesAll = (magnitude - whole) * 60.0;
    int minutes = static_cast<int>(minutesAll);
    double seconds = (minutesAll - minutes) * 60.0;
    if (seconds >= 59.9995) {
        seconds = 0.0;
        if (++minutes == 60) {
            minutes = 0;
            ++whole;
        }
    }
    return Format("%c %*d:%02d:%06.3f", hemisphere, degreeWidth, whole, minutes, seconds);
}

const char* MonthName(int month) {
    static const char* const kNames[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    return month >= 1 && month <= 12 ? kNames[month - 1] : "???";
}

} // namespace sim
