#pragma once
// The dialog bar docked on the left of the main window: the command box, Send, the forty command
// buttons, the user window and its switches.
#include <QWidget>
#include <map>

class CChildView;
class QCheckBox;
class QLineEdit;
class QPlainTextEdit;
class QVBoxLayout;

class CvDlgBar : public QWidget {
    Q_OBJECT

public:
    explicit CvDlgBar(QWidget* parent = nullptr);

    // A control of the bar by its numeric id, or null when the bar has no such control.
    QWidget* GetDlgItem(int id) const;

    // The user window (control 1011): read-only, multi-line.
    QPlainTextEdit* UserWindow() const { return m_pUserWindow; }
    // Appends text at the end of the user window and scrolls to it.
    void AppendToUserWindow(const QString& text);

    CChildView* m_pView = nullptr;

private:
    void AddControl(int id, QWidget* control);

    QVBoxLayout* m_pLayout;
    QPlainTextEdit* m_pUserWindow;
    QCheckBox* m_pLargeFont;
    QLineEdit* m_pDebugBox1;
    QLineEdit* m_pDebugBox2;
    std::map<int, QWidget*> m_controls;
};
