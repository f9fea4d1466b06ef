#include "receiver/FamilyDefaults.h"

#include "app/Globals.h"

#include <cassert>

namespace {

struct FamilySettings {
    int baud;
    BYTE parity; // 0 none, 1 odd
    BYTE dataBits;
    BYTE pacing; // 0 none, 2 RTS/CTS
    bool initZ3816A;
    bool deHex;
    bool deQueue;
    bool flashLed;
    int fineCorrection; // ms
    // Graph channels 0 to 3.
    std::array<const char16_t*, 4> labels;
    std::array<bool, 4> plotted;
    double thirdMin; // channel 2
    double thirdMax;
    bool thirdHoldMin;
    bool thirdHoldMax;
    bool fourthHoldMin; // channel 3
    int tiFilterMode;   // channel 1
    double tiFilterCoeff;
    std::array<int, kTraceBands> bandHeights;
};

// Indexed by the receiver family. The Hewlett Packard channel 2 values (both holds on, 1e-7 to
// 0.000432, no magnification or offset) are what makes the graph draw it on a logarithmic scale.
const std::array<FamilySettings, kReceiverFamilies> kFamilySettings = {{
    // Hewlett Packard
    {.baud = 19200,
     .parity = 1,
     .dataBits = 7,
     .pacing = 0,
     .initZ3816A = true,
     .deHex = true,
     .deQueue = true,
     .flashLed = true,
     .fineCorrection = 90,
     .labels = {u"EFC ", u"TI", u"PU", u"Sats"},
     .plotted = {true, true, true, true},
     .thirdMin = 1e-7,
     .thirdMax = 0.000432,
     .thirdHoldMin = true,
     .thirdHoldMax = true,
     .fourthHoldMin = true,
     .tiFilterMode = 2,
     .tiFilterCoeff = 0.025,
     .bandHeights = {29, 29, 29, 13}},
    // Datum 2000
    {.baud = 9600,
     .parity = 0,
     .dataBits = 8,
     .pacing = 2,
     .initZ3816A = false,
     .deHex = false,
     .deQueue = true,
     .flashLed = false,
     .fineCorrection = 90,
     .labels = {u"EFC ", u"TI", u"Sats", u""},
     .plotted = {true, true, true, false},
     .thirdMin = 0.0,
     .thirdMax = 6.0,
     .thirdHoldMin = true,
     .thirdHoldMax = true,
     .fourthHoldMin = false,
     .tiFilterMode = 0,
     .tiFilterCoeff = 0.0025,
     .bandHeights = {29, 29, 13, 29}},
    // NavSymm Proteus
    {.baud = 9600,
     .parity = 1,
     .dataBits = 8,
     .pacing = 0,
     .initZ3816A = false,
     .deHex = false,
     .deQueue = false,
     .flashLed = false,
     .fineCorrection = 90,
     .labels = {u"EFC ", u"TI", u"20 MHz", u"Sats"},
     .plotted = {true, true, true, true},
     .thirdMin = -0.002,
     .thirdMax = 0.002,
     .thirdHoldMin = true,
     .thirdHoldMax = true,
     .fourthHoldMin = true,
     .tiFilterMode = 2,
     .tiFilterCoeff = 0.025,
     .bandHeights = {29, 29, 29, 13}},
    // Jackson Labs
    {.baud = 115200,
     .parity = 0,
     .dataBits = 8,
     .pacing = 0,
     .initZ3816A = false,
     .deHex = true,
     .deQueue = false,
     .flashLed = false,
     .fineCorrection = 90,
     .labels = {u"EFC ", u"TI", u"\u00B0C", u"Sats"},
     .plotted = {true, true, true, true},
     .thirdMin = -50.0,
     .thirdMax = 100.0,
     .thirdHoldMin = false,
     .thirdHoldMax = false,
     .fourthHoldMin = true,
     .tiFilterMode = 2,
     .tiFilterCoeff = 0.025,
     .bandHeights = {29, 29, 29, 13}},
    // UCCM
    {.baud = 57600,
     .parity = 0,
     .dataBits = 8,
     .pacing = 0,
     .initZ3816A = false,
     .deHex = false,
     .deQueue = false,
     .flashLed = false,
     .fineCorrection = -150,
     .labels = {u"EFC ", u"TI", u"Temp cor", u"Sats"},
     .plotted = {true, true, true, true},
     .thirdMin = -1e-7,
     .thirdMax = 1e-7,
     .thirdHoldMin = false,
     .thirdHoldMax = false,
     .fourthHoldMin = true,
     .tiFilterMode = 2,
     .tiFilterCoeff = 0.025,
     .bandHeights = {29, 29, 29, 13}},
}};

// The time-interval channel gets the same minimum and maximum in every family: the graph reads
// equal extents as a range centred on zero, so locking them holds the TI within +-5e-8.
constexpr double kTiExtent = 5e-8;

} // namespace

