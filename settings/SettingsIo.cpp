#include "settings/SettingsIo.h"

#include "settings/SettingRanges.h"
#include "settings/SettingValues.h"
#include "settings/SettingsKeys.h"

#include <QSet>

using namespace Qt::Literals::StringLiterals;

namespace {

QString ChannelKey(const QString& pattern, int index) {
    return pattern.arg(index);
}

// Every stored setting, in the order in which it is loaded. Io is the loader or the saver; View
// and Process are the settings, const when saving.
template <typename Io, typename View, typename Process> void VisitSettings(Io& io, View& s, Process& p) {
    io.Int(u"Receiver/Type"_s, p.receiverType);

    io.String(u"Upgrade/URL1"_s, s.m_strUrl1);
    io.Int(u"Remote/Interval"_s, s.m_nRemoteInterval);
    io.String(u"Fonts/SmallStatusFace"_s, s.m_strSmallStatusFace);
    io.Int(u"Fonts/SmallStatusHeight"_s, s.m_nSmallStatusHeight);
    io.Int(u"Fonts/SmallStatusWidth"_s, s.m_nSmallStatusWidth);
    io.Bool(u"Fonts/LargeUserFont"_s, s.m_bLargeUserFont);

    io.Int(u"SNTP/LeapCorrection"_s, s.m_nLeapCorrection);
    io.Bool(u"SNTP/Enabled"_s, s.m_bSntpEnabled);
    io.Int(u"SNTP/Port"_s, s.m_nSntpPort);
    io.Int(u"SNTP/Interval"_s, s.m_nSntpInterval);
    io.Int(u"SNTP/UnreliableAfter"_s, s.m_nSntpUnreliableAfter);
    io.Int(u"SNTP/FineCorrection"_s, s.m_nFineCorrection);
    io.NtpTime(SettingsKey::LastCorrectedSeconds, SettingsKey::LastCorrectedFraction, s.m_ntpLastCorrected);

    io.String(u"FTP/ServerName"_s, s.m_strFtpServer);
    io.String(u"FTP/AdditionalFiles"_s, s.m_strFtpAdditionalFiles);
    io.String(u"FTP/Account"_s, s.m_strFtpAccount);
    io.String(u"FTP/Password"_s, s.m_strFtpPassword);
    io.String(u"FTP/Directory"_s, s.m_strFtpDirectory);
    io.Int(u"FTP/Interval"_s, s.m_nFtpInterval);
    io.Int(u"Export/Interval"_s, s.m_nExportInterval);
    io.Int(u"FTP/Timeout"_s, s.m_nFtpTimeout);
    io.Bool(u"FTP/Passive"_s, s.m_bFtpPassive);

    io.Bool(u"Graph/Bitmaps"_s, p.useBitmap);
    io.Bool(u"Graph/ImageFileBitmaps"_s, p.blitFromDisplay);
    io.Int(u"Graph/Duration"_s, s.m_nGraphDuration);

    io.Int(u"Mode/Status"_s, s.m_nViewMode);
    io.Bool(u"Mode/ComsDebug"_s, s.m_bComsDebug);
    io.Bool(u"Mode/VerboseDebug"_s, s.m_bVerboseDebug);
    io.Bool(u"Mode/FTPDebug"_s, s.m_bFtpDebug);
    io.Bool(u"Mode/BeepOnError"_s, s.m_bBeepOnError);
    io.Bool(u"Mode/FlashLED"_s, s.m_bFlashLED);

    io.Int(u"Time/Retries"_s, s.m_nRetries);
    io.Bool(u"Time/AutoLeaps"_s, s.m_bAutoLeaps);
    io.Int(u"Time/Interval"_s, s.m_nTimeInterval);
    io.Int(u"Timer/Value"_s, s.m_nTimerValue);
    io.Int(u"FastTimer/Value"_s, s.m_nFastTimerValue);

    io.String(u"Map/ImageFileType"_s, s.m_strImageFileType);
    io.String(u"Map/Path"_s, s.m_strMapPath);
    io.Bool(u"Map/Backdrop"_s, s.m_bMapBackdrop);
    io.Bool(u"Map/Ident"_s, s.m_bIdentSats);
    io.String(u"Dump/Path"_s, s.m_strDumpPath);
    io.String(u"Profile/Path"_s, s.m_strProfilePath);
    io.String(u"Debug/Path"_s, s.m_strDebugPath);
    io.Bool(u"Debug/Enable"_s, s.m_bDebugEnable);
    io.String(u"Status/Path"_s, s.m_strHtmlPath);
    io.String(u"User/Path"_s, s.m_strUserPath);
    io.Bool(u"User/ToFile"_s, s.m_bUserToFile);

    io.String(SettingsKey::ComPort, s.m_strComPort);
    io.Int(u"Port/Baud"_s, s.m_nBaud);
    io.Byte(u"Port/Parity"_s, s.m_byParity);
    io.Byte(u"Port/StopBits"_s, s.m_byStopBits);
    io.Byte(u"Port/DataBits"_s, s.m_byDataBits);
    io.Byte(u"Port/Pacing"_s, s.m_byPacing);
    io.String(u"Port2/ComPort"_s, s.m_strComPort2);
    io.String(u"Port2/OKPrompt"_s, s.m_strOKPrompt);
    io.String(u"Port2/RequestPrefix"_s, s.m_strRequestPrefix);
    io.Int(u"Port2/Baud"_s, s.m_nBaud2);
    io.Byte(u"Port2/Parity"_s, s.m_byParity2);
    io.Byte(u"Port2/StopBits"_s, s.m_byStopBits2);
    io.Byte(u"Port2/DataBits"_s, s.m_byDataBits2);
    io.Byte(u"Port2/Pacing"_s, s.m_byPacing2);
    io.Bool(u"Port2/Port2Enabled"_s, s.m_bPort2Enabled);

    for (int i = 0; i < kCustomColours; ++i)
        io.Colour(ChannelKey(u"Graph/CustomColorC%1"_s, i), s.m_crCustom[i]);
    for (int i = 0; i < kPollSlots; ++i)
        io.Bool(ChannelKey(u"Graph/CommandEnabledC%1"_s, i), s.m_bCommandEnabled[i]);

    for (int c = 0; c < kGraphChannels; ++c) {
        io.Bool(ChannelKey(u"Graph/PlotC%1"_s, c), s.m_bPlot[c]);
        io.String(ChannelKey(u"Graph/LabelC%1"_s, c), s.m_strLabel[c]);
        io.Bool(ChannelKey(u"Graph/HoldC%1"_s, c), s.m_bHoldMin[c]);
        io.Int(ChannelKey(u"Graph/PrecisionC%1"_s, c), s.m_nPrecision[c]);
        io.Bool(ChannelKey(u"Graph/HoldMaxC%1"_s, c), s.m_bHoldMax[c]);
        io.Int(ChannelKey(u"Graph/FilterEnableC%1"_s, c), s.m_nFilterMode[c]);
        if (c < kTraceBands)
            io.Int(ChannelKey(u"Graph/TraceProportionC%1"_s, c), s.m_nTraceProportion[c]);
        io.Bool(ChannelKey(u"Graph/AllenDeviationC%1"_s, c), s.m_bAllanDeviation[c]);
        io.Bool(ChannelKey(u"Graph/MeanC%1"_s, c), s.m_bMean[c]);
        io.Bool(ChannelKey(u"Graph/StandardDeviationC%1"_s, c), s.m_bStdDev[c]);
        io.Bool(ChannelKey(u"Graph/BestFitC%1"_s, c), s.m_bBestFit[c]);
        io.Colour(ChannelKey(u"Graph/TraceColor%1"_s, c), s.m_crTrace[c]);
        io.Double(ChannelKey(u"Graph/MaxC%1"_s, c), s.m_dMax[c]);
        io.Double(ChannelKey(u"Graph/MinC%1"_s, c), s.m_dMin[c]);
        io.Double(ChannelKey(u"Graph/OffsetC%1"_s, c), s.m_dOffset[c]);
        io.Double(ChannelKey(u"Graph/MagnificationC%1"_s, c), s.m_dMagnification[c]);
        io.Double(ChannelKey(u"Graph/FilterCoeffC%1"_s, c), s.m_dFilterCoeff[c]);
        io.Int(ChannelKey(u"Aux/Enabled%1"_s, c), s.m_nAuxTrace[c]);
        io.String(ChannelKey(u"Aux/RequestString%1"_s, c), s.m_strAuxRequest[c]);
    }

    io.Int(u"Log/PeakSS"_s, s.m_nPeakSSTrace);
    io.Int(u"Log/TroughSS"_s, s.m_nTroughSSTrace);
    io.String(u"Log/Path"_s, s.m_strLogPath);
    io.Bool(u"Log/Status"_s, s.m_bHtmlStatus);
    io.Int(u"Log/MaxSize"_s, s.m_nLogMaxSize);
    io.Bool(u"Log/DeHex"_s, s.m_bDeHex);
    io.Bool(u"Log/DeQueue"_s, s.m_bDeQueue);
    io.Int(u"Log/LogInterval"_s, s.m_nLogInterval);
    io.Int(u"Log/StatusInterval"_s, s.m_nStatusInterval);
    io.Int(u"Sat/Trail"_s, s.m_nTrailMode);
    io.Int(u"Sat/MaxFileSize"_s, s.m_nTrackMaxSize);
    io.Int(u"TIScale/ExportMax"_s, s.m_nTiExportMax);
    io.Int(u"HTML/ImageSize"_s, s.m_nHtmlImageSize);
    io.Bool(u"Initial/InitZ3816A"_s, s.m_bInitZ3816A);
    io.Bool(SettingsKey::WasRunning, s.m_bAutoRun);

    io.String(u"Graph/ExportPath"_s, s.m_strGraphExportPath);
    io.String(u"Graph/ExportPath2"_s, s.m_strMapExportPath);
    io.Int(u"Graph/ExportWidth"_s, s.m_nExportWidth);
    io.Int(u"Graph/ExportHeight"_s, s.m_nExportHeight);
    io.Bool(u"Graph/ExportAllGraph"_s, s.m_bExportAllGraph);
    io.Bool(u"Initial/KeepAwake"_s, s.m_bKeepAwake);
}

// Reads each value into its member; a value it cannot take leaves the member alone, and one
// outside the range of its Options page is brought into it.
class Loader {
public:
    explicit Loader(const SettingsTree& tree) : m_tree(tree) {}

