#pragma once
// Every setting of the main view with its first-run default. The settings store key of each
// member is given beside it (Section/Key); settings/RegistrySettings loads and saves them.
#include <QString>
#include <array>
#include <atomic>
#include <cstdint>

using COLORREF = std::uint32_t; // 0x00BBGGRR
using BYTE = std::uint8_t;
using DWORD = std::uint32_t;
using NtpTimestamp = std::uint64_t; // seconds since 1900 in the high 32 bits, fraction in the low 32

constexpr COLORREF RGB(int r, int g, int b) {
    return static_cast<COLORREF>((r & 0xFF) | ((g & 0xFF) << 8) | ((b & 0xFF) << 16));
}
constexpr int GetRValue(COLORREF c) { return static_cast<int>(c & 0xFF); }
constexpr int GetGValue(COLORREF c) { return static_cast<int>((c >> 8) & 0xFF); }
constexpr int GetBValue(COLORREF c) { return static_cast<int>((c >> 16) & 0xFF); }

constexpr int kGraphChannels = 8;
// Graph channel 2, the time interval: "Lock TI extents" and the export's scale act on it.
constexpr std::size_t kTimeIntervalChannel = 1;
constexpr int kPollSlots = 18;
constexpr int kCustomColours = 16;
constexpr int kTraceBands = 4;
constexpr int kAuxRequests = 8;

// The platform's first two serial ports: the defaults of the receiver's and the auxiliary port.
inline constexpr const char* kDefaultComPorts[2] = {"/dev/ttyS0", "/dev/ttyS1"};

// Default colours of the eight traces (and of custom colours 0 to 7).
inline constexpr std::array<COLORREF, kGraphChannels> kTraceColourTable = {
    RGB(240, 55, 55), RGB(55, 75, 240), RGB(107, 107, 0), RGB(0, 220, 0),
    RGB(140, 140, 30), RGB(0, 200, 80), RGB(200, 65, 65), RGB(80, 80, 200)};

template <typename T, std::size_t N>
constexpr std::array<T, N> Filled(const T& value) {
    std::array<T, N> result{};
    result.fill(value);
    return result;
}

// What the display area shows (Mode/Status).
enum ViewMode : int {
    ViewModeAll = 0,
    ViewModeTime = 1, // the All layout with the time in the big font
    ViewModeMap = 2,
    ViewModeGraph = 3,
    ViewModeStatus = 4,
};

struct ViewSettings {
    // Upgrade/URL1: kept and saved only.
    QString m_strUrl1 = QStringLiteral("https://www.example.org/orvane/");
    int m_nRemoteInterval = 1000; // Remote/Interval, ms

    // Fonts
    QString m_strSmallStatusFace = QStringLiteral("Courier New"); // Fonts/SmallStatusFace
    int m_nSmallStatusHeight = 12;                                  // Fonts/SmallStatusHeight
    int m_nSmallStatusWidth = 5;                                    // Fonts/SmallStatusWidth
    bool m_bLargeUserFont = false;                                  // Fonts/LargeUserFont

    // SNTP service and clock setting. The SNTP thread reads these while the user-interface
    // thread may write them, hence atomics.
    std::atomic<int> m_nLeapCorrection{0};         // SNTP/LeapCorrection, s
    std::atomic<bool> m_bSntpEnabled{false};       // SNTP/Enabled
    std::atomic<int> m_nSntpPort{123};             // SNTP/Port
    std::atomic<int> m_nSntpInterval{20};          // SNTP/Interval, ms
    std::atomic<int> m_nSntpUnreliableAfter{86400}; // SNTP/UnreliableAfter, s
    int m_nFineCorrection = 90;                    // SNTP/FineCorrection, ms
    std::atomic<NtpTimestamp> m_ntpLastCorrected{0}; // SNTP/LastCorrectedS (high) and LastCorrectedF (low)

