// The "FTP" page.
#include "settings/OptionsPages.h"

#include <QFormLayout>

using namespace Qt::Literals::StringLiterals;

namespace {
enum : int {
    IDC_FTP_INTERVAL = 1053,
    IDC_SPIN_FTP_INTERVAL = 1054,
    IDC_FTP_SERVER = 1060,
    IDC_FTP_ACCOUNT = 1061,
    IDC_FTP_PASSWORD = 1063,
    IDC_FTP_DIRECTORY = 1066,
    IDC_FTP_ADDITIONAL = 1067,
    IDC_FTP_TIMEOUT = 1136,
    IDC_SPIN_FTP_TIMEOUT = 1044,
    IDC_FTP_PASSIVE = 1172,
};
} // namespace

CPPFtp::CPPFtp(OptionsTarget& target) : COptionsPage(target, u"FTP"_s) {
    auto* form = new QFormLayout(this);
    form->addRow(Label(u"FTP server"_s), Edit(IDC_FTP_SERVER, 30));
    form->addRow(Label(u"Account"_s), Edit(IDC_FTP_ACCOUNT, 20));
    QLineEdit* password = Edit(IDC_FTP_PASSWORD, 20);
    password->setEchoMode(QLineEdit::Password);
    form->addRow(Label(u"Password"_s), password);
    form->addRow(Label(u"Directory"_s), Edit(IDC_FTP_DIRECTORY, 30));
    QLineEdit* interval = Edit(IDC_FTP_INTERVAL, 7);
    form->addRow(Label(u"Interval"_s), Row({interval, UpDown(IDC_SPIN_FTP_INTERVAL, interval, 0, 1000000),
                                            Label(u"secs"_s), Label(u"(0=never)"_s)}));
    QLineEdit* timeout = Edit(IDC_FTP_TIMEOUT, 5);
    form->addRow(Label(u"Timeout"_s),
                 Row({timeout, UpDown(IDC_SPIN_FTP_TIMEOUT, timeout, 0, 1000), Label(u"secs"_s)}));
    form->addRow(QString(), Check(IDC_FTP_PASSIVE, u"Passive FTP"_s));
    form->addRow(Label(u"Additional"_s), Edit(IDC_FTP_ADDITIONAL, 50));
    QLabel* help =
        Label(u"(Normally leave blank. Can add additional fully qualified filenames seperated by ';')"_s);
    help->setWordWrap(true);
    form->addRow(QString(), help);
}

void CPPFtp::DoDataExchange(DataExchange& dx) {
    ViewSettings& v = m_target.view;
    dx.Text(IDC_FTP_SERVER, v.m_strFtpServer);
    dx.Text(IDC_FTP_ACCOUNT, v.m_strFtpAccount);
    dx.Text(IDC_FTP_PASSWORD, v.m_strFtpPassword);
    dx.Text(IDC_FTP_DIRECTORY, v.m_strFtpDirectory);
    dx.Integer(IDC_FTP_INTERVAL, v.m_nFtpInterval, u"FTP/Interval");
    dx.Integer(IDC_FTP_TIMEOUT, v.m_nFtpTimeout, u"FTP/Timeout");
    dx.Check(IDC_FTP_PASSIVE, v.m_bFtpPassive);
    dx.Text(IDC_FTP_ADDITIONAL, v.m_strFtpAdditionalFiles);
}
