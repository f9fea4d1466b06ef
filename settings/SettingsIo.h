#pragma once
// Loading and saving the view's settings and the three process-wide ones from and to a settings
// tree: every Section/Key in one table, read and written in the same order.
#include "app/ViewSettings.h"
#include "settings/SettingsTree.h"

// The settings kept outside the view (app/Globals.h).
struct ProcessSettings {
    int receiverType = -1;        // Receiver/Type
    bool useBitmap = true;        // Graph/Bitmaps
    bool blitFromDisplay = false; // Graph/ImageFileBitmaps
};

// What the version keys of a loaded tree say.
struct StoredVersions {
    // Version/RegVersion missing, malformed or below 2: the tree was written by an older version
    // (or this is the first run), so start-up applies the receiver family's defaults.
    bool oldRegVersion = false;
    // Version/LogVersion present and below 2: the data log has an older layout and is deleted.
    // A tree without the key says nothing about the log, so nothing is deleted then.
    bool oldLogVersion = false;
};

// The version the program writes into both version keys.
constexpr int kSettingsVersion = 2;

// Reads every setting; a value that is missing, malformed or of another kind leaves the member
// as it is (its default); a value outside its range (settings/SettingRanges.h) is brought into it.
// Map/ImageFileType is lower-cased.
StoredVersions LoadViewSettings(const SettingsTree& tree, ViewSettings& view, ProcessSettings& process);

// Writes the version keys and every setting. Nothing is deleted.
void SaveViewSettings(SettingsTree& tree, const ViewSettings& view, const ProcessSettings& process);
