#pragma once
// SIGTERM, SIGINT and SIGHUP (a session ending, the system shutting down, Ctrl+C) become a call on
// the user-interface thread, so the program shuts down in order and saves its settings instead of
// dying where it stands.
#include <QObject>
#include <functional>
#include <memory>

class QSocketNotifier;

namespace platform {

class TerminationSignals : public QObject {
    Q_OBJECT

public:
    // Installs the handlers; onRequest runs on this thread's event loop for each signal.
    explicit TerminationSignals(std::function<void()> onRequest);
    ~TerminationSignals() override;
    TerminationSignals(const TerminationSignals&) = delete;
    TerminationSignals& operator=(const TerminationSignals&) = delete;

    bool installed() const { return m_bInstalled; }

private:
    std::function<void()> m_onRequest;
    std::unique_ptr<QSocketNotifier> m_pNotifier;
    bool m_bInstalled = false;
};

} // namespace platform
