#pragma once
// Building blocks of the text status screens: fixed-width lines and the satellite table that the
// table-form screens share.
#include "simulator/ReceiverModel.h"

#include <QByteArray>
#include <vector>

namespace sim {

// printf into a QByteArray (C locale numbers: the simulator never changes LC_NUMERIC).
QByteArray Format(const char* pattern, ...) __attribute__((format(printf, 1, 2)));

// `text` padded with blanks to `width` characters (longer text is kept whole).
QByteArray Padded(const QByteArray& text, int width);

// Lines joined, each ended by CR LF.
QByteArray JoinLines(const std::vector<QByteArray>& lines);

// The satellite table: a line with the tracked and untracked counts, a header naming each column
// with "PRN ", then one row per pair: a tracked satellite (number, elevation, azimuth, C/N) on the
// left and one that is not tracked (number, elevation, azimuth) on the right. Rows are at least
// `minRows`; rows past the satellites are blank in both columns, and there is always at least one
// such row, which ends the table for a reader. `margins` holds text set at column 46 beside the
// count line, the header and the rows, in that order (missing entries: none).
std::vector<QByteArray> SkyTableLines(const std::vector<SimSatellite>& sky, int minRows,
                                      const std::vector<QByteArray>& margins = {});

// A position as "N 47:22:36.120" or "E   8:32:27.600": hemisphere, degrees, minutes, seconds.
QByteArray Sexagesimal(double degrees, char positive, char negative, int degreeWidth);

// The three-letter English month name (1 to 12).
const char* MonthName(int month);

} // namespace sim
