#pragma once
// The main frame polling the simulated Hewlett Packard receiver on a pseudo-terminal, as the
// operator's program runs, with every output due at every status step: the data log, the track
// file and the page stay off until a test names them.
#include "app/MainFrame.h"
#include "controls/DlgBar.h"
#include "support/SimulatedPolling.h"
#include "support/WaitBounds.h"

#include <QPlainTextEdit>
#include <QTest>
#include <functional>
#include <gtest/gtest.h>

class PollingMainFrameTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(QTest::qWaitFor([this] { return m_view.m_bInitialised; }, kBusyMachineWaitMs));
        ASSERT_TRUE(m_receiver.start());
        PollSimulatedHewlettPackard(m_view, m_receiver);
        m_view.m_nLogInterval = 1;
        m_view.m_nStatusInterval = 1;
        m_view.m_strLogPath.clear();
        m_view.m_strDumpPath.clear();
        m_view.m_bHtmlStatus = false;
    }
    void TearDown() override { m_view.OnStop(); }

    bool WaitUntil(const std::function<bool()>& done) { return QTest::qWaitFor(done, kBusyMachineWaitMs); }
    QString UserWindow() const { return m_frame.m_wndDlgBar.UserWindow()->toPlainText(); }

    sim::ReceiverSimulator m_receiver{sim::Family::HewlettPackard};
    CMainFrame m_frame;
    CChildView& m_view = m_frame.m_wndView;
};
