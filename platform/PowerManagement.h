#pragma once
// Keeping the PC awake while the receiver is polled, and the suspend and resume notices, through
// the login manager on the system bus. Without a system bus nothing happens and nothing fails.
#include <QObject>
#include <functional>
#include <memory>

class QDBusUnixFileDescriptor;

namespace platform {

class PowerManagement : public QObject {
    Q_OBJECT

public:
    // The process-wide instance, made on first use (on the user-interface thread).
    static PowerManagement& instance();
    ~PowerManagement() override;

    // Holds (true) or releases (false) a lock against sleep and idle.
    void setKeepAwake(bool on);
    bool keepingAwake() const;

Q_SIGNALS:
    void suspending();
    void resumed();

private Q_SLOTS:
    void onPrepareForSleep(bool start);

private:
    PowerManagement();
    std::unique_ptr<QDBusUnixFileDescriptor> m_inhibitLock;
    bool m_bBusConnected = false;
};

// Keeps the PC and display awake (true) or lets them sleep again (false). Goes to
// PowerManagement unless a test has put a handler in its place.
void KeepAwake(bool on);
void SetKeepAwakeHandler(std::function<void(bool)> handler);

} // namespace platform
