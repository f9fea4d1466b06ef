// The operator's road to the receiver: the dialog bar and the menu drive a simulated receiver on
// a pseudo-terminal. Timer ticks are delivered by calling the timer handler.
#include "app/Globals.h"
#include "app/MainFrame.h"
#include "platform/MessageBox.h"
#include "platform/SerialPort.h"
#include "platform/TickCount.h"
#include "simulator/ReceiverSimulator.h"
#include "support/PollTicks.h"
#include "support/WaitBounds.h"

#include <QAction>
#include <QComboBox>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QPushButton>
#include <gtest/gtest.h>

namespace {

class OperatorQueueTest : public ::testing::Test {
protected:
    OperatorQueueTest() {
        platform::SetTickSource(m_clock);
        view.OnTimer(IDT_STARTUP); // the start-up tick, which no later event loop may run again
        frame.Action(ID_RECEIVER_HP)->trigger();
        m_sim.start();
        view.m_strComPort = m_sim.portPath();
        view.m_bAutoLeaps = false;
        view.m_bInitZ3816A = false;
        view.m_bBeepOnError = false;
        view.m_nRetries = 20;
    }
    ~OperatorQueueTest() override {
        view.OnStop();
        platform::SetTickSource(nullptr);
    }

    void UserCommandTick() { view.OnTimer(IDT_USER_COMMAND); }
    // Runs poll ticks until the request in flight is answered or polling stopped.
    void CompleteStep() {
        PollTick(view);
        for (int i = 0; i < 200 && view.IsRunning() && view.m_nWaitCount > 0; ++i) {
            view.OnTimer(IDT_POLL);
            if (view.IsRunning() && view.m_nWaitCount > 0)
                view.m_hActivePort->waitForReadyRead(20);
        }
    }
    QPushButton* SendButton() { return qobject_cast<QPushButton*>(frame.m_wndDlgBar.GetDlgItem(IDC_SEND)); }

