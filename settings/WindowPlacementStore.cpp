// The main window's placement in the settings store, Initial/WindowPos.
#include "app/ChildView.h"
#include "platform/SettingsStore.h"
#include "settings/SettingsKeys.h"

bool CChildView::LoadWindowPlacement(WindowPlacement& placement) const {
    // An unquoted list of numbers comes back from the store as a list of strings.
    const QVariant value = platform::OpenSettingsStore()->value(SettingsKey::WindowPos);
    const QString stored = value.typeId() == QMetaType::QStringList
                               ? value.toStringList().join(QLatin1Char(','))
                               : value.toString();
    if (stored.isEmpty())
        return false;
    const auto parsed = ParseWindowPlacement(stored);
    if (!parsed)
        return false;
    placement = *parsed;
    return true;
}

void CChildView::SaveWindowPlacement(const WindowPlacement& placement) const {
    platform::OpenSettingsStore()->setValue(SettingsKey::WindowPos, FormatWindowPlacement(placement));
}
