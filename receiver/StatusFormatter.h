#pragma once
// The status screen of the text window: the receiver's answer to the status request rewritten
// per family, with what the program knows from its other requests added.
#include "receiver/SatInfo.h"

#include <QString>
#include <array>

struct StatusScreenInputs {
    int receiverType = 0;
    bool rawStatus = false; // show the answer as it came
    std::array<CSatInfo, kSatelliteSlots> sats{};
    std::array<QString, kSatelliteSlots> satExtra;
    bool saasmGps = false; // Jackson Labs: the twelve-slot layout with the extra column
    QString identity;
    QString lifeCount;
    QString step3Reply; // error queue, or the jamming level (Jackson Labs)
    QString feeReply;
    QString healthReply;
    QString measReply; // Jackson Labs measurements
    QString efc;       // graph channel 1's value
    QString ti;        // graph channel 2's value
    int leapCorrection = 0;
    double latitude = 0.0;
    double longitude = 0.0;
    double height = 0.0;
};

struct StatusScreen {
    QString text;
    bool saasmGps = false; // may turn on, never off
    QString measReply;     // the measurements as the health line shows them
};

StatusScreen FormatStatusScreen(const QString& raw, const StatusScreenInputs& in);

// The Jackson Labs layout (part of FormatStatusScreen).
StatusScreen FormatJacksonStatus(const QString& raw, const StatusScreenInputs& in);

// Satellites in use, split by whether their signal level is above 0.
struct TrackingCounts {
    int tracked = 0;
    int notTracked = 0;
};
TrackingCounts CountTracking(const std::array<CSatInfo, kSatelliteSlots>& sats);

// "N 37:23:45.678"-style degrees, minutes and seconds: the letter, then "%3d:%02d:%6.3f" of the
// magnitude. The positive letter is used for values above 0.
QString FormatDegreesMinutesSeconds(double value, char positive, char negative);
