#pragma once
// Whether the desktop shows tray icons, and how the operator brings the window back from one.
#include <optional>

// QSystemTrayIcon::isSystemTrayAvailable(), unless a test has set the answer.
bool SystemTrayAvailable();
void SetSystemTrayAvailableOverride(std::optional<bool> available);

// Trays of the D-Bus status-notifier kind report no double-clicks, only activations; there an
// activation (a single click) must bring the window back, or it could never be shown again.
bool TrayReportsOnlyActivations();
void SetTrayReportsOnlyActivationsOverride(std::optional<bool> onlyActivations);
