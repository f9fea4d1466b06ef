#include "platform/SettingsStore.h"

#include "platform/Paths.h"
#include "platform/SettingsFileFormat.h"

#include <QIODevice>

namespace platform {

namespace {

bool ReadSettingsDevice(QIODevice& device, QSettings::SettingsMap& values) {
    values = ReadSettingsText(device.readAll());
    return true;
}

bool WriteSettingsDevice(QIODevice& device, const QSettings::SettingsMap& values) {
    const QByteArray text = WriteSettingsText(values);
    return device.write(text) == text.size();
}

// The native format's file (<name>.conf, Qt's INI layout), read with our own reader so that every
// value stays plain text.
QSettings::Format SettingsFileFormat() {
    static const QSettings::Format format = QSettings::registerFormat(
        QStringLiteral("conf"), ReadSettingsDevice, WriteSettingsDevice, Qt::CaseSensitive);
    return format;
}

} // namespace

std::unique_ptr<QSettings> OpenSettingsStore() {
    // The name as the organisation and no application name: the settings sit directly under it.
    return std::make_unique<QSettings>(SettingsFileFormat(), QSettings::UserScope, ExecutableBaseName());
}

void SetSettingsFolder(const QString& folder) {
    QSettings::setPath(SettingsFileFormat(), QSettings::UserScope, folder);
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, folder);
}

} // namespace platform
