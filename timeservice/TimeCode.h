#pragma once
// The receivers' time codes: which form a reply takes for each receiver family, its fields, and
// the corrections (fine delay, leap seconds, time zone) that turn it into the UTC time to set.
#include "timeservice/NtpTime.h"

#include <QString>
#include <cstdint>

enum class TimeCodeForm { None, Jackson, Datum, Uccm, F1, F2 };

enum class TimeCodeOutcome {
    Ignored,   // not a time code of this family: no message
    Truncated, // shorter than the form's minimum
    Malformed, // F1 seconds out of range
    Invalid,   // a field out of range: the clock must not be set from it
    Ok,
};

struct TimeCodeCorrections {
    int fineMs = 0;      // added to every form
    int leapSeconds = 0; // subtracted from UCCM codes
};

struct TimeCodeResult {
    TimeCodeForm form = TimeCodeForm::None;
    TimeCodeOutcome outcome = TimeCodeOutcome::Ignored;
    SystemTime time;                // corrected, when the outcome is Ok
    SystemTime received;            // the receiver's own date and time, as read
    std::int64_t rolloverWeeks = 0; // weeks added for a GPS week rollover
};

// Parses a time code of a receiver family (0 to 4) and applies the corrections. A receiver date
// earlier than the release date is a GPS week rollover: whole periods of 1024 weeks are added
// until it is not (before the corrections).
TimeCodeResult ParseTimeCode(int receiverType, const QString& code, const TimeCodeCorrections& corrections);

// The diagnostic text of a failed parse ("... truncated", "... malformed", or for an out-of-range
// time the form's "Failed to set system time from ..."); empty for Ignored and Ok.
QString TimeCodeProblem(const TimeCodeResult& result);
// Whether a family's time code names the second about to begin (Hewlett Packard, Jackson Labs,
// UCCM), so that the code standing before the reported time changes names the second just begun.
// The Datum 2000's code names the moment of its answer, to the millisecond, and the Proteus frame
// the second in progress: for them the code after the change is the one that names it.
bool TimeCodeNamesComingSecond(int receiverType);

// The line that tells of a rollover the parse made up for; empty when there was none.
QString RolloverMessage(const TimeCodeResult& result);
// "Failed to set system time from <form>".
QString FailedToSetMessage(TimeCodeForm form);

// "%02d/%02d/%04d %02d:%02d:%02d": day, month, year, hour, minute, second.
QString FormatShownTime(const SystemTime& time);

// GPS seconds in text (hexadecimal, decimal for the Proteus family) as seconds since 1970, or 0
// when they lie outside 1990-01-10 .. 2035-01-30. No leap seconds are applied.
std::int64_t HexSecondsToDate(const QString& digits, bool proteus);

// Rewrites each "H" followed by eight digits of valid GPS seconds as a UTC date and time:
// "%d/%m/%y %X" between two ':', else "<%d/%m/%y %X>".
QString DeHexTimeStamps(const QString& text, bool proteus);
