#include "SettingsFiles.h"

#include "app/ChildView.h"
#include "app/Globals.h"
#include "platform/SettingsStore.h"
#include "settings/SettingsIo.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

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

QMap<QString, QString> SavedSettings(const CChildView& view) {
    MemorySettingsTree tree;
    SaveViewSettings(tree, view, ProcessSettings{g_nReceiverType, g_bUseBitmap, g_bBlitFromDisplay});
    QMap<QString, QString> text;
    for (auto it = tree.values.cbegin(); it != tree.values.cend(); ++it)
        text.insert(it.key(), it.value().toString());
    return text;
}

void ExpectSameSettings(const QMap<QString, QString>& actual, const QMap<QString, QString>& expected) {
    ASSERT_EQ(actual.keys(), expected.keys());
    for (auto it = expected.cbegin(); it != expected.cend(); ++it)
        EXPECT_EQ(actual.value(it.key()), it.value()) << qPrintable(it.key());
}
