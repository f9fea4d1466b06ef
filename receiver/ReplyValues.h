#pragma once
// Pure rules that turn receiver answers into graph channel values and start-up values.
#include "receiver/SatInfo.h"

#include <QString>
#include <array>
#include <optional>

// Datum 2000 EFC: the answer without its first five characters, cut at the first space after
// its start, trimmed.
QString DatumEfcValue(const QString& answer);

// The time interval: the answer in capitals; for Datum 2000 the number between "RPD: " and its
// two following words and "PHASE".
QString TimeIntervalValue(int family, const QString& answer);

// The answer before its last comma (the whole answer without a comma).
QString LastCommaValue(const QString& answer);

// UCCM temperature: the text after "temp cor  = ", else the last word when it is a number, else
// the previous value.
QString UccmTemperatureValue(const QString& answer, const QString& previous);

// The highest (peak) or lowest signal level of the satellites in use, as "%g"; empty when none.
QString PeakTroughLevel(const std::array<CSatInfo, kSatelliteSlots>& sats, bool peak);

// A leap-second answer: only one longer than 8 characters counts; the echoed command is dropped
// from its start when the answer holds it; then the first `digits` characters are read as an
// unsigned decimal number. 0 when nothing usable.
int LeapSecondsFromAnswer(const QString& answer, const QString& command, int digits);

// UCCM leap seconds from the time-of-day messages collected so far: the first complete line
// (between a line end and CR LF) of at least 98 characters gives the two hexadecimal digits at
// index 96. nullopt while no such line has arrived; 0 when the line holds no value in 1 to 99.
std::optional<int> UccmLeapSecondsFromMessages(const QString& messages);
