#include "controls/AboutDialog.h"

#include "app/AppIcon.h"
#include "app/ChildView.h"
#include "app/CommandIds.h"
#include "app/Globals.h"
#include "app/MainFrame.h"
#include "publishing/VersionText.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

CAboutDialog::CAboutDialog(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("About %1").arg(kProductName));
    auto* layout = new QVBoxLayout(this);

    auto* header = new QHBoxLayout;
    auto* icon = new QLabel(this);
    icon->setPixmap(AppIcon().pixmap(48, 48));
    header->addWidget(icon);
    auto* name = new QLabel(kProductName, this);
    QFont nameFont = name->font();
    nameFont.setBold(true);
    nameFont.setPointSizeF(nameFont.pointSizeF() * 1.4);
    name->setFont(nameFont);
    header->addWidget(name, 1);
    layout->addLayout(header);

    auto* version = new QLabel(GetVersionText(), this);
    version->setObjectName(QStringLiteral("%1").arg(IDC_VERSION_TEXT));
    version->setTextFormat(Qt::PlainText);
    layout->addWidget(version);

    const QString notices[] = {
        QStringLiteral("Monitors and controls a GPS timing receiver on a serial port."),
        QStringLiteral("This program may be copied and given away freely, but not sold."),
        QStringLiteral("It comes without any warranty. Setting the PC clock or sending commands to a "
                       "receiver is at your own risk."),
    };
    for (const QString& notice : notices) {
        auto* label = new QLabel(notice, this);
        label->setTextFormat(Qt::PlainText);
        label->setWordWrap(true);
        layout->addWidget(label);
    }

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    layout->addWidget(buttons);
    setMinimumWidth(380);
}

void CChildView::OnAppAbout() {
    CAboutDialog dialog(m_pMainFrame);
    dialog.exec();
}