    // FTP upload and export intervals
    QString m_strFtpServer = QStringLiteral("ftp.example.com"); // FTP/ServerName
    QString m_strFtpAdditionalFiles;                            // FTP/AdditionalFiles
    QString m_strFtpAccount = QStringLiteral("MyAccount");     // FTP/Account
    QString m_strFtpPassword = QStringLiteral("FENWORTH");     // FTP/Password
    QString m_strFtpDirectory = QStringLiteral("mydirectory"); // FTP/Directory
    int m_nFtpInterval = 0;                                     // FTP/Interval, ms
    int m_nExportInterval = 0;                                  // Export/Interval, ms
    int m_nFtpTimeout = 30;                                     // FTP/Timeout, s
    bool m_bFtpPassive = false;                                 // FTP/Passive

    int m_nGraphDuration = 1440; // Graph/Duration, min

    // Mode
    int m_nViewMode = 0;          // Mode/Status, a ViewMode: 0 All, 1 Time, 2 Map, 3 Graph, 4 Status
    bool m_bComsDebug = false;    // Mode/ComsDebug
    bool m_bVerboseDebug = false; // Mode/VerboseDebug
    bool m_bFtpDebug = false;     // Mode/FTPDebug
    bool m_bBeepOnError = true;   // Mode/BeepOnError
    bool m_bFlashLED = false;     // Mode/FlashLED

    // Timing
    int m_nRetries = 150;        // Time/Retries, poll ticks
    bool m_bAutoLeaps = true;    // Time/AutoLeaps
    int m_nTimeInterval = 0;     // Time/Interval, ms
    int m_nTimerValue = 60;      // Timer/Value, ms
    int m_nFastTimerValue = 20;  // FastTimer/Value, ms

    // Map, files and diagnostics
    QString m_strImageFileType = QStringLiteral("png"); // Map/ImageFileType
    QString m_strMapPath;                               // Map/Path
    bool m_bMapBackdrop = false;                        // Map/Backdrop
    bool m_bIdentSats = true;                           // Map/Ident
    QString m_strDumpPath;                              // Dump/Path
    QString m_strProfilePath;                           // Profile/Path
    QString m_strDebugPath;                             // Debug/Path
    bool m_bDebugEnable = false;                        // Debug/Enable
    QString m_strHtmlPath;                              // Status/Path
    QString m_strUserPath;                              // User/Path
    bool m_bUserToFile = false;                         // User/ToFile

    // Receiver port. The line settings are preset to the Jackson Labs family's values, so that a
    // store without these keys still opens the port sanely.
    QString m_strComPort;   // Port/ComPort
    int m_nBaud = 115200;   // Port/Baud
    BYTE m_byParity = 0;    // Port/Parity: 0 none, 1 odd, 2 even, 3 mark, 4 space
    BYTE m_byStopBits = 0;  // Port/StopBits: 0 one, 1 one and a half, 2 two
    BYTE m_byDataBits = 8;  // Port/DataBits
    BYTE m_byPacing = 0;    // Port/Pacing: 0 none, 1 XON/XOFF, 2 RTS/CTS

    // Auxiliary port
    QString m_strComPort2;                          // Port2/ComPort
    QString m_strOKPrompt;                          // Port2/OKPrompt
    QString m_strRequestPrefix = QStringLiteral("~"); // Port2/RequestPrefix
    int m_nBaud2 = 19200;                           // Port2/Baud
    BYTE m_byParity2 = 1;                           // Port2/Parity
    BYTE m_byStopBits2 = 0;                         // Port2/StopBits
    BYTE m_byDataBits2 = 7;                         // Port2/DataBits
    BYTE m_byPacing2 = 0;                           // Port2/Pacing
    bool m_bPort2Enabled = false;                   // Port2/Port2Enabled

