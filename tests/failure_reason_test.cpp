// Two failures of one output give the same reason when only the figures of their tries differ (the
// time a connect took, the bytes a transfer got), and different reasons whenever anything else does.
#include "app/FailureReason.h"

#include <gtest/gtest.h>

namespace {

// libcurl's texts of the same failure met by two tries, with the figures of each.
TEST(FailureReason, TriesThatFailTheSameWayGiveOneReason) {
    const QString refused = QStringLiteral("FTP upload failed: Failed to connect to 127.0.0.1 port 2121 "
                                           "after %1 ms: Couldn't connect to server");
    const QString timedOut = QStringLiteral("Connection timed out after %1 milliseconds FTP connected OK ");
    const QString stalled =
        QStringLiteral("Operation timed out after %1 milliseconds with %2 out of %3 bytes received");
    const QString resolving =
        QStringLiteral("Failed to resolve host 'ftp.example.com' with timeout after %1 ms");
    EXPECT_TRUE(SameReason(refused.arg(0), refused.arg(1)));
    EXPECT_TRUE(SameReason(refused.arg(0), refused.arg(10001)));
    EXPECT_TRUE(SameReason(timedOut.arg(10001), timedOut.arg(10002)));
    EXPECT_TRUE(SameReason(stalled.arg(5000).arg(0).arg(1234), stalled.arg(5003).arg(512).arg(1240)));
    EXPECT_TRUE(SameReason(QStringLiteral("Connection timeout after 999 ms"),
                           QStringLiteral("Connection timeout after 1000 ms")));
    EXPECT_TRUE(SameReason(resolving.arg(3), resolving.arg(3004)));
    // A connect that timed out, worded by where the time ran out.
    const QString connectTimedOut = QStringLiteral("FTP upload failed: %1 FTP timeouts set OK ");
    const QString wordings[] = {
        QStringLiteral("Failed to connect to 127.0.0.1 port 2121 after 1000 ms: Timeout was reached"),
        QStringLiteral("Connection timeout after 2000 ms"),
        QStringLiteral("Connection timed out after 2001 milliseconds"),
    };
    for (const QString& wording : wordings)
        EXPECT_TRUE(SameReason(connectTimedOut.arg(wordings[0]), connectTimedOut.arg(wording)))
            << qPrintable(wording);
}

TEST(FailureReason, WhatTellsReasonsApartStays) {
    const auto refused = [](const char* host, int port, const char* error) {
        return QStringLiteral("Failed to connect to %1 port %2 after 0 ms: %3")
            .arg(QLatin1String(host))
            .arg(port)
            .arg(QLatin1String(error));
    };
    EXPECT_FALSE(SameReason(refused("127.0.0.1", 2121, "Connection refused"),
                            refused("127.0.0.1", 2122, "Connection refused")));
    EXPECT_FALSE(SameReason(refused("127.0.0.1", 2121, "Connection refused"),
                            refused("127.0.0.2", 2121, "Connection refused")));
    EXPECT_FALSE(SameReason(refused("127.0.0.1", 2121, "Connection refused"),
                            refused("127.0.0.1", 2121, "No route to host")));
    EXPECT_FALSE(SameReason(QStringLiteral("Connection timed out after 10001 milliseconds"),
                            QStringLiteral("Resolving timed out after 10001 milliseconds")));
    EXPECT_FALSE(SameReason(QStringLiteral("Connection timeout after 1000 ms"),
                            refused("127.0.0.1", 2121, "Couldn't connect to server")));
    EXPECT_FALSE(SameReason(QStringLiteral("Access denied: 530"), QStringLiteral("Access denied: 550")));
    // Figures in a path or a count of the program's own are not a try's.
    EXPECT_FALSE(SameReason(QStringLiteral("Unable to write the exported map: cannot write /srv/run 1 after "
                                           "5 ms/map.png: No such file or directory"),
                            QStringLiteral("Unable to write the exported map: cannot write /srv/run 1 after "
                                           "6 ms/map.png: No such file or directory")));
    EXPECT_FALSE(
        SameReason(QStringLiteral("Unable to read every setting of /s.conf: the 12 values past them"),
                   QStringLiteral("Unable to read every setting of /s.conf: the 13 values past them")));
}

} // namespace
