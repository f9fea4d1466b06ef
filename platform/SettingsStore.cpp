#include "platform/SettingsStore.h"

#include "platform/Paths.h"

namespace platform {

std::unique_ptr<QSettings> OpenSettingsStore() {
    // The name as the organisation and no application name: the settings sit directly under it.
    return std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope, ExecutableBaseName());
}

void SetSettingsFolder(const QString& folder) {
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, folder);
}

} // namespace platform
