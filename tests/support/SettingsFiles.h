#pragma once
// The settings store of a test: a fresh folder of its own, its file's text, and a settings tree
// held in memory.
#include "settings/SettingsTree.h"

#include <QByteArray>
#include <QMap>
#include <QString>

// Points the store at a new empty folder, so the next store opened starts empty.
void UseFreshSettingsStore();
// Moves the stored file into a new folder and points the store there, so that the next store
// opened parses the file as a newly started program would (the store keeps the file it parsed).
void RestartSettingsStore();
// Replaces the store by a file with the given bytes, as a new program start would find it.
void WriteSettingsFile(const QByteArray& bytes);
QString ReadSettingsFile();

class CChildView;

// Everything a view saves (its settings and the process-wide ones), as the saver writes it, the
// values as text.
QMap<QString, QString> SavedSettings(const CChildView& view);
// The same keys with the same values, each difference named by its key.
void ExpectSameSettings(const QMap<QString, QString>& actual, const QMap<QString, QString>& expected);

class MemorySettingsTree final : public SettingsTree {
public:
    QVariant Value(const QString& key) const override { return values.value(key); }
    void SetValue(const QString& key, const QVariant& value) override { values.insert(key, value); }

    QMap<QString, QVariant> values;
};
