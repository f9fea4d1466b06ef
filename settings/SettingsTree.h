#pragma once
// A tree of Section/Key values as the settings store holds them. The view's settings are loaded
// from and saved to one; the native store stands behind it in the program.
#include <QSettings>
#include <QString>
#include <QVariant>

class SettingsTree {
public:
    virtual ~SettingsTree() = default;
    // The stored value, or an invalid QVariant when there is none.
    virtual QVariant Value(const QString& key) const = 0;
    virtual void SetValue(const QString& key, const QVariant& value) = 0;
};

// The tree of a QSettings store.
class QSettingsTree final : public SettingsTree {
public:
    explicit QSettingsTree(QSettings& settings) : m_settings(settings) {}
    QVariant Value(const QString& key) const override { return m_settings.value(key); }
    void SetValue(const QString& key, const QVariant& value) override { m_settings.setValue(key, value); }

private:
    QSettings& m_settings;
};
