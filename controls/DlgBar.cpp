#include "controls/DlgBar.h"

#include "app/ChildView.h"
#include "app/CommandIds.h"
#include "app/DiagnosticText.h"
#include "controls/CommandQueue.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHelpEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTextCursor>
#include <QTimerEvent>
#include <QToolTip>
#include <QVBoxLayout>
#include <algorithm>
#include <utility>

namespace {
constexpr int kButtonColumns = 4;
constexpr int kButtonRows = 10;
constexpr int kBarMargin = 4;
constexpr int kButtonSpacing = 3;
// A command button shows this many average characters of its label whole: somewhat more than the
// 14 its place on the bar was laid out for, so that the families' own labels always fit.
constexpr int kButtonLabelChars = 18;
} // namespace

CvDlgBar::CvDlgBar(QWidget* parent)
    : QWidget(parent), m_pCommandBox(new QComboBox(this)), m_pSend(new QPushButton(tr("Send"), this)),
      m_pLargeFont(new QCheckBox(tr("Large font"), this)), m_pDebugBox1(new QLineEdit(this)),
      m_pDebugBox2(new QLineEdit(this)), m_pClear(new QPushButton(tr("X"), this)),
      m_pUserWindow(new QPlainTextEdit(this)) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(kBarMargin, kBarMargin, kBarMargin, kBarMargin);
    layout->setSpacing(kButtonSpacing);

    // Send and the command box, which lists the family's commands and takes typed ones.
    auto* sendRow = new QHBoxLayout;
    m_pSend->setDefault(true);
    m_pSend->setFixedWidth(m_pSend->fontMetrics().horizontalAdvance(m_pSend->text()) + 16);
    m_pCommandBox->setEditable(true);
    m_pCommandBox->setInsertPolicy(QComboBox::NoInsert);
    m_pCommandBox->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    m_pCommandBox->setMinimumContentsLength(10);
    m_pCommandBox->setMaxVisibleItems(12);
    // Return or Enter in the box presses Send. The box hands its keys to the edit field directly,
    // past any event filter, so the edit field's own signal is the one to follow.
    connect(m_pCommandBox->lineEdit(), &QLineEdit::returnPressed, this, [this] { Q_EMIT command(IDC_SEND); });
    sendRow->addWidget(m_pSend);
    sendRow->addWidget(m_pCommandBox, 1);
    layout->addLayout(sendRow);

    // Large font, the two debug fields and the clear button.
    auto* switchRow = new QHBoxLayout;
    for (QLineEdit* box : {m_pDebugBox1, m_pDebugBox2}) {
        box->setReadOnly(true);
        box->setFixedWidth(box->fontMetrics().horizontalAdvance(QStringLiteral("00 00")) + 12);
    }
    m_pClear->setFixedWidth(m_pClear->fontMetrics().horizontalAdvance(QStringLiteral("XX")) + 16);
    switchRow->addWidget(m_pLargeFont);
    switchRow->addStretch(1);
    switchRow->addWidget(m_pDebugBox2);
    switchRow->addWidget(m_pDebugBox1);
    switchRow->addWidget(m_pClear);
    layout->addLayout(switchRow);

    m_pUserWindow->setReadOnly(true);
    m_pUserWindow->setUndoRedoEnabled(false);
    m_pUserWindow->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_pUserWindow->setMinimumWidth(260);
    layout->addWidget(m_pUserWindow, 1);

    // The forty command buttons, four to a row; a hidden button keeps its place.
    auto* grid = new QGridLayout;
    grid->setSpacing(kButtonSpacing);
    for (int i = 0; i < kButtonColumns * kButtonRows; ++i) {
        auto* button = new QPushButton(this);
        QSizePolicy policy(QSizePolicy::Ignored, QSizePolicy::Fixed);
        policy.setRetainSizeWhenHidden(true);
        button->setSizePolicy(policy);
        button->hide();
        m_buttons[static_cast<std::size_t>(i)] = button;
        grid->addWidget(button, i / kButtonColumns, i % kButtonColumns);
        AddButton(IDC_BUTTON1 + i, button);
    }
    for (int column = 0; column < kButtonColumns; ++column)
        grid->setColumnStretch(column, 1);
    layout->addLayout(grid);

    AddButton(IDC_SEND, m_pSend);
    AddButton(IDC_CLEAR_USER_WINDOW, m_pClear);
    AddControl(IDC_COMMAND_BOX, m_pCommandBox);
    AddControl(IDC_USER_WINDOW, m_pUserWindow);
    AddControl(IDC_LARGE_FONT, m_pLargeFont);
    AddControl(IDC_DEBUG_BOX1, m_pDebugBox1);
    AddControl(IDC_DEBUG_BOX2, m_pDebugBox2);
    connect(m_pLargeFont, &QCheckBox::clicked, this, [this] { Q_EMIT command(IDC_LARGE_FONT); });
}

