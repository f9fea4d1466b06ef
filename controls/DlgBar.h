#pragma once
// The dialog bar docked on the left of the main window: the command box, Send, the forty command
// buttons, the user window and its switches. Its controls report clicks as commands, which the
// frame routes to the view first.
#include <QBasicTimer>
#include <QWidget>
#include <array>
#include <map>

class CChildView;
class QCheckBox;
class QComboBox;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

// The shortest time between two refreshes of the user window and the debug fields.
inline constexpr int kUserWindowRefreshMs = 1000;

class CvDlgBar : public QWidget {
    Q_OBJECT

public:
    explicit CvDlgBar(QWidget* parent = nullptr);

    // A control of the bar by its numeric id, or null when the bar has no such control.
    QWidget* GetDlgItem(int id) const;
    // The numeric id of a control of the bar, or of the control holding a widget; 0 for none.
    int DlgCtrlId(const QWidget* widget) const;

    // The user window, holding every text appended so far.
    QPlainTextEdit* UserWindow() const;
    QComboBox* CommandBox() const { return m_pCommandBox; }
    // Command button i (0 to 39).
    QPushButton* Button(int i) const { return m_buttons.at(static_cast<std::size_t>(i)); }

    // Appends text at the end of the user window and scrolls to it; a window that grows past its
    // limit is trimmed from the front first. The window shows new text at most once every
    // kUserWindowRefreshMs, so that a chattering line redraws it once a period rather than at
    // every poll tick; reading the window (UserWindow) brings it up to date.
    void AppendToUserWindow(const QString& text);
    // Appends a line of the program's own, on a line of its own when the window ends mid-line (a
    // receiver's prompt or partial reply).
    void AppendLineToUserWindow(const QString& line);
    // The texts of the two debug fields (wait count and poll step), shown with the user window's
    // next refresh, as they change at every poll tick.
    void SetDebugFieldTexts(const QString& waitCount, const QString& step);
    // Replaces the user window's text.
    void SetUserWindowText(const QString& text);
    // The user window's text with CR LF line ends.
    QString UserWindowText() const;
    // Drops the oldest part of the user window's text (see TrimUserWindowText).
    void MakeRoomInUserWindow();
    // Shows command button i (0 to 39) with its label, or hides it when the label is empty. A label
    // wider than a button may be is shown elided: the four columns take at most half the width of
    // the bar's screen, so no label can widen the main window past its screen.
    void SetButtonLabel(int i, const QString& label);
    // The whole label of button i when the button shows it elided, else an empty string.
    QString ElidedButtonLabel(int i) const;
    // Widens the bar so that every shown button's label fits; the four columns stay equal.
    void FitButtonsToLabels();
    // The user window's font: the view's large or small user font.
    void ApplyUserWindowFont();

    CChildView* m_pView = nullptr;

Q_SIGNALS:
    // A control was clicked (the button's or check box's id); the frame routes it.
    void command(int id);

protected:
    bool event(QEvent* event) override;
    void timerEvent(QTimerEvent* event) override;

private:
    // Moves the appended texts that wait into the user window and the debug fields' texts into
    // the fields.
    void ShowPendingTexts() const;
    // Shows the pending texts now after a quiet spell, else at the end of the refresh period.
    void RefreshSoon();
    void AddControl(int id, QWidget* control);
    void AddButton(int id, QPushButton* button);
    // The widest text a command button shows whole, in pixels: a few words, and never so wide
    // that four buttons take more than half the screen.
    int MaxButtonTextWidth() const;

    QComboBox* m_pCommandBox;
    QPushButton* m_pSend;
    QCheckBox* m_pLargeFont;
    QLineEdit* m_pDebugBox1;
    QLineEdit* m_pDebugBox2;
    QPushButton* m_pClear;
    QPlainTextEdit* m_pUserWindow;
    // The window's length just after an appended text that ended in a lone CR, else -1: a CR LF
    // that arrives split over two pieces then makes one line break, not two.
    mutable int m_nLengthAfterCR = -1;
    // Appended texts not yet in the window, the debug fields' texts not yet shown (null when
    // shown), and the timer that moves them there.
    mutable QString m_strPendingUserText;
    mutable QString m_strPendingWaitCount;
    mutable QString m_strPendingStep;
    QBasicTimer m_userWindowRefresh;
    std::array<QPushButton*, 40> m_buttons{};
    // The whole label of each button that shows its label elided.
    std::array<QString, 40> m_elidedLabels;
    std::map<int, QWidget*> m_controls;
};