    void Int(const QString& key, int& value) {
        if (const auto stored = StoredInt32(m_tree.Value(key)))
            value = FitSetting(key, static_cast<int>(*stored));
    }
    void Int(const QString& key, std::atomic<int>& value) {
        int plain = value;
        Int(key, plain);
        value = plain;
    }
    void Bool(const QString& key, bool& value) {
        if (const auto stored = StoredInt32(m_tree.Value(key)))
            value = *stored != 0;
    }
    void Bool(const QString& key, std::atomic<bool>& value) {
        bool plain = value;
        Bool(key, plain);
        value = plain;
    }
    void Byte(const QString& key, BYTE& value) {
        if (const auto stored = StoredInt32(m_tree.Value(key)))
            value = static_cast<BYTE>(*stored & 0xFF);
    }
    void Colour(const QString& key, COLORREF& value) {
        if (const auto stored = StoredInt32(m_tree.Value(key)))
            value = static_cast<COLORREF>(*stored);
    }
    void Double(const QString& key, double& value) {
        if (const auto stored = StoredDouble(m_tree.Value(key)))
            value = FitSetting(key, *stored);
    }
    void String(const QString& key, QString& value) {
        if (auto stored = StoredString(m_tree.Value(key)))
            value = std::move(*stored);
    }
    // The seconds and the fraction of an NtpTimestamp, each the low 32 bits of the stored number
    // (older versions store halves above 2^31 - 1 as negative numbers).
    void NtpTime(const QString& secondsKey, const QString& fractionKey, std::atomic<NtpTimestamp>& value) {
        std::uint64_t seconds = value.load() >> 32;
        std::uint64_t fraction = value.load() & 0xFFFFFFFFu;
        if (const auto stored = StoredInteger(m_tree.Value(secondsKey)))
            seconds = static_cast<std::uint32_t>(*stored);
        if (const auto stored = StoredInteger(m_tree.Value(fractionKey)))
            fraction = static_cast<std::uint32_t>(*stored);
        value = (seconds << 32) | fraction;
    }

private:
    const SettingsTree& m_tree;
};

class Saver {
public:
    explicit Saver(SettingsTree& tree) : m_tree(tree) {}

