// The view's handlers of the dialog bar: every command entered there goes to the tail of the
// command queue, which the user-command timer drains.
#include "app/ChildView.h"
#include "controls/CommandQueue.h"
#include "controls/DlgBar.h"

#include <QCheckBox>
#include <QComboBox>
#include <QPlainTextEdit>

void CChildView::OnSendButton() {
    if (!m_pDlgBar)
        return;
    m_listCommands.append(SendBoxCommand(m_pDlgBar->CommandBox()->currentText()));
}

void CChildView::OnCommandButton(int index) {
    if (index < 0 || index >= kCommandButtons)
        return;
    m_listCommands.append(ButtonCommand(m_strButton[static_cast<std::size_t>(index)].command));
}

void CChildView::OnClearUserWindow() {
    if (m_pDlgBar)
        m_pDlgBar->UserWindow()->clear();
    // The user file records the clearing while the window shows nothing.
    AppendUserFile(QStringLiteral("\r\nUser window cleared\r\n\r\n"));
}

void CChildView::OnLargeFont() {
    if (!m_pDlgBar)
        return;
    if (auto* box = qobject_cast<QCheckBox*>(m_pDlgBar->GetDlgItem(IDC_LARGE_FONT)))
        m_bLargeUserFont = box->isChecked();
    m_pDlgBar->ApplyUserWindowFont();
}

void CChildView::OnMaxTextUserWindow() {
    if (m_pDlgBar)
        m_pDlgBar->MakeRoomInUserWindow();
}

void CChildView::FillCommandCombo() {
    if (!m_pDlgBar)
        return;
    // Refilling empties the edit field too; no item is chosen until the operator picks one.
    QComboBox* box = m_pDlgBar->CommandBox();
    box->clear();
    box->addItems(SortedCommandItems(m_strCommandList));
    box->setCurrentIndex(-1);
    box->setEditText(QString());
}

void CChildView::UpdateDialogBar() {
    if (!m_pDlgBar)
        return;
    FillCommandCombo();
    for (int i = 0; i < kCommandButtons; ++i)
        m_pDlgBar->SetButtonLabel(i, m_strButton[static_cast<std::size_t>(i)].label);
    m_pDlgBar->FitButtonsToLabels();
    m_pDlgBar->update();
}

QString CChildView::OnToolTipText(int id) const {
    if (id >= IDC_BUTTON1 && id <= IDC_BUTTON40) {
        const int i = id - IDC_BUTTON1;
        const QString& command = m_strButton[static_cast<std::size_t>(i)].command;
        // A button showing its label cut short tells the whole label above its command.
        const QString elided = m_pDlgBar ? m_pDlgBar->ElidedButtonLabel(i) : QString();
        if (elided.isEmpty())
            return command;
        return command.isEmpty() ? elided : elided + QLatin1Char('\n') + command;
    }
    switch (id) {
    case IDC_USER_WINDOW:
        return QStringLiteral("Output window");
    case IDC_COMMAND_BOX:
        return QStringLiteral("Command list");
    case IDC_SEND:
        return QStringLiteral("Command send button");
    case IDC_CLEAR_USER_WINDOW:
        return QStringLiteral("Clear user windows");
    default:
        return {};
    }
}
