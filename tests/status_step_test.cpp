// A simulated receiver's status screen through the poll cycle into the view: the text window, the
// lock state, the position, the satellite table with its count, and the track file.
#include "app/ChildView.h"
#include "app/Globals.h"
#include "platform/SerialPort.h"
#include "platform/TickCount.h"
#include "receiver/SatelliteTrackFile.h"
#include "simulator/ReceiverSimulator.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// Runs poll ticks until the next status step has been handled (bounded).
bool RunToStatusStep(CChildView& view) {
    view.m_strRawStatus.clear();
    for (int tick = 0; tick < 2000 && view.IsRunning() && view.m_strRawStatus.isEmpty(); ++tick) {
        view.OnTimer(IDT_POLL);
        if (view.m_hActivePort)
            view.m_hActivePort->waitForReadyRead(10);
    }
    return !view.m_strRawStatus.isEmpty();
}

} // namespace

TEST(StatusStep, SimulatedScreenReachesTheViewAndTheTrackFile) {
    auto ticks = std::make_shared<platform::ManualTickSource>(5000);
    platform::setTickSource(ticks);
    sim::ReceiverSimulator simulator(sim::Family::HewlettPackard);
    ASSERT_TRUE(simulator.start());
    QTemporaryDir dir;
    g_nReceiverType = RECEIVER_HP;
    CChildView view;
    view.SetReceiverDefaults();
    view.m_strComPort = simulator.portPath();
    view.m_bInitZ3816A = false;
    view.m_bBeepOnError = false;
    view.m_bHtmlStatus = false;
    view.m_nLogInterval = 0;
    view.m_strDumpPath = dir.filePath("gpsdmp.bin");
    view.OnStart();

    ASSERT_TRUE(RunToStatusStep(view));
    const QString title = view.m_strIdentity + " " + view.m_strStep3Reply;
    EXPECT_EQ(view.m_wndText.m_strText.section("\r\n", 0, 0).trimmed(), title); // the formatted screen
    EXPECT_TRUE(view.m_wndText.m_strText.contains("Life     "));
    EXPECT_TRUE(view.m_bTimeValid);
    EXPECT_NEAR(view.m_dLatitude, sim::ReceiverModel().latitude(), 1e-5);
    int inUse = 0;
    for (const CSatInfo& sat : view.m_sat)
        inUse += sat.InUse() ? 1 : 0;
    EXPECT_GT(view.m_nSatsInReply, 3);
    EXPECT_EQ(view.m_strChannelValue[3], QString::number(view.m_nSatsInReply));
    EXPECT_FALSE(QFile::exists(view.m_strDumpPath)); // within 10 s of Start

    ticks->advance(10001);
    view.m_sat.fill(CSatInfo{}); // the next answer changes the table
    ASSERT_TRUE(RunToStatusStep(view));
    QFile file(view.m_strDumpPath);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const std::vector<CSatInfo> records = DecodeTrackRecords(file.readAll());
    EXPECT_GE(records.size(), static_cast<std::size_t>(inUse) - 1); // a satellite may set meanwhile
    for (const CSatInfo& record : records)
        EXPECT_EQ(record.m_bySatCount, view.m_nSatsInReply);
    view.OnStop();
    platform::setTickSource(nullptr);
}
