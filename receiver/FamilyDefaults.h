#pragma once
// The family-dependent settings that choosing a receiver family puts in place: serial line, start-up
// and logging flags, and the set-up of graph channels 0 to 3 (the EFC, the time interval, the
// family's third value and the satellite count).
#include "app/ViewSettings.h"

// Puts the eight graph channels, the aux requests, the poll-slot flags, the C/N channels and
// auto-run back to their neutral defaults. The trace colours are reset; custom colours, the graph
// duration and everything else stay as they are.
void ResetGraphChannelSettings(ViewSettings& settings);

// Writes the family's serial line, flags and graph channel values over the neutral defaults.
// family is 0 to 4 (the receiver family).
void ApplyFamilySettings(ViewSettings& settings, int family);
