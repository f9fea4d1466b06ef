#pragma once
// A tree of Section/Key values as the settings store holds them. The view's settings are loaded
// from and saved to one; the native store stands behind it in the program.
#include "platform/SettingsStore.h"

#include <QString>
#include <QVariant>

class SettingsTree {
public:
    virtual ~SettingsTree() = default;
    // The stored value, or an invalid QVariant when there is none.
    virtual QVariant Value(const QString& key) const = 0;
    virtual void SetValue(const QString& key, const QVariant& value) = 0;
};

// The tree of the program's settings store.
class StoreSettingsTree final : public SettingsTree {
public:
    explicit StoreSettingsTree(platform::SettingsStore& store) : m_store(store) {}
    QVariant Value(const QString& key) const override { return m_store.value(key); }
    void SetValue(const QString& key, const QVariant& value) override { m_store.setValue(key, value); }

private:
    platform::SettingsStore& m_store;
};
