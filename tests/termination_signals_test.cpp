#include "platform/TerminationSignals.h"
#include "support/WaitBounds.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <csignal>
#include <gtest/gtest.h>

namespace {
int RunEventsUntil(const int& count, int wanted) {
    QElapsedTimer elapsed;
    elapsed.start();
    while (count < wanted && elapsed.elapsed() < kBusyMachineWaitMs)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return count;
}
} // namespace

TEST(TerminationSignals, EachSignalBecomesOneCallOnTheEventLoopUntilRemoved) {
    int requests = 0;
    {
        const platform::TerminationSignals signals([&requests] { ++requests; });
        ASSERT_TRUE(signals.installed());
        // A second instance does not take the signals over.
        const platform::TerminationSignals second([] { FAIL(); });
        EXPECT_FALSE(second.installed());

        std::raise(SIGTERM);
        EXPECT_EQ(requests, 0); // nothing runs inside the handler
        EXPECT_EQ(RunEventsUntil(requests, 1), 1);
        std::raise(SIGINT);
        std::raise(SIGHUP);
        EXPECT_GE(RunEventsUntil(requests, 2), 2);
    }
    struct sigaction current {};
    sigaction(SIGTERM, nullptr, &current);
    EXPECT_EQ(current.sa_handler, SIG_DFL);
}
