// The files the program writes for itself (data log, track file, user-window and debug files)
// named as FIFOs that nobody reads, while the view polls a simulated receiver.
#include "app/ChildView.h"
#include "app/Globals.h"
#include "controls/DlgBar.h"
#include "platform/SerialPort.h"
#include "platform/TickCount.h"
#include "platform/WallClock.h"
#include "simulator/ReceiverSimulator.h"
#include "support/FixedWallClock.h"
#include "support/WaitBounds.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/stat.h>

// Polling goes on, and each file says once, in the user window, that it cannot be written.
TEST(WrittenFilesAsFifos, PollingGoesOnAndEachFileSaysSoOnce) {
    QTemporaryDir dir;
    const auto fifo = [&](const char* name) {
        const QString path = dir.filePath(QLatin1String(name));
        EXPECT_EQ(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        return path;
    };
    auto ticks = std::make_shared<platform::ManualTickSource>(5000);
    platform::SetTickSource(ticks);
    platform::SetWallClock(std::make_shared<FixedWallClock>(1700000000));
    sim::ReceiverSimulator simulator(sim::Family::JacksonLabs);
    ASSERT_TRUE(simulator.start());
    g_nReceiverType = RECEIVER_JACKSON;
    CvDlgBar bar;
    CChildView view;
    view.m_pDlgBar = &bar;
    view.SetReceiverDefaults();
    view.m_strComPort = simulator.portPath();
    view.m_bBeepOnError = false;
    view.m_strLogPath = fifo("gpslog.log");
    view.m_nLogInterval = 1000;
    view.m_strDumpPath = fifo("gpsdmp.bin");
    view.m_strUserPath = fifo("gpsuser.txt");
    view.m_bUserToFile = true;
    view.m_strDebugPath = fifo("gpsdebug.txt");
    view.m_bDebugEnable = true;
    view.m_bComsDebug = true; // the data log's message goes to the user window as well
    view.OnStart();
    ASSERT_TRUE(view.IsRunning());

    int screens = 0;
    QElapsedTimer elapsed;
    elapsed.start();
    while (view.IsRunning() && screens < 3 && elapsed.elapsed() < kBusyMachineWaitMs) {
        ticks->advance(10001); // a log line and a track snapshot due at every status step
        view.m_sat = {};       // so that every satellite answer changes the table
        if (view.m_nWaitCount > 0 && view.m_hActivePort)
            view.m_hActivePort->waitForReadyRead(1000);
        view.OnTimer(IDT_POLL);
        if (!view.m_strRawStatus.isEmpty()) {
            view.m_strRawStatus.clear();
            ++screens;
        }
    }
    EXPECT_EQ(screens, 3);
    EXPECT_EQ(view.m_nTimeouts, 0);
    view.OnStop();
    platform::SetTickSource(nullptr);
    platform::SetWallClock(nullptr);

    const QString shown = bar.UserWindowText();
    const QString notRegular = QStringLiteral(": not a regular file");
    // The coms switch's own line for the data log, beside the one said whatever the switches.
    EXPECT_EQ(shown.count(QStringLiteral("Unable to open log file: ") + view.m_strLogPath), 2);
    for (const QString& said :
         {QStringLiteral("Unable to open log file: ") + view.m_strLogPath + notRegular,
          QStringLiteral("Unable to write the track file ") + view.m_strDumpPath + notRegular,
          QStringLiteral("Unable to write the user-window file ") + view.m_strUserPath + notRegular,
          QStringLiteral("Unable to write the debug file ") + view.m_strDebugPath + notRegular})
        EXPECT_EQ(shown.count(said), 1) << qPrintable(said);
}