void ResetGraphChannelSettings(ViewSettings& settings) {
    settings.m_crTrace = kTraceColourTable;
    settings.m_bPlot.fill(false);
    settings.m_dMagnification.fill(1.0);
    settings.m_dOffset.fill(0.0);
    settings.m_bHoldMin.fill(false);
    settings.m_bHoldMax.fill(false);
    settings.m_dMax.fill(1023.0);
    settings.m_dMin.fill(0.0);
    settings.m_strLabel.fill(QString());
    settings.m_nFilterMode.fill(0);
    settings.m_nTraceProportion = {29, 29, 29, 13};
    settings.m_dFilterCoeff.fill(0.025);
    settings.m_strAuxRequest.fill(QString());
    settings.m_nAuxTrace.fill(0);
    settings.m_bAllanDeviation.fill(false);
    settings.m_bMean.fill(false);
    settings.m_bStdDev.fill(false);
    settings.m_bBestFit.fill(false);
    settings.m_nPrecision.fill(2);

    settings.m_bCommandEnabled.fill(true);
    settings.m_nPeakSSTrace = 0;
    settings.m_nTroughSSTrace = 0;
    settings.m_bAutoRun = false;
}

void ApplyFamilySettings(ViewSettings& settings, int family) {
    assert(family >= 0 && family < kReceiverFamilies);
    const FamilySettings& f = kFamilySettings[static_cast<std::size_t>(family)];

    settings.m_nBaud = f.baud;
    settings.m_byParity = f.parity;
    settings.m_byStopBits = 0;
    settings.m_byDataBits = f.dataBits;
    settings.m_byPacing = f.pacing;
    settings.m_bInitZ3816A = f.initZ3816A;
    settings.m_bDeHex = f.deHex;
    settings.m_bDeQueue = f.deQueue;
    settings.m_bFlashLED = f.flashLed;
    settings.m_nFineCorrection = f.fineCorrection;

    for (std::size_t i = 0; i < f.labels.size(); ++i) {
        settings.m_strLabel[i] = QString::fromUtf16(f.labels[i]);
        settings.m_bPlot[i] = f.plotted[i];
    }
    settings.m_dMin[1] = kTiExtent;
    settings.m_dMax[1] = kTiExtent;
    settings.m_bHoldMin[1] = false;
    settings.m_bHoldMax[1] = false;
    settings.m_dMin[2] = f.thirdMin;
    settings.m_dMax[2] = f.thirdMax;
    settings.m_bHoldMin[2] = f.thirdHoldMin;
    settings.m_bHoldMax[2] = f.thirdHoldMax;
    settings.m_bHoldMin[3] = f.fourthHoldMin;
    settings.m_bHoldMax[3] = false;
    settings.m_nFilterMode[0] = 0;
    settings.m_nFilterMode[1] = f.tiFilterMode;
    settings.m_dFilterCoeff[1] = f.tiFilterCoeff;
    settings.m_nTraceProportion = f.bandHeights;

    // EFC: Allan deviation, standard deviation and best fit; TI: mean and standard deviation.
    settings.m_bAllanDeviation[0] = true;
    settings.m_bStdDev[0] = true;
    settings.m_bBestFit[0] = true;
    settings.m_bMean[1] = true;
    settings.m_bStdDev[1] = true;
}