    std::shared_ptr<platform::ManualTickSource> m_clock = std::make_shared<platform::ManualTickSource>(5000);
    sim::ReceiverSimulator m_sim{sim::Family::HewlettPackard};
    CMainFrame frame;
    CChildView& view = frame.m_wndView;
};

TEST_F(OperatorQueueTest, CommandsReachTheReceiverOnePerTickInTheOrderEntered) {
    view.m_strButton[0] = {QStringLiteral("Errors"), QStringLiteral(":SYST:ERR?")};
    view.UpdateDialogBar();
    frame.m_wndDlgBar.Button(0)->click();
    frame.m_wndDlgBar.CommandBox()->setEditText(QStringLiteral("*IDN?"));
    SendButton()->click();
    frame.m_wndDlgBar.Button(0)->click();
    ASSERT_EQ(view.m_listCommands.size(), 3);

    // Stopped: each command opens the port for itself alone and closes it after its reply.
    for (int i = 0; i < 3; ++i) {
        UserCommandTick();
        ASSERT_TRUE(view.IsRunning()) << i;
        UserCommandTick(); // the command taken is not sent yet: nothing more is taken
        EXPECT_EQ(view.m_listCommands.size(), 2 - i);
        CompleteStep();
        EXPECT_FALSE(view.IsRunning()) << i;
    }
    using Sent = std::vector<QByteArray>;
    EXPECT_EQ(m_sim.received(), (Sent{":SYST:ERR?\r", "*IDN?\r", ":SYST:ERR?\r"}));
    m_sim.clearReceived();

    // A command taken while the one before still waits for its reply is not stranded when the
    // port closes after that reply: it goes out on a port opened for it, and the queue goes on.
    view.m_listCommands << QStringLiteral("*IDN?\r") << QStringLiteral(":SYST:ERR?\r")
                        << QStringLiteral("*IDN?\r");
    UserCommandTick();
    PollTick(view);    // sent
    UserCommandTick(); // taken while its reply is outstanding
    CompleteStep();
    for (int i = 0; i < 4; ++i) {
        UserCommandTick();
        CompleteStep();
    }
    EXPECT_FALSE(view.IsRunning());
    EXPECT_TRUE(view.m_listCommands.isEmpty() && view.m_strUserCommand.isEmpty());
    EXPECT_EQ(m_sim.received(), (Sent{"*IDN?\r", ":SYST:ERR?\r", "*IDN?\r"}));
}

TEST_F(OperatorQueueTest, TheQueueWaitsWhileAClockSettingRuns) {
    frame.Action(ID_START)->trigger();
    ASSERT_TRUE(view.IsRunning());
    SendButton()->click();
    view.m_bSetTimePending = true;
    UserCommandTick();
    EXPECT_EQ(view.m_listCommands.size(), 1);
    EXPECT_TRUE(view.m_strUserCommand.isEmpty());
    view.m_bSetTimePending = false;
    UserCommandTick();
    EXPECT_TRUE(view.m_listCommands.isEmpty());
    EXPECT_EQ(view.m_strUserCommand, "\r");
}

TEST_F(OperatorQueueTest, AButtonPressedWhileStartsMessageBoxIsUpIsSentAfterIt) {
    view.m_strButton[0] = {QStringLiteral("Errors"), QStringLiteral(":SYST:ERR?")};
    view.UpdateDialogBar();
    view.m_bPort2Enabled = true;
    view.m_strComPort2 = QStringLiteral("/dev/no-such-instrument");
    bool taken = false;
    // The box's event loop runs the user-command timer, which takes the command at once: the
    // receiver port is already open.
    platform::SetMessageBoxHandler([&](const platform::MessageBoxRequest&) {
        frame.m_wndDlgBar.Button(0)->click();
        QElapsedTimer elapsed;
        elapsed.start();
        while (!view.m_listCommands.isEmpty() && elapsed.elapsed() < kBusyMachineWaitMs)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        taken = view.m_strUserCommand == ":SYST:ERR?\r";
        return platform::MessageResult::Ok;
    });
    frame.Action(ID_START)->trigger();
    platform::SetMessageBoxHandler(
        [](const platform::MessageBoxRequest&) { return platform::MessageResult::Ok; });
    ASSERT_TRUE(taken);
    ASSERT_TRUE(view.IsRunning());

    UserCommandTick();
    CompleteStep();
    EXPECT_EQ(m_sim.received(), std::vector<QByteArray>{":SYST:ERR?\r"});
}

TEST_F(OperatorQueueTest, StartAndStopFromTheMenuSwitchTheEnablers) {
    QAction* start = frame.Action(ID_START);
    QAction* stop = frame.Action(ID_STOP);
    QAction* family = frame.Action(ID_RECEIVER_UCCM);
    QAction* updateAll = frame.Action(ID_UPDATE_ALL);
    EXPECT_TRUE(start->isEnabled());
    EXPECT_FALSE(stop->isEnabled());
    EXPECT_FALSE(updateAll->isEnabled());

    start->trigger();
    ASSERT_TRUE(view.IsRunning());
    EXPECT_FALSE(start->isEnabled());
    EXPECT_TRUE(stop->isEnabled());
    EXPECT_FALSE(family->isEnabled());
    EXPECT_FALSE(frame.Action(ID_CHOOSE_LOG_FILE)->isEnabled());
    EXPECT_TRUE(frame.Action(ID_CHOOSE_USER_FILE)->isEnabled());
    EXPECT_TRUE(frame.Action(ID_HIDE)->isEnabled());
    EXPECT_TRUE(updateAll->isEnabled()); // Start enables Update all

    stop->trigger();
    EXPECT_FALSE(view.IsRunning());
    EXPECT_TRUE(start->isEnabled());
    EXPECT_TRUE(family->isEnabled());
    EXPECT_FALSE(updateAll->isEnabled());
}

} // namespace
