#pragma once

#include <QHash>
#include <QString>

// The per-user store of the few values that outlive a run: read with a default,
// write. Values are stored exactly as given; an empty text stays empty.
class SettingsStore {
public:
    virtual ~SettingsStore() = default;
    virtual QString read(const QString& key, const QString& defaultValue) const = 0;
    virtual void write(const QString& key, const QString& value) = 0;
};

// ~/.config/Offerwatch/Offerwatch.ini (following XDG_CONFIG_HOME), section [General].
class IniSettingsStore final : public SettingsStore {
public:
    QString read(const QString& key, const QString& defaultValue) const override;
    void write(const QString& key, const QString& value) override;
};

// Keeps the values in memory, for tests and for runs that must not touch the user's file.
class MemorySettingsStore final : public SettingsStore {
public:
    QString read(const QString& key, const QString& defaultValue) const override
    {
        return m_values.value(key, defaultValue);
    }
    void write(const QString& key, const QString& value) override { m_values.insert(key, value); }
    bool contains(const QString& key) const { return m_values.contains(key); }

private:
    QHash<QString, QString> m_values;
};
