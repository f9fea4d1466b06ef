#pragma once
// Process-wide values shared by the view, its windows and the publishing code.
#include <QString>

extern QString g_strWindowTitle;  // the main window's title, also the tray icon's tip
extern const QString g_strSeparators; // tab, space, comma, semicolon: the data-log tokeniser's separators
extern QString g_strVersion;      // the version text, built once

// The receiver family: 0 Hewlett Packard, 1 Datum 2000, 2 NavSymm Proteus, 3 Jackson Labs, 4 UCCM.
// -1 until settings are loaded; start-up turns any value outside 0 to 4 into 3.
extern int g_nReceiverType;
extern bool g_bUseBitmap;        // Graph/Bitmaps: graph and map draw into a cached bitmap
extern bool g_bBlitFromDisplay;  // Graph/ImageFileBitmaps: exported images stretched from the display
// The receiver port named on the command line (--port PATH); when set it replaces Port/ComPort.
extern QString g_strPortOverride;

enum ReceiverFamily {
    RECEIVER_HP = 0,
    RECEIVER_DATUM = 1,
    RECEIVER_PROTEUS = 2,
    RECEIVER_JACKSON = 3,
    RECEIVER_UCCM = 4,
};
constexpr int kReceiverFamilies = 5;

// The product's name, as it appears in titles and the data folder.
inline const QString kProductName = QStringLiteral("Orvane");
