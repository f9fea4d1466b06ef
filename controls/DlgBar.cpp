#include "controls/DlgBar.h"

#include "app/CommandIds.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextCursor>
#include <QVBoxLayout>

CvDlgBar::CvDlgBar(QWidget* parent)
    : QWidget(parent), m_pLayout(new QVBoxLayout(this)), m_pUserWindow(new QPlainTextEdit(this)),
      m_pLargeFont(new QCheckBox(tr("Large font"), this)), m_pDebugBox1(new QLineEdit(this)),
      m_pDebugBox2(new QLineEdit(this)) {
    m_pUserWindow->setReadOnly(true);
    m_pUserWindow->setUndoRedoEnabled(false);
    m_pUserWindow->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_pUserWindow->setMinimumWidth(260);
    AddControl(IDC_USER_WINDOW, m_pUserWindow);
    AddControl(IDC_LARGE_FONT, m_pLargeFont);
    AddControl(IDC_DEBUG_BOX1, m_pDebugBox1);
    AddControl(IDC_DEBUG_BOX2, m_pDebugBox2);
}

void CvDlgBar::AddControl(int id, QWidget* control) {
    m_controls[id] = control;
    m_pLayout->addWidget(control);
}

QWidget* CvDlgBar::GetDlgItem(int id) const {
    const auto it = m_controls.find(id);
    return it == m_controls.end() ? nullptr : it->second;
}

void CvDlgBar::AppendToUserWindow(const QString& text) {
    // The edit box keeps CR LF as the line break; it shows plain text only.
    QString shown = text;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    QTextCursor cursor = m_pUserWindow->textCursor();
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(shown);
    m_pUserWindow->setTextCursor(cursor);
    m_pUserWindow->ensureCursorVisible();
}
