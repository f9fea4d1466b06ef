#include "settings/OptionsSheet.h"

#include "platform/MessageBox.h"
#include "settings/OptionsPages.h"

#include <QDialogButtonBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

using namespace Qt::Literals::StringLiterals;

COptionsSheet::COptionsSheet(OptionsTarget target, QWidget* parent) : QDialog(parent), m_target(target) {
    setWindowTitle(u"Options dialog"_s);
    ViewSettings& v = m_target.view;
    m_pages = {
        new CPPLogFile(m_target),
        new CPPTraces(m_target),
        new CPPFtp(m_target),
        new CPPComs(m_target, u"Coms"_s,
                    {v.m_strComPort, v.m_nBaud, v.m_byParity, v.m_byStopBits, v.m_byDataBits, v.m_byPacing}),
        new CPPTimeSvc(m_target),
        new CPPAux(m_target),
        new CPPComs(
            m_target, u"Aux coms"_s,
            {v.m_strComPort2, v.m_nBaud2, v.m_byParity2, v.m_byStopBits2, v.m_byDataBits2, v.m_byPacing2}),
        new CPPExport(m_target),
    };
    m_tabs = new QTabWidget(this);
    for (COptionsPage* page : m_pages) {
        m_tabs->addTab(page, page->Caption());
        DataExchange dx(*page, DataExchange::Direction::ToControls);
        page->DoDataExchange(dx);
        page->OnInitDialog();
    }
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setObjectName(u"IDOK"_s);
    buttons->button(QDialogButtonBox::Cancel)->setObjectName(u"IDCANCEL"_s);
    connect(buttons, &QDialogButtonBox::accepted, this, &COptionsSheet::OnOK);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_tabs);
    layout->addWidget(buttons);
}

void COptionsSheet::OnOK() {
    for (COptionsPage* page : m_pages) {
        DataExchange dx(*page, DataExchange::Direction::Validate);
        page->DoDataExchange(dx);
        if (dx.Failed()) {
            m_tabs->setCurrentWidget(page);
            dx.FailedControl()->setFocus();
            if (auto* edit = qobject_cast<QLineEdit*>(dx.FailedControl()))
                edit->selectAll();
            platform::MessageBox(dx.Message(), platform::MessageIcon::Warning);
            return;
        }
    }
    for (COptionsPage* page : m_pages) {
        DataExchange dx(*page, DataExchange::Direction::FromControls);
        page->DoDataExchange(dx);
    }
    accept();
}
