#pragma once
// Whether and where each output goes that the settings can switch off or point elsewhere: a change
// ends that output's failures, which were of a place it no longer writes to.
#include "app/SaidOnceFailures.h"
#include "app/ViewSettings.h"

#include <QList>
#include <QStringList>
#include <map>

// Each such output's place: the settings that say where it goes, none while it is off.
using OutputPlaces = std::map<ReportedOutput, QStringList>;
OutputPlaces PlacesOfOutputs(const ViewSettings& settings);
// The outputs whose place is not the same in `after` as in `before`.
QList<ReportedOutput> MovedOutputs(const OutputPlaces& before, const OutputPlaces& after);
