// Hiding the main window to a tray icon and bringing it back.
#include "controls/TrayIcon.h"

#include "app/ChildView.h"
#include "app/Globals.h"
#include "app/MainFrame.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>

namespace {
std::optional<bool> g_trayAvailableOverride;
std::optional<bool> g_onlyActivationsOverride;
constexpr int kTrayTipLength = 127;
} // namespace

bool SystemTrayAvailable() {
    return g_trayAvailableOverride.value_or(QSystemTrayIcon::isSystemTrayAvailable());
}

void SetSystemTrayAvailableOverride(std::optional<bool> available) {
    g_trayAvailableOverride = available;
}

bool TrayReportsOnlyActivations() {
    if (g_onlyActivationsOverride)
        return *g_onlyActivationsOverride;
    const QDBusConnection bus = QDBusConnection::sessionBus();
    return bus.isConnected() && bus.interface() &&
           bus.interface()->isServiceRegistered(QStringLiteral("org.kde.StatusNotifierWatcher")).value();
}

void SetTrayReportsOnlyActivationsOverride(std::optional<bool> onlyActivations) {
    g_onlyActivationsOverride = onlyActivations;
}

void CChildView::OnHide() {
    if (!m_pMainFrame)
        return;
    // Without a tray there would be no way back to a hidden window: minimise instead.
    if (!SystemTrayAvailable()) {
        m_pMainFrame->showMinimized();
        return;
    }
    if (m_bTrayIcon)
        RemoveTrayIcon();
    m_pTrayIcon = std::make_unique<QSystemTrayIcon>(m_hIcon, this);
    m_pTrayIcon->setToolTip(g_strWindowTitle.left(kTrayTipLength));
    connect(m_pTrayIcon.get(), &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) { OnTrayNotify(reason); });
    m_bTrayIcon = true;
    m_pTrayIcon->show();
    SetTimer(IDT_TRAY_WATCH, kTrayWatchIntervalMs);
    // Polling goes on while the window is hidden.
    if (m_pMainFrame->isVisible())
        m_trayHiddenState = m_pMainFrame->windowState();
    m_pMainFrame->hide();
}

namespace {
// Shows a window hidden to the tray on the screen, maximised if it was so when hidden, else
// normal: never as no more than an icon in the task list (the tray icon is gone by then). Once Qt
// has minimised a window, it asks the window manager to map it iconic until Qt itself restores
// it, so a window that the window manager restored would map again iconic, unseen. Going from the
// minimised state to the shown one while hidden lets Qt clear that request. (From minimised and
// maximised, Qt would ask the window manager to drop the maximised state as it maps the window.)
void ShowFromTray(QWidget& window, Qt::WindowStates hiddenIn) {
    const Qt::WindowStates shown = hiddenIn & ~Qt::WindowMinimized;
    window.setWindowState(Qt::WindowMinimized);
    window.setWindowState(shown);
    window.show();
    window.raise();
    window.activateWindow();
}
} // namespace

void CChildView::OnTrayNotify(QSystemTrayIcon::ActivationReason reason) {
    const bool restore = reason == QSystemTrayIcon::DoubleClick ||
                         (reason == QSystemTrayIcon::Trigger && TrayReportsOnlyActivations());
    if (!restore)
        return;
    if (m_pMainFrame)
        ShowFromTray(*m_pMainFrame, m_trayHiddenState);
    RemoveTrayIcon();
}

void CChildView::TrayWatchTick() {
    if (!m_bTrayIcon)
        return;
    if (SystemTrayAvailable()) {
        SetTimer(IDT_TRAY_WATCH, kTrayWatchIntervalMs);
        return;
    }
    if (m_pMainFrame)
        ShowFromTray(*m_pMainFrame, m_trayHiddenState);
    RemoveTrayIcon();
}

void CChildView::RemoveTrayIcon() {
    KillTimer(IDT_TRAY_WATCH);
    if (!m_bTrayIcon)
        return;
    if (m_pTrayIcon) {
        m_pTrayIcon->hide();
        // The icon may be removed from its own activation signal: delete it once that returns.
        m_pTrayIcon.release()->deleteLater();
    }
    m_bTrayIcon = false;
}
