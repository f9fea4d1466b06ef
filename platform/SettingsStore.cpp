#include "platform/SettingsStore.h"

#include "platform/FileWriting.h"
#include "platform/Paths.h"
#include "platform/SettingsFileFormat.h"

#include <QFile>
#include <QMutex>
#include <QTemporaryFile>
#include <utility>

namespace platform {

namespace {

// The keys whose values the store's file held too long to read, not yet told.
QMutex g_overlongMutex;
QStringList g_overlongKeys;

bool ReadSettingsDevice(QIODevice& device, QSettings::SettingsMap& values) {
    SettingsText text = ReadSettingsFile(device);
    values = std::move(text.values);
    if (!text.overlongKeys.isEmpty()) {
        const QMutexLocker lock(&g_overlongMutex);
        for (const QString& key : std::as_const(text.overlongKeys)) {
            if (!g_overlongKeys.contains(key))
                g_overlongKeys.append(key);
        }
    }
    return true;
}

// Why the store's file was last not written on this thread.
thread_local QString t_writeFailure;

// The device is Qt's save file for the store, which Qt commits when this returns true: the text
// must have reached the disk by then, as Qt's commit would keep a file cut short by a full disk.
// False makes Qt discard the temporary file and keep the old one.
bool WriteSettingsDevice(QIODevice& device, const QSettings::SettingsMap& values) {
    const QByteArray text = WriteSettingsText(values);
    auto* const file = qobject_cast<QFileDevice*>(&device);
    if (device.write(text) != text.size()) {
        t_writeFailure = device.errorString();
        return false;
    }
    return !file || FlushToDisk(*file, &t_writeFailure);
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

QStringList TakeOverlongSettings() {
    const QMutexLocker lock(&g_overlongMutex);
    return std::exchange(g_overlongKeys, QStringList());
}

void ForgetSettingsWriteFailure() {
    t_writeFailure.clear();
}

QString SettingsSaveFailureReason(const QString& fileName) {
    if (!t_writeFailure.isEmpty())
        return std::exchange(t_writeFailure, QString());
    QFile file(fileName);
    const bool existed = file.exists();
    if (!file.open(QIODevice::ReadWrite))
        return file.errorString();
    if (!existed)
        file.remove();
    // A disk without room for Qt's lock file beside the settings.
    QTemporaryFile probe(fileName + QStringLiteral(".XXXXXX"));
    QString reason;
    if (!probe.open())
        return probe.errorString();
    if (probe.write("?", 1) != 1 || !FlushToDisk(probe, &reason))
        return reason.isEmpty() ? probe.errorString() : reason;
    return QStringLiteral("access denied");
}

void SetSettingsFolder(const QString& folder) {
    QSettings::setPath(SettingsFileFormat(), QSettings::UserScope, folder);
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, folder);
}

} // namespace platform
