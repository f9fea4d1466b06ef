#pragma once
// The ranges that the Options pages validate their settings against, and those of the few other
// settings whose stored value can make the program unusable. One table serves the pages'
// validation, the loading of the settings store and the import of receiver profiles.
#include <QString>
#include <QStringView>
#include <cstdint>
#include <optional>

struct SettingRange {
    // What a value outside the range becomes.
    enum class Outside {
        Clamp,   // the nearer end of the range
        Default, // fallback: a choice out of a list, or a channel number that would index past the channels
    };

    // Section/Key; a per-channel key without its channel number ("Graph/PrecisionC").
    QStringView key;
    // The range in the unit the Options page shows.
    double low = 0;
    double high = 0;
    // Stored units per page unit: 1000 for an interval shown in seconds and held in milliseconds.
    int unitsPerPageUnit = 1;
    Outside outside = Outside::Clamp;
    double fallback = 0;
    // The stored integer is an unsigned 32-bit count (the millisecond intervals, which may exceed
    // 2^31 - 1 ms and are then held as the same 32-bit pattern).
    bool unsignedCount = false;
    // An integer setting (validated as such on the pages).
    bool integer = true;

    // The stored value that a value of the member becomes.
    std::int64_t Fit(std::int64_t stored) const;
    double Fit(double stored) const;
    // Whether a page value lies within the range.
    bool Accepts(double pageValue) const { return pageValue >= low && pageValue <= high; }
    // The page's refusal message for a value outside the range.
    QString Message() const;
};

// The range of a Section/Key (a per-channel key with or without its channel number), or nothing.
const SettingRange* RangeOfSetting(QStringView key);

// An int member's stored value brought into the range of its key; unchanged without a range.
int FitSetting(QStringView key, int value);
double FitSetting(QStringView key, double value);

// The largest export interval in seconds whose milliseconds an unsigned 32-bit count holds.
constexpr double kLargestIntervalSeconds = 4294967;