    void Int(const QString& key, int value) { m_tree.SetValue(key, value); }
    void Int(const QString& key, const std::atomic<int>& value) { Int(key, value.load()); }
    void Bool(const QString& key, bool value) { m_tree.SetValue(key, value ? 1 : 0); }
    void Bool(const QString& key, const std::atomic<bool>& value) { Bool(key, value.load()); }
    void Byte(const QString& key, BYTE value) { m_tree.SetValue(key, static_cast<int>(value)); }
    void Colour(const QString& key, COLORREF value) { m_tree.SetValue(key, static_cast<uint>(value)); }
    void Double(const QString& key, double value) { m_tree.SetValue(key, DoubleSettingText(value)); }
    void String(const QString& key, const QString& value) { m_tree.SetValue(key, value); }
    // Both halves as unsigned numbers, which the loader reads back whole.
    void NtpTime(const QString& secondsKey, const QString& fractionKey,
                 const std::atomic<NtpTimestamp>& value) {
        const NtpTimestamp time = value.load();
        m_tree.SetValue(secondsKey, static_cast<uint>(time >> 32));
        m_tree.SetValue(fractionKey, static_cast<uint>(time & 0xFFFFFFFFu));
    }

private:
    SettingsTree& m_tree;
};

// The keys the table names, whatever their kind.
class KeyCollector {
public:
    void Int(const QString& key, const auto&) { keys.insert(key); }
    void Bool(const QString& key, const auto&) { keys.insert(key); }
    void Byte(const QString& key, const auto&) { keys.insert(key); }
    void Colour(const QString& key, const auto&) { keys.insert(key); }
    void Double(const QString& key, const auto&) { keys.insert(key); }
    void String(const QString& key, const auto&) { keys.insert(key); }
    void NtpTime(const QString& secondsKey, const QString& fractionKey, const auto&) {
        keys.insert(secondsKey);
        keys.insert(fractionKey);
    }

