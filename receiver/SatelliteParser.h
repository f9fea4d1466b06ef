#pragma once
// The satellites of a receiver's answer into the 24-slot satellite table. The Datum 2000 answers
// its satellite request with "SAT: " records; every other family has a table in its status
// screen, with a "PRN " header and rows of up to two satellites (tracked, then not tracked).
#include "receiver/SatInfo.h"

#include <QString>
#include <array>

// The view's satellite table, filled in place.
struct SatelliteTable {
    std::array<CSatInfo, kSatelliteSlots>& sats;
    std::array<QString, kSatelliteSlots>& extra; // table families: the rest of a tracked row
    int& satsInReply;                            // satellites stored from the answer
};

enum class SatelliteAnswerEnd {
    Ignored,  // empty answer: nothing changed
    Normal,   // the table was read; the count is valid
    WipedOut, // no usable table: every slot was emptied
};

struct SatelliteAnswerResult {
    SatelliteAnswerEnd end = SatelliteAnswerEnd::Ignored;
    // A satellite number, elevation or azimuth changed (or, in the table form, a satellite moved
    // from tracked to not tracked): the sky map must be redrawn and a snapshot may be due.
    bool changed = false;
};

SatelliteAnswerResult ParseSatelliteAnswer(const QString& text, int receiverType, SatelliteTable table);