void CvDlgBar::AddControl(int id, QWidget* control) {
    m_controls[id] = control;
}

void CvDlgBar::AddButton(int id, QPushButton* button) {
    AddControl(id, button);
    connect(button, &QPushButton::clicked, this, [this, id] { Q_EMIT command(id); });
}

QWidget* CvDlgBar::GetDlgItem(int id) const {
    const auto it = m_controls.find(id);
    return it == m_controls.end() ? nullptr : it->second;
}

int CvDlgBar::DlgCtrlId(const QWidget* widget) const {
    for (; widget && widget != this; widget = widget->parentWidget())
        for (const auto& [id, control] : m_controls)
            if (control == widget)
                return id;
    return 0;
}

bool CvDlgBar::event(QEvent* event) {
    // Tooltips are asked of the view for the control under the mouse, as they are needed.
    if (event->type() == QEvent::ToolTip && m_pView) {
        const auto* help = static_cast<QHelpEvent*>(event);
        const QString text = m_pView->OnToolTipText(DlgCtrlId(childAt(help->pos())));
        if (text.isEmpty())
            QToolTip::hideText();
        else
            QToolTip::showText(help->globalPos(), PlainTextToolTip(text), this);
        return true;
    }
    return QWidget::event(event);
}

namespace {
int UserWindowLength(const QPlainTextEdit& window) {
    return window.document()->characterCount() - 1; // the document counts a final separator
}
} // namespace

QPlainTextEdit* CvDlgBar::UserWindow() const {
    ShowPendingTexts();
    return m_pUserWindow;
}

void CvDlgBar::AppendToUserWindow(const QString& text) {
    m_strPendingUserText += text;
    // What waits never holds more than the window can show.
    if (m_strPendingUserText.size() > 2 * kUserWindowLimit)
        m_strPendingUserText = UserWindowTail(m_strPendingUserText, kUserWindowLimit + 1);
    RefreshSoon();
}

void CvDlgBar::AppendLineToUserWindow(const QString& line) {
    QString before = m_strPendingUserText.right(1);
    if (before.isEmpty() && UserWindowLength(*m_pUserWindow) > 0) {
        const QChar last = m_pUserWindow->document()->characterAt(UserWindowLength(*m_pUserWindow) - 1);
        before = last == QChar::ParagraphSeparator ? QStringLiteral("\n") : QString(last);
    }
    AppendToUserWindow(LineBreakBeforeOwnLine(before) + line);
}

void CvDlgBar::SetDebugFieldTexts(const QString& waitCount, const QString& step) {
    m_strPendingWaitCount = waitCount;
    m_strPendingStep = step;
    RefreshSoon();
}

void CvDlgBar::RefreshSoon() {
    // A text after a quiet spell shows at once; texts that follow it within the refresh period
    // wait for its end and show together.
    if (m_userWindowRefresh.isActive())
        return;
    ShowPendingTexts();
    m_userWindowRefresh.start(kUserWindowRefreshMs, this);
}

void CvDlgBar::timerEvent(QTimerEvent* event) {
    if (event->timerId() != m_userWindowRefresh.timerId()) {
        QWidget::timerEvent(event);
        return;
    }
    if (m_strPendingUserText.isEmpty() && m_strPendingWaitCount.isNull()) {
        m_userWindowRefresh.stop();
        return;
    }
    ShowPendingTexts(); // the timer runs on: another period before the next texts show
}