    QSet<QString> keys;
};

const QString kRegVersion = u"Version/RegVersion"_s;
const QString kLogVersion = u"Version/LogVersion"_s;

} // namespace

const QSet<QString>& platform::ProgramSettingsKeys() {
    static const QSet<QString> keys = [] {
        KeyCollector collector;
        const ViewSettings view;
        const ProcessSettings process;
        VisitSettings(collector, view, process);
        collector.keys.unite({kRegVersion, kLogVersion, SettingsKey::WindowPos});
        return collector.keys;
    }();
    return keys;
}

StoredVersions LoadViewSettings(const SettingsTree& tree, ViewSettings& view, ProcessSettings& process) {
    StoredVersions versions;
    const auto regVersion = StoredInt32(tree.Value(kRegVersion));
    versions.oldRegVersion = !regVersion || *regVersion < kSettingsVersion;
    const auto logVersion = StoredInt32(tree.Value(kLogVersion));
    versions.oldLogVersion = logVersion && *logVersion < kSettingsVersion;

    Loader loader(tree);
    VisitSettings(loader, view, process);
    view.m_strImageFileType = view.m_strImageFileType.toLower();
    return versions;
}

void SaveViewSettings(SettingsTree& tree, const ViewSettings& view, const ProcessSettings& process) {
    tree.SetValue(kRegVersion, kSettingsVersion);
    tree.SetValue(kLogVersion, kSettingsVersion);
    Saver saver(tree);
    VisitSettings(saver, view, process);
}
