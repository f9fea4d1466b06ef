// The "Traces" page: one row per graph channel.
#include "app/Globals.h"
#include "settings/OptionsPages.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QColorDialog>
#include <QGridLayout>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

using namespace Qt::Literals::StringLiterals;

namespace {
// The controls of channel 0; channel i's are these plus i, but the filter radios, three to a row.
enum : int {
    IDC_MEAN = 1172,
    IDC_OFFSET = 1245,
    IDC_HOLD_MIN = 1253,
    IDC_MAX = 1261,
    IDC_MIN = 1269,
    IDC_FILTER_COEFF = 1285,
    IDC_HOLD_MAX = 1293,
    IDC_BEST_FIT = 1328,
    IDC_ALLAN_DEVIATION = 1320,
    IDC_MAGNIFICATION = 1336,
    IDC_LABEL = 1344,
    IDC_PLOT = 1352,
    IDC_STD_DEV = 1360,
    IDC_FILTER_RAW = 1379,
    IDC_TRACE_HEIGHT = 1403,
    IDC_COLOUR = 1407,
    IDC_PRECISION = 1415,
};
constexpr int kFilterRadios = 3;

// The plot boxes' captions: the channels the families fill.
const QString kChannelNames[kGraphChannels] = {u"EFC"_s, u"TI"_s, u"PU"_s, u"Sats"_s};
// The channel whose caption depends on the family, and the one the Datum 2000 leaves unnamed.
constexpr int kFamilyChannel = 2;
constexpr int kDatumUnnamedChannel = 3;

QColor ToColor(COLORREF colour) {
    return QColor(GetRValue(colour), GetGValue(colour), GetBValue(colour));
}
COLORREF FromColor(const QColor& colour) {
    return RGB(colour.red(), colour.green(), colour.blue());
}
} // namespace

CPPTraces::CPPTraces(OptionsTarget& target) : COptionsPage(target, u"Traces"_s) {
    auto* layout = new QVBoxLayout(this);
    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(6);
    const QStringList headings = {u""_s,     u"Plot"_s, u"Label"_s, u"Colour"_s, u"Mag"_s,    u"Offset"_s,
                                  u"Hold"_s, u"Min"_s,  u"Hold"_s,  u"Max"_s,    u"Filter"_s, u"Filt coeff"_s,
                                  u"AV"_s,   u"SD"_s,   u"AD"_s,    u"BF"_s,     u"Prec"_s};
    for (int column = 0; column < headings.size(); ++column)
        grid->addWidget(Label(headings[column]), 0, column, Qt::AlignLeft | Qt::AlignBottom);

    for (int c = 0; c < kGraphChannels; ++c) {
        const int row = c + 1;
        int column = 0;
        grid->addWidget(Label(QString::number(c + 1)), row, column++);
        grid->addWidget(Check(IDC_PLOT + c, kChannelNames[c]), row, column++);
        grid->addWidget(Edit(IDC_LABEL + c, 8), row, column++);
        QPushButton* colour = Button(IDC_COLOUR + c, QString());
        colour->setFixedWidth(40);
        connect(colour, &QPushButton::clicked, this, [this, c] { ChooseColour(c); });
        grid->addWidget(colour, row, column++);
        for (int id : {IDC_MAGNIFICATION, IDC_OFFSET})
            grid->addWidget(Edit(id + c, 9), row, column++);
        grid->addWidget(Check(IDC_HOLD_MIN + c, QString()), row, column++);
        grid->addWidget(Edit(IDC_MIN + c, 9), row, column++);
        grid->addWidget(Check(IDC_HOLD_MAX + c, QString()), row, column++);
        grid->addWidget(Edit(IDC_MAX + c, 9), row, column++);
        auto* filter = new QButtonGroup(this);
        QList<QWidget*> radios;
        const QString signs[kFilterRadios] = {u"+"_s, u"-"_s, u"\u00B1"_s};
        for (int f = 0; f < kFilterRadios; ++f) {
            QRadioButton* radio = Radio(IDC_FILTER_RAW + kFilterRadios * c + f, signs[f]);
            filter->addButton(radio);
            radios << radio;
        }
        grid->addWidget(Row({radios[0], radios[1], radios[2]}), row, column++);
        grid->addWidget(Edit(IDC_FILTER_COEFF + c, 7), row, column++);
        for (int id : {IDC_MEAN, IDC_STD_DEV, IDC_ALLAN_DEVIATION, IDC_BEST_FIT})
            grid->addWidget(Check(id + c, QString()), row, column++);
        grid->addWidget(Edit(IDC_PRECISION + c, 2), row, column++);
    }
    layout->addLayout(grid);

    const QString bands[kTraceBands] = {u"1/5"_s, u"2/6"_s, u"3/7"_s, u"4/8"_s};
    auto* heights = new QHBoxLayout;
    heights->addWidget(Label(u"Trace height"_s));
    for (int b = 0; b < kTraceBands; ++b) {
        heights->addWidget(Label(bands[b]));
        heights->addWidget(Edit(IDC_TRACE_HEIGHT + b, 3));
    }
    heights->addSpacing(24);
    heights->addWidget(Label(u"+ = Raw    - = Filtered    \u00B1 = Both"_s));
    heights->addStretch(1);
    layout->addLayout(heights);
    QLabel* note =
        Label(u"If Hold(min) and Hold(max) have the same value, then min hold is always forced to be "
              "the negative of max hold."_s);
    note->setWordWrap(true);
    layout->addWidget(note);
    layout->addStretch(1);
}

