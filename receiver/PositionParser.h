#pragma once
// The antenna position in a receiver's answer: latitude and longitude in degrees (north and east
// positive) and the height as the receiver gives it.
#include <QString>
#include <cstdint>
#include <optional>

struct PositionFields {
    std::optional<double> latitude;
    std::optional<double> longitude;
    std::optional<double> height;
};

// Reads what the answer holds of the position; a field that is missing stays empty. The Datum
// 2000 answers three fixed-layout "POS:" records; every other family has "LAT ", "LON " and
// "HGT " lines with a hemisphere letter and degrees[:minutes[:seconds]].
PositionFields ParsePositionText(const QString& text, int receiverType);

// Once a position is known it is read again on every 100th answer only. Advances the call counter
// and tells whether this answer is to be read.
bool PositionReadDue(std::uint32_t& callCounter, double latitude, double longitude);
