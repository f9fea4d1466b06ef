#include "app/MainFrame.h"
#include "controls/CommandQueue.h"
#include "platform/Paths.h"
#include "support/SettingsFiles.h"
#include "support/WaitBounds.h"

#include <QApplication>
#include <QComboBox>
#include <QHelpEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTextDocument>
#include <QToolTip>
#include <gtest/gtest.h>

namespace {

class DialogBarTest : public ::testing::Test {
protected:
    DialogBarTest() {
        for (int i = 0; i < kCommandButtons; ++i)
            view.m_strButton[i] = {QString(), QStringLiteral("CMD%1").arg(i)};
        view.m_strButton[0] = {QStringLiteral("Status"), QStringLiteral("SST?<CR>")};
        view.m_strButton[5] = {QStringLiteral("Empty"), QString()};
        view.m_strButton[39] = {QStringLiteral("A&B"), QStringLiteral(":SYST:ERR?")};
        view.m_strCommandList = QStringLiteral("zeta;Alpha;beta;tail");
        view.UpdateDialogBar();
    }

    CMainFrame frame;
    CChildView& view = frame.m_wndView;
    CvDlgBar& bar = frame.m_wndDlgBar;
};

TEST_F(DialogBarTest, ButtonsShowTheirLabelsAndHideWithout) {
    EXPECT_FALSE(bar.Button(0)->isHidden());
    EXPECT_EQ(bar.Button(0)->text(), "Status");
    EXPECT_TRUE(bar.Button(1)->isHidden());    // a command but no label
    EXPECT_EQ(bar.Button(39)->text(), "A&&B"); // '&' is shown, not a shortcut

    // A family change relabels: the hidden button appears, the shown one goes.
    view.m_strButton[0].label.clear();
    view.m_strButton[1].label = QStringLiteral("One");
    view.UpdateDialogBar();
    EXPECT_TRUE(bar.Button(0)->isHidden());
    EXPECT_EQ(bar.Button(1)->text(), "One");
}

TEST_F(DialogBarTest, CommandBoxAndButtonsQueueTheirText) {
    QComboBox* box = bar.CommandBox();
    ASSERT_EQ(box->count(), 3); // "tail" has no ';' after it
    EXPECT_EQ(box->itemText(0), "Alpha");
    EXPECT_EQ(box->itemText(2), "zeta");
    EXPECT_EQ(box->currentText(), ""); // nothing chosen after a refill

    box->setCurrentIndex(1);
    qobject_cast<QPushButton*>(bar.GetDlgItem(IDC_SEND))->click();
    box->setEditText(QString());
    qobject_cast<QPushButton*>(bar.GetDlgItem(IDC_SEND))->click();
    // Buttons queue their command and a CR, even a command already holding "<CR>", or none.
    bar.Button(0)->click();
    bar.Button(5)->click();
    EXPECT_EQ(view.m_listCommands, (QStringList{"beta\r", "\r", "SST?<CR>\r", "\r"}));
}

TEST_F(DialogBarTest, ReturnAndEnterTypedIntoTheCommandBoxPressSend) {
    QComboBox* box = bar.CommandBox();
    frame.show();
    frame.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&frame, kBusyMachineWaitMs));
    view.m_listCommands.clear();
    // The keys go to whatever has the focus after a click in the box, as a user types them.
    QTest::mouseClick(box, Qt::LeftButton, {}, box->lineEdit()->geometry().center());
    ASSERT_TRUE(QApplication::focusWidget());
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("SST?<CR>"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    box->setEditText(QStringLiteral("TWO"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_EQ(view.m_listCommands, (QStringList{"SST?<CR>", "TWO\r"}));
}

TEST_F(DialogBarTest, ToolTipsNameTheControlOrTheButtonCommand) {
    EXPECT_EQ(view.OnToolTipText(IDC_BUTTON1), "SST?<CR>");
    EXPECT_EQ(view.OnToolTipText(IDC_LARGE_FONT), "");
    // A widget inside a control (the command box's edit field) belongs to that control.
    EXPECT_EQ(bar.DlgCtrlId(bar.CommandBox()->lineEdit()), IDC_COMMAND_BOX);

    // Shown, the command's notation is text, not markup.
    bar.resize(400, 700);
    bar.show();
    QApplication::processEvents(); // runs the start-up tick, which loads the family's buttons
    view.m_strButton[0].command = QStringLiteral("SST?<CR>");
    const QPoint onButton = bar.Button(0)->geometry().center();
    QHelpEvent help(QEvent::ToolTip, onButton, bar.mapToGlobal(onButton));
    QApplication::sendEvent(&bar, &help);
    QTextDocument shown;
    shown.setHtml(QToolTip::text());
    EXPECT_EQ(shown.toPlainText(), "SST?<CR>");
}

TEST_F(DialogBarTest, UserWindowStaysBoundedAndStartsAtALine) {
    const QString line = QStringLiteral("0123456789012345678901234567890123456789\r\n");
    for (int i = 0; i < 3000; ++i)
        bar.AppendToUserWindow(QStringLiteral("%1 ").arg(i, 5) + line);
    const QString text = bar.UserWindow()->toPlainText();
    EXPECT_LE(text.size(), kUserWindowLimit);
    EXPECT_GT(text.size(), kUserWindowLimit / 2);
    EXPECT_TRUE(text.startsWith(QLatin1Char(' '))) << qPrintable(text.left(50));
    EXPECT_TRUE(text.endsWith(QStringLiteral(" 2999 ") + line.chopped(2) + QLatin1Char('\n')));

    // A single text longer than the whole window keeps its tail.
    bar.AppendToUserWindow(QString(kUserWindowLimit + 100, QLatin1Char('x')) + QStringLiteral("END"));
    EXPECT_LE(bar.UserWindow()->toPlainText().size(), kUserWindowLimit);
    EXPECT_TRUE(bar.UserWindow()->toPlainText().endsWith(QStringLiteral("END")));
}

TEST_F(DialogBarTest, ACrLfSplitOverTwoPiecesOfTrafficBreaksTheLineOnce) {
    for (const char* piece : {"abc\r", "\ndef\r", "ghi\r\n", "\njkl"})
        bar.AppendToUserWindow(QString::fromLatin1(piece));
    EXPECT_EQ(bar.UserWindow()->toPlainText(), QStringLiteral("abc\ndef\nghi\n\njkl"));
}

TEST(DialogBarLabels, AProfilesLongLabelIsElidedAtEveryStartAndTheWindowStaysWithinItsScreen) {
    UseFreshSettingsStore();
    const QString label = QStringLiteral("Survey then hold ").repeated(12).left(198) + QLatin1Char('!');
    const QString profile = platform::DocumentsFolder() + QStringLiteral("/long-label.ini");
    {
        CMainFrame frame;
        frame.m_wndView.Initialise();
        frame.m_wndView.m_strButton[0] = {label, QStringLiteral("SURV?")};
        ASSERT_TRUE(frame.m_wndView.WriteProfile(profile));
        frame.m_wndView.m_strProfilePath = profile;
    } // shut down: the profile's path is saved

    // The next start reads the profile's buttons again.
    CMainFrame frame;
    frame.show();
    frame.m_wndView.Initialise();
    QApplication::processEvents();
    const CvDlgBar& bar = frame.m_wndDlgBar;
    ASSERT_EQ(frame.m_wndView.m_strButton[0].label, label);
    const int screenWidth = frame.screen()->availableGeometry().width();
    EXPECT_LE(frame.frameGeometry().width(), screenWidth);
    EXPECT_LE(frame.minimumSizeHint().width(), screenWidth);
    EXPECT_LE(bar.width(), screenWidth / 2 + 20);

    const QString shown = bar.Button(0)->text();
    EXPECT_TRUE(shown.endsWith(QChar(0x2026))) << qPrintable(shown);
    EXPECT_TRUE(label.startsWith(shown.chopped(1)));
    EXPECT_EQ(bar.ElidedButtonLabel(0), label);
    EXPECT_EQ(frame.m_wndView.OnToolTipText(IDC_BUTTON1), label + QStringLiteral("\nSURV?"));
    // The family's short labels stay whole, and so do their tool tips.
    EXPECT_EQ(bar.Button(1)->text(), frame.m_wndView.m_strButton[1].label);
    EXPECT_EQ(frame.m_wndView.OnToolTipText(IDC_BUTTON1 + 1), frame.m_wndView.m_strButton[1].command);
}

} // namespace
