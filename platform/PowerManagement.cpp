#include "platform/PowerManagement.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusUnixFileDescriptor>
#include <QVariant>

namespace platform {

namespace {
const QString kLoginService = QStringLiteral("org.freedesktop.login1");
const QString kLoginPath = QStringLiteral("/org/freedesktop/login1");
const QString kLoginManager = QStringLiteral("org.freedesktop.login1.Manager");
constexpr int kCallTimeoutMs = 2000;

std::function<void(bool)> g_keepAwakeHandler;
} // namespace

PowerManagement& PowerManagement::instance() {
    static PowerManagement power;
    return power;
}

PowerManagement::PowerManagement() {
    QDBusConnection bus = QDBusConnection::systemBus();
    m_bBusConnected = bus.isConnected();
    if (m_bBusConnected)
        bus.connect(kLoginService, kLoginPath, kLoginManager, QStringLiteral("PrepareForSleep"), this,
                    SLOT(onPrepareForSleep(bool)));
}

PowerManagement::~PowerManagement() = default;

void PowerManagement::setKeepAwake(bool on) {
    if (!on) {
        m_inhibitLock.reset(); // closing the descriptor releases the lock
        return;
    }
    if (m_inhibitLock || !m_bBusConnected)
        return;
    QDBusMessage call =
        QDBusMessage::createMethodCall(kLoginService, kLoginPath, kLoginManager, QStringLiteral("Inhibit"));
    call << QStringLiteral("sleep:idle") << QStringLiteral("Orvane")
         << QStringLiteral("Polling the GPS receiver") << QStringLiteral("block");
    const QDBusMessage reply = QDBusConnection::systemBus().call(call, QDBus::Block, kCallTimeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return;
    const auto lock = reply.arguments().constFirst().value<QDBusUnixFileDescriptor>();
    if (lock.isValid())
        m_inhibitLock = std::make_unique<QDBusUnixFileDescriptor>(lock);
}

bool PowerManagement::keepingAwake() const {
    return m_inhibitLock != nullptr;
}

void PowerManagement::onPrepareForSleep(bool start) {
    if (start)
        Q_EMIT suspending();
    else
        Q_EMIT resumed();
}

void KeepAwake(bool on) {
    if (g_keepAwakeHandler)
        g_keepAwakeHandler(on);
    else
        PowerManagement::instance().setKeepAwake(on);
}

void SetKeepAwakeHandler(std::function<void(bool)> handler) {
    g_keepAwakeHandler = std::move(handler);
}

} // namespace platform
