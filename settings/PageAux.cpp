// The "Auxiliary" page.
#include "app/Globals.h"
#include "settings/OptionsPages.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QVBoxLayout>

using namespace Qt::Literals::StringLiterals;

namespace {
enum : int {
    IDC_REQUEST_PREFIX = 1103,
    IDC_PORT2_ENABLE = 1117,
    IDC_PORT2_PROMPT = 1130,
    IDC_PEAK_SS = 1301,
    IDC_TROUGH_SS = 1302,
    IDC_AUX_TRACE = 1303,   // Aux1 to Aux8: 1303 to 1310
    IDC_AUX_REQUEST = 1311, // Aux1 to Aux8: 1311 to 1318
};
} // namespace

CPPAux::CPPAux(OptionsTarget& target) : COptionsPage(target, u"Auxiliary"_s) {
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Row({Check(IDC_PORT2_ENABLE, u"Enable"_s)}));
    layout->addWidget(Label(u"Prefix to indicate request should be directed to the second serial port"_s));
    layout->addWidget(Row({Edit(IDC_REQUEST_PREFIX, 6)}));
    layout->addWidget(Row({Label(u"2nd port prompt"_s), Edit(IDC_PORT2_PROMPT, 40)}));
    layout->addWidget(Label(u"You can have several alternative prompts separated by ';'"_s));

    auto* grid = new QGridLayout;
    grid->addWidget(Label(u"Trace to go to (0 = off)"_s), 0, 2);
    for (int i = 0; i < kAuxRequests; ++i) {
        grid->addWidget(Label(u"Aux%1"_s.arg(i + 1)), i + 1, 0);
        grid->addWidget(Edit(IDC_AUX_REQUEST + i, 40), i + 1, 1);
        grid->addWidget(Edit(IDC_AUX_TRACE + i, 2), i + 1, 2, Qt::AlignLeft);
    }
    grid->setColumnStretch(3, 1);
    layout->addLayout(grid);
    layout->addWidget(
        Row({Label(u"Max SS"_s), Edit(IDC_PEAK_SS, 2), Label(u"Min SS"_s), Edit(IDC_TROUGH_SS, 2)}));
    for (const QString& help : {u"Wildcard for any character type is '?'. Wildcard for numeric character is "
                                u"'#'. Carriage return is "
                                "'<CR>'. Linefeed is '<LF>'."_s,
                                u"Examples: :DIAG:ROSC:EFC:REL?<CR>    ~:DATA:E0?<CR>"_s}) {
        QLabel* label = Label(help);
        label->setWordWrap(true);
        layout->addWidget(label);
    }
    layout->addStretch(1);
}

void CPPAux::DoDataExchange(DataExchange& dx) {
    ViewSettings& v = m_target.view;
    dx.Text(IDC_REQUEST_PREFIX, v.m_strRequestPrefix);
    dx.Check(IDC_PORT2_ENABLE, v.m_bPort2Enabled);
    dx.Text(IDC_PORT2_PROMPT, v.m_strOKPrompt);
    dx.Integer(IDC_PEAK_SS, v.m_nPeakSSTrace, u"Log/PeakSS");
    dx.Integer(IDC_TROUGH_SS, v.m_nTroughSSTrace, u"Log/TroughSS");
    for (int i = 0; i < kAuxRequests; ++i) {
        const auto a = static_cast<std::size_t>(i);
        dx.Text(IDC_AUX_REQUEST + i, v.m_strAuxRequest[a]);
        dx.Integer(IDC_AUX_TRACE + i, v.m_nAuxTrace[a], u"Aux/Enabled");
    }
}

void CPPAux::OnInitDialog() {
    // The Proteus family has no auxiliary port; its C/N channels stay.
    if (m_target.family != RECEIVER_PROTEUS)
        return;
    for (int id : {IDC_PORT2_ENABLE, IDC_REQUEST_PREFIX, IDC_PORT2_PROMPT})
        Control(id)->setEnabled(false);
    for (int i = 0; i < kAuxRequests; ++i) {
        Control(IDC_AUX_REQUEST + i)->setEnabled(false);
        Control(IDC_AUX_TRACE + i)->setEnabled(false);
    }
}