    // Graph channels, poll slots and colours
    std::array<COLORREF, kCustomColours> m_crCustom{};   // Graph/CustomColorC0..15
    std::array<bool, kPollSlots> m_bCommandEnabled = Filled<bool, kPollSlots>(true);    // Graph/CommandEnabledC0..17
    std::array<bool, kGraphChannels> m_bPlot{};          // Graph/PlotC0..7
    std::array<QString, kGraphChannels> m_strLabel;      // Graph/LabelC0..7
    std::array<bool, kGraphChannels> m_bHoldMin{};       // Graph/HoldC0..7
    std::array<int, kGraphChannels> m_nPrecision = Filled<int, kGraphChannels>(2);      // Graph/PrecisionC0..7
    std::array<bool, kGraphChannels> m_bHoldMax{};       // Graph/HoldMaxC0..7
    std::array<int, kGraphChannels> m_nFilterMode{};     // Graph/FilterEnableC0..7: 0 raw, 1 filtered, 2 both
    std::array<int, kTraceBands> m_nTraceProportion{29, 29, 29, 13};   // Graph/TraceProportionC0..3
    std::array<bool, kGraphChannels> m_bAllanDeviation{}; // Graph/AllenDeviationC0..7
    std::array<bool, kGraphChannels> m_bMean{};          // Graph/MeanC0..7
    std::array<bool, kGraphChannels> m_bStdDev{};        // Graph/StandardDeviationC0..7
    std::array<bool, kGraphChannels> m_bBestFit{};       // Graph/BestFitC0..7
    std::array<COLORREF, kGraphChannels> m_crTrace = kTraceColourTable;    // Graph/TraceColor0..7
    std::array<double, kGraphChannels> m_dMax = Filled<double, kGraphChannels>(1023.0);         // Graph/MaxC0..7
    std::array<double, kGraphChannels> m_dMin{};         // Graph/MinC0..7
    std::array<double, kGraphChannels> m_dOffset{};      // Graph/OffsetC0..7
    std::array<double, kGraphChannels> m_dMagnification = Filled<double, kGraphChannels>(1.0); // Graph/MagnificationC0..7
    std::array<double, kGraphChannels> m_dFilterCoeff = Filled<double, kGraphChannels>(0.025); // Graph/FilterCoeffC0..7
    std::array<int, kAuxRequests> m_nAuxTrace{};         // Aux/Enabled0..7: channel 1..8, 0 off
    std::array<QString, kAuxRequests> m_strAuxRequest;   // Aux/RequestString0..7

    // Data log and satellites
    int m_nPeakSSTrace = 0;          // Log/PeakSS
    int m_nTroughSSTrace = 0;        // Log/TroughSS
    QString m_strLogPath;            // Log/Path
    bool m_bHtmlStatus = true;       // Log/Status
    int m_nLogMaxSize = 0;           // Log/MaxSize, kB
    bool m_bDeHex = true;            // Log/DeHex
    bool m_bDeQueue = false;         // Log/DeQueue
    int m_nLogInterval = 30000;      // Log/LogInterval, ms
    int m_nStatusInterval = 30000;   // Log/StatusInterval, ms
    int m_nTrailMode = 1;            // Sat/Trail: 0 none, 1 recent, 2 extended
    int m_nTrackMaxSize = 512;       // Sat/MaxFileSize, kB
    int m_nTiExportMax = 0;          // TIScale/ExportMax, ns
    int m_nHtmlImageSize = 317;      // HTML/ImageSize, pixels
    bool m_bInitZ3816A = true;       // Initial/InitZ3816A
    bool m_bAutoRun = false;         // Initial/WasRunning

    // Image export
    QString m_strGraphExportPath;    // Graph/ExportPath
    QString m_strMapExportPath;      // Graph/ExportPath2
    int m_nExportWidth = 600;        // Graph/ExportWidth
    int m_nExportHeight = 600;       // Graph/ExportHeight
    bool m_bExportAllGraph = true;   // Graph/ExportAllGraph
    bool m_bKeepAwake = false;       // Initial/KeepAwake
};
