#pragma once
// Receiver profiles: the dialog bar's command list and forty buttons of each receiver family, and
// one set-up of the graph channels, the auxiliary requests and the C/N peak and trough channels.
// A profile is an IniFile: a section per family ("0" to "4") with "Commands", "ButTxt<n>" and
// "ButCmd<n>", and the sections "Graph", "Aux" and "Log" with the keys of the settings store.
#include "app/ViewSettings.h"
#include "app/ViewState.h"
#include "settings/IniFile.h"

using CommandButtons = std::array<ButtonDefinition, kCommandButtons>;

// Room of the values read: the command list keeps at most 5999 characters, other texts 199.
constexpr qsizetype kProfileCommandListRoom = 6000;
constexpr qsizetype kProfileTextRoom = 200;

// Writes the family's section and the graph set-up. Numbers are written as the shortest text that
// reads back as the same value; the settings are left as they are.
void WriteProfile(IniFile& file, int family, const QString& commandList, const CommandButtons& buttons,
                  const ViewSettings& settings);

// The family's command list and buttons; what the file lacks is empty (an absent section empties
// the list and hides every button).
void ReadProfileButtons(const IniFile& file, int family, QString& commandList, CommandButtons& buttons);

// The graph set-up; a key that is missing keeps the current value, as does a number that is not
// finite. Values are brought into the ranges of their Options pages: a graph channel number
// outside 0 to 8 and a filter mode outside 0 to 2 become 0, so that no profile can make the
// program index past its eight channels. The band heights are not read.
void ReadProfileGraph(const IniFile& file, ViewSettings& settings);