void CvDlgBar::ShowPendingTexts() const {
    if (!m_strPendingWaitCount.isNull()) {
        m_pDebugBox1->setText(std::exchange(m_strPendingWaitCount, QString()));
        m_pDebugBox2->setText(std::exchange(m_strPendingStep, QString()));
    }
    if (m_strPendingUserText.isEmpty())
        return;
    // The window holds LF line ends; the files and the receiver's text use CR LF.
    QString shown = std::exchange(m_strPendingUserText, QString());
    if (shown.startsWith(QLatin1Char('\n')) && m_nLengthAfterCR == UserWindowLength(*m_pUserWindow))
        shown.remove(0, 1); // the window already broke the line at the CR
    m_nLengthAfterCR = -1;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    // Text longer than the whole window keeps only its own tail.
    if (shown.size() > kUserWindowLimit) {
        m_pUserWindow->clear();
        shown = UserWindowTail(shown, kUserWindowLimit);
    }
    while (UserWindowLength(*m_pUserWindow) + shown.size() > kUserWindowLimit) {
        const int before = UserWindowLength(*m_pUserWindow);
        m_pUserWindow->setPlainText(TrimUserWindowText(m_pUserWindow->toPlainText()));
        if (UserWindowLength(*m_pUserWindow) >= before) {
            m_pUserWindow->clear();
            break;
        }
    }
    QTextCursor cursor = m_pUserWindow->textCursor();
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(shown);
    m_pUserWindow->setTextCursor(cursor);
    m_pUserWindow->ensureCursorVisible();
    if (shown.endsWith(QLatin1Char('\r')))
        m_nLengthAfterCR = UserWindowLength(*m_pUserWindow);
}

void CvDlgBar::SetUserWindowText(const QString& text) {
    m_strPendingUserText.clear();
    QString shown = text;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    m_pUserWindow->setPlainText(shown);
}

QString CvDlgBar::UserWindowText() const {
    ShowPendingTexts();
    QString text = m_pUserWindow->toPlainText();
    text.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    return text;
}

void CvDlgBar::MakeRoomInUserWindow() {
    ShowPendingTexts();
    const QString text = m_pUserWindow->toPlainText();
    m_pUserWindow->setPlainText(TrimUserWindowText(text));
    m_pUserWindow->moveCursor(QTextCursor::End);
}

int CvDlgBar::MaxButtonTextWidth() const {
    const QScreen* shownOn = screen();
    const int screenWidth = shownOn ? shownOn->availableGeometry().width() : 0;
    const int buttonWidth =
        (screenWidth / 2 - 2 * kBarMargin - (kButtonColumns - 1) * kButtonSpacing) / kButtonColumns;
    // What the style adds around a button's text, measured on a text wide enough to pass any
    // minimum button width the style keeps.
    const QPushButton* button = m_buttons.front();
    QStyleOptionButton option;
    option.initFrom(button);
    option.text = QStringLiteral("x");
    constexpr int kProbeWidth = 1000;
    const QSize probe(kProbeWidth, button->fontMetrics().height());
    const int padding =
        button->style()->sizeFromContents(QStyle::CT_PushButton, &option, probe, button).width() -
        kProbeWidth;
    // One long label widens all four columns: past this width it would squeeze the graph and the
    // map into a strip beside the bar.
    const int averageChar = button->fontMetrics().averageCharWidth();
    return std::max(std::min(buttonWidth - padding, kButtonLabelChars * averageChar), averageChar);
}

void CvDlgBar::SetButtonLabel(int i, const QString& label) {
    QPushButton* button = Button(i);
    const auto slot = static_cast<std::size_t>(i);
    m_elidedLabels.at(slot).clear();
    if (label.isEmpty()) {
        button->hide();
        return;
    }
    const QString shown = button->fontMetrics().elidedText(label, Qt::ElideRight, MaxButtonTextWidth());
    if (shown != label)
        m_elidedLabels.at(slot) = label;
    // A label is plain text: '&' shows as itself rather than marking a shortcut.
    button->setText(QString(shown).replace(QLatin1Char('&'), QStringLiteral("&&")));
    button->show();
}

QString CvDlgBar::ElidedButtonLabel(int i) const {
    return m_elidedLabels.at(static_cast<std::size_t>(i));
}

void CvDlgBar::FitButtonsToLabels() {
    int widest = 0;
    for (const QPushButton* button : m_buttons)
        if (!button->isHidden())
            widest = std::max(widest, button->sizeHint().width());
    for (QPushButton* button : m_buttons)
        button->setMinimumWidth(widest);
}

void CvDlgBar::ApplyUserWindowFont() {
    if (!m_pView)
        return;
    m_pUserWindow->setFont(m_pView->m_bLargeUserFont ? m_pView->m_fontUserLarge : m_pView->m_fontUserSmall);
}
