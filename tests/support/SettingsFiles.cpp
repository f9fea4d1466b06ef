#include "SettingsFiles.h"

#include "platform/SettingsStore.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace {
QString NewFolder() {
    static QTemporaryDir root;
    static int counter = 0;
    const QString folder = root.filePath(QStringLiteral("store%1").arg(++counter));
    QDir().mkpath(folder);
    return folder;
}

QString SettingsFilePath() {
    return platform::OpenSettingsStore()->fileName();
}
} // namespace

void UseFreshSettingsStore() {
    platform::SetSettingsFolder(NewFolder());
}

void RestartSettingsStore() {
    QFile file(SettingsFilePath());
    const QByteArray bytes = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    WriteSettingsFile(bytes);
}

void WriteSettingsFile(const QByteArray& bytes) {
    UseFreshSettingsStore();
    QFile file(SettingsFilePath());
    if (file.open(QIODevice::WriteOnly))
        file.write(bytes);
}

QString ReadSettingsFile() {
    QFile file(SettingsFilePath());
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}