void CPPTraces::DoDataExchange(DataExchange& dx) {
    ViewSettings& v = m_target.view;
    for (int c = 0; c < kGraphChannels; ++c) {
        const auto i = static_cast<std::size_t>(c);
        dx.Check(IDC_PLOT + c, v.m_bPlot[i]);
        dx.Text(IDC_LABEL + c, v.m_strLabel[i]);
        dx.Double(IDC_MAGNIFICATION + c, v.m_dMagnification[i], u"Graph/MagnificationC");
        dx.Double(IDC_OFFSET + c, v.m_dOffset[i], u"Graph/OffsetC");
        dx.Check(IDC_HOLD_MIN + c, v.m_bHoldMin[i]);
        dx.Double(IDC_MIN + c, v.m_dMin[i], u"Graph/MinC");
        dx.Check(IDC_HOLD_MAX + c, v.m_bHoldMax[i]);
        dx.Double(IDC_MAX + c, v.m_dMax[i], u"Graph/MaxC");
        const int firstRadio = IDC_FILTER_RAW + kFilterRadios * c;
        dx.Radio({firstRadio, firstRadio + 1, firstRadio + 2}, v.m_nFilterMode[i]);
        dx.Double(IDC_FILTER_COEFF + c, v.m_dFilterCoeff[i], u"Graph/FilterCoeffC");
        dx.Check(IDC_MEAN + c, v.m_bMean[i]);
        dx.Check(IDC_STD_DEV + c, v.m_bStdDev[i]);
        dx.Check(IDC_ALLAN_DEVIATION + c, v.m_bAllanDeviation[i]);
        dx.Check(IDC_BEST_FIT + c, v.m_bBestFit[i]);
        dx.Integer(IDC_PRECISION + c, v.m_nPrecision[i], u"Graph/PrecisionC");
    }
    for (int b = 0; b < kTraceBands; ++b)
        dx.Integer(IDC_TRACE_HEIGHT + b, v.m_nTraceProportion[static_cast<std::size_t>(b)],
                   u"Graph/TraceProportionC");
    // The colours are edited by the colour chooser into the page's copies.
    if (dx.ToControls()) {
        m_crTrace = v.m_crTrace;
        m_crCustom = v.m_crCustom;
    } else if (dx.FromControls()) {
        v.m_crTrace = m_crTrace;
        v.m_crCustom = m_crCustom;
    }
}

void CPPTraces::OnInitDialog() {
    QString name = kChannelNames[kFamilyChannel];
    switch (m_target.family) {
    case RECEIVER_DATUM:
        name = u"Sats"_s;
        break;
    case RECEIVER_PROTEUS:
        name = u"20Mhz"_s;
        break;
    case RECEIVER_JACKSON:
        name = u"\u00B0C/I"_s;
        break;
    default:
        break;
    }
    Control<QCheckBox>(IDC_PLOT + kFamilyChannel)->setText(name);
    if (m_target.family == RECEIVER_DATUM)
        Control<QCheckBox>(IDC_PLOT + kDatumUnnamedChannel)->setText(QString());
    for (int c = 0; c < kGraphChannels; ++c)
        ShowColour(c);
}

void CPPTraces::ShowColour(int channel) {
    const QColor colour = ToColor(m_crTrace[static_cast<std::size_t>(channel)]);
    Control(IDC_COLOUR + channel)->setStyleSheet(u"background-color: %1"_s.arg(colour.name()));
}

void CPPTraces::ChooseColour(int channel) {
    for (int i = 0; i < kCustomColours; ++i)
        QColorDialog::setCustomColor(i, ToColor(m_crCustom[static_cast<std::size_t>(i)]));
    QColorDialog dialog(ToColor(m_crTrace[static_cast<std::size_t>(channel)]), this);
    dialog.setOption(QColorDialog::DontUseNativeDialog); // its custom colours are the ones set here
    if (dialog.exec() != QDialog::Accepted)
        return;
    m_crTrace[static_cast<std::size_t>(channel)] = FromColor(dialog.selectedColor());
    for (int i = 0; i < kCustomColours; ++i)
        m_crCustom[static_cast<std::size_t>(i)] = FromColor(QColorDialog::customColor(i));
    ShowColour(channel);
}
