#pragma once
// A real FTP server for upload tests and benchmarks: pyftpdlib (Debian's python3-pyftpdlib, run by
// /usr/bin/python3) on 127.0.0.1 on a free port, serving one account from a folder. Ended by its
// own process id when this object goes.
#include "support/WaitBounds.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <functional>

// The server prints its events ("CMD <name>" per command, "STOR <path>" per file stored) as they come.
// `options` may make it slow ("--delay", seconds before each answer; "--read-limit", bytes a second
// it takes in of an upload) or stall ("--stall", a command it never answers).
class FtpServerProcess {
public:
    FtpServerProcess(const QString& root, const QString& user, const QString& password,
                     const QStringList& options = {}) {
        m_process.start(QStringLiteral("/usr/bin/python3"),
                        QStringList{QStringLiteral(ORVANE_SOURCE_DIR "/tests/support/ftp_server.py"), root,
                                    user, password} +
                            options);
        const QStringList first =
            WaitFor([](const QStringList& events) { return !events.isEmpty(); }, kBusyMachineWaitMs);
        if (!first.isEmpty() && first.front().startsWith(QLatin1String("PORT ")))
            m_port = first.front().mid(5).toInt();
        m_events.clear();
    }
    ~FtpServerProcess() {
        m_process.kill(); // its own process id
        m_process.waitForFinished(5000);
    }
    int port() const { return m_port; }
    // Events until `done` holds for them or the time is up.
    QStringList WaitFor(const std::function<bool(const QStringList&)>& done, int timeoutMs) {
        QElapsedTimer elapsed;
        elapsed.start();
        for (;;) {
            while (m_process.canReadLine())
                m_events << QString::fromUtf8(m_process.readLine()).trimmed();
            if (done(m_events) || elapsed.elapsed() >= timeoutMs || m_process.state() == QProcess::NotRunning)
                return m_events;
            m_process.waitForReadyRead(static_cast<int>(timeoutMs - elapsed.elapsed()));
        }
    }
    // Every event of the session, up to its QUIT.
    QStringList Session() {
        return WaitFor([](const QStringList& events) { return events.contains(QStringLiteral("CMD QUIT")); },
                       kBusyMachineWaitMs);
    }
    static QStringList Stored(const QStringList& events) {
        QStringList stored;
        for (const QString& event : events)
            if (event.startsWith(QLatin1String("STOR ")))
                stored << event.mid(5);
        return stored;
    }

private:
    QProcess m_process;
    int m_port = 0;
    QStringList m_events;
};
