// The "Time services" page.
#include "settings/OptionsPages.h"

#include <QGridLayout>

using namespace Qt::Literals::StringLiterals;

namespace {
enum : int {
    IDC_CLOCK_INTERVAL = 1070,
    IDC_SPIN_CLOCK_INTERVAL = 1071,
    IDC_SNTP_ENABLE = 1155,
    IDC_SNTP_PORT = 1156,
    IDC_SNTP_POLL = 1157,
    IDC_SNTP_UNRELIABLE = 1159,
    IDC_DELAY_COMPENSATION = 1160,
    IDC_LEAP_CORRECTION = 1369,
    IDC_KEEP_AWAKE = 1376,
};
} // namespace

CPPTimeSvc::CPPTimeSvc(OptionsTarget& target) : COptionsPage(target, u"Time services"_s) {
    auto* grid = new QGridLayout(this);
    int row = 0;
    const auto addRow = [&](const QString& label, QWidget* field) {
        grid->addWidget(Label(label), row, 0);
        grid->addWidget(field, row++, 1);
    };
    QLineEdit* interval = Edit(IDC_CLOCK_INTERVAL, 7);
    addRow(u"Clock correction interval (0 to disable)"_s,
           Row({interval, UpDown(IDC_SPIN_CLOCK_INTERVAL, interval, 0, 500000), Label(u"secs"_s)}));
    addRow(u"Delay compensation"_s, Row({Edit(IDC_DELAY_COMPENSATION, 6), Label(u"ms"_s)}));
    addRow(u"Leap second correction"_s, Row({Edit(IDC_LEAP_CORRECTION, 4)}));
    grid->addWidget(Check(IDC_SNTP_ENABLE, u"Enable SNTP server"_s), row++, 0, 1, 2);
    addRow(u"Port"_s, Row({Edit(IDC_SNTP_PORT, 6)}));
    addRow(u"Poll interval"_s, Row({Edit(IDC_SNTP_POLL, 5), Label(u"ms"_s)}));
    addRow(u"Flag as unreliable if system clock not corrected for more than"_s,
           Row({Edit(IDC_SNTP_UNRELIABLE, 7), Label(u"secs"_s)}));
    grid->addWidget(Check(IDC_KEEP_AWAKE, u"Keep machine awake"_s), row++, 0, 1, 2);
    grid->setRowStretch(row, 1);
    grid->setColumnStretch(2, 1);
}

void CPPTimeSvc::DoDataExchange(DataExchange& dx) {
    ViewSettings& v = m_target.view;
    dx.Integer(IDC_CLOCK_INTERVAL, v.m_nTimeInterval, u"Time/Interval");
    dx.Check(IDC_SNTP_ENABLE, v.m_bSntpEnabled);
    dx.Integer(IDC_SNTP_PORT, v.m_nSntpPort, u"SNTP/Port");
    dx.Integer(IDC_SNTP_POLL, v.m_nSntpInterval, u"SNTP/Interval");
    dx.Integer(IDC_SNTP_UNRELIABLE, v.m_nSntpUnreliableAfter, u"SNTP/UnreliableAfter");
    dx.Integer(IDC_DELAY_COMPENSATION, v.m_nFineCorrection, u"SNTP/FineCorrection");
    dx.Integer(IDC_LEAP_CORRECTION, v.m_nLeapCorrection, u"SNTP/LeapCorrection");
    dx.Check(IDC_KEEP_AWAKE, v.m_bKeepAwake);
}
