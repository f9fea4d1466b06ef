#include "settings/ProfileIni.h"

#include "settings/SettingRanges.h"
#include "settings/SettingValues.h"

#include <algorithm>
#include <climits>
#include <limits>

using namespace Qt::Literals::StringLiterals;

namespace {

QString Numbered(QStringView key, int index) {
    return key.toString() + QString::number(index);
}

// The graph set-up, channel by channel, in the order an export writes it. Io is the reader or the
// writer; Settings is const when writing.
template <typename Io, typename Settings> void VisitProfileGraph(Io& io, Settings& s) {
    for (int c = 0; c < kGraphChannels; ++c) {
        const auto i = static_cast<std::size_t>(c);
        io.Bool(u"Graph", Numbered(u"PlotC", c), s.m_bPlot[i]);
        io.String(u"Graph", Numbered(u"LabelC", c), s.m_strLabel[i]);
        io.Bool(u"Graph", Numbered(u"HoldC", c), s.m_bHoldMin[i]);
        io.Int(u"Graph", Numbered(u"PrecisionC", c), s.m_nPrecision[i]);
        io.Bool(u"Graph", Numbered(u"HoldMaxC", c), s.m_bHoldMax[i]);
        io.Int(u"Graph", Numbered(u"FilterEnableC", c), s.m_nFilterMode[i]);
        if (c < kTraceBands)
            io.WrittenOnly(u"Graph", Numbered(u"TraceProportionC", c), s.m_nTraceProportion[i]);
        io.Bool(u"Graph", Numbered(u"AllenDeviationC", c), s.m_bAllanDeviation[i]);
        io.Bool(u"Graph", Numbered(u"MeanC", c), s.m_bMean[i]);
        io.Bool(u"Graph", Numbered(u"StandardDeviationC", c), s.m_bStdDev[i]);
        io.Bool(u"Graph", Numbered(u"BestFitC", c), s.m_bBestFit[i]);
        io.Double(u"Graph", Numbered(u"MaxC", c), s.m_dMax[i]);
        io.Double(u"Graph", Numbered(u"MinC", c), s.m_dMin[i]);
        io.Double(u"Graph", Numbered(u"OffsetC", c), s.m_dOffset[i]);
        io.Double(u"Graph", Numbered(u"MagnificationC", c), s.m_dMagnification[i]);
        io.Double(u"Graph", Numbered(u"FilterCoeffC", c), s.m_dFilterCoeff[i]);
        io.Int(u"Aux", Numbered(u"Enabled", c), s.m_nAuxTrace[i]);
        io.String(u"Aux", Numbered(u"RequestString", c), s.m_strAuxRequest[i]);
    }
    io.Int(u"Log", u"PeakSS"_s, s.m_nPeakSSTrace);
    io.Int(u"Log", u"TroughSS"_s, s.m_nTroughSSTrace);
}

class Writer {
public:
    explicit Writer(IniFile& file) : m_file(file) {}
    void Int(QStringView section, const QString& key, int value) {
        m_file.SetValue(section, key, QString::number(value));
    }
    void WrittenOnly(QStringView section, const QString& key, int value) { Int(section, key, value); }
    void Bool(QStringView section, const QString& key, bool value) { Int(section, key, value ? 1 : 0); }
    void Double(QStringView section, const QString& key, double value) {
        m_file.SetValue(section, key, DoubleSettingText(value));
    }
    void String(QStringView section, const QString& key, const QString& value) {
        m_file.SetValue(section, key, value);
    }

private:
    IniFile& m_file;
};

// The settings store key of a profile key, which names the same setting.
QString SettingKey(QStringView section, const QString& key) {
    return section.toString() + u'/' + key;
}

// The leading whole number of a text ("12abc" is 12, "abc" 0), saturated at the int64 ends.
std::int64_t LeadingInteger(QStringView text) {
    text = text.trimmed();
    qsizetype i = 0;
    const bool negative = i < text.size() && text[i] == u'-';
    if (i < text.size() && (text[i] == u'-' || text[i] == u'+'))
        ++i;
    std::int64_t value = 0;
    constexpr std::int64_t kLargest = std::numeric_limits<std::int64_t>::max() / 10 - 9;
    for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i)
        value = value > kLargest ? kLargest : value * 10 + (text[i].unicode() - u'0');
    return negative ? -value : value;
}

class Reader {
public:
    explicit Reader(const IniFile& file) : m_file(file) {}
    void Int(QStringView section, const QString& key, int& value) {
        if (const auto text = Text(section, key)) {
            const std::int64_t read = LeadingInteger(*text);
            const SettingRange* range = RangeOfSetting(SettingKey(section, key));
            value =
                static_cast<int>(range ? range->Fit(read) : std::clamp<std::int64_t>(read, INT_MIN, INT_MAX));
        }
    }
    void WrittenOnly(QStringView, const QString&, int&) {}
    void Bool(QStringView section, const QString& key, bool& value) {
        if (const auto text = Text(section, key))
            value = LeadingInteger(*text) != 0;
    }
    void Double(QStringView section, const QString& key, double& value) {
        if (const auto text = Text(section, key))
            if (const std::optional<double> read = LeadingDouble(*text))
                value = FitSetting(SettingKey(section, key), *read);
    }
    void String(QStringView section, const QString& key, QString& value) {
        if (const auto text = Text(section, key))
            value = *text;
    }

private:
    std::optional<QString> Text(QStringView section, const QString& key) const {
        std::optional<QString> text = m_file.Value(section, key);
        if (text)
            text->truncate(kProfileTextRoom - 1);
        return text;
    }

    const IniFile& m_file;
};

} // namespace

void WriteProfile(IniFile& file, int family, const QString& commandList, const CommandButtons& buttons,
                  const ViewSettings& settings) {
    const QString section = QString::number(family);
    file.SetValue(section, u"Commands", commandList);
    for (int b = 0; b < kCommandButtons; ++b) {
        const auto& button = buttons[static_cast<std::size_t>(b)];
        file.SetValue(section, Numbered(u"ButTxt", b), button.label);
        file.SetValue(section, Numbered(u"ButCmd", b), button.command);
    }
    Writer writer(file);
    VisitProfileGraph(writer, settings);
}

void ReadProfileButtons(const IniFile& file, int family, QString& commandList, CommandButtons& buttons) {
    const QString section = QString::number(family);
    commandList = file.Value(section, u"Commands").value_or(QString()).left(kProfileCommandListRoom - 1);
    for (int b = 0; b < kCommandButtons; ++b) {
        auto& button = buttons[static_cast<std::size_t>(b)];
        button.label =
            file.Value(section, Numbered(u"ButTxt", b)).value_or(QString()).left(kProfileTextRoom - 1);
        button.command =
            file.Value(section, Numbered(u"ButCmd", b)).value_or(QString()).left(kProfileTextRoom - 1);
    }
}

void ReadProfileGraph(const IniFile& file, ViewSettings& settings) {
    Reader reader(file);
    VisitProfileGraph(reader, settings);
}
