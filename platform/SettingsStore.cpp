#include "platform/SettingsStore.h"

#include <QSettings>

namespace {
QSettings openStore()
{
    // Keys outside any group land in the [General] section of the file.
    return QSettings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Offerwatch"),
                     QStringLiteral("Offerwatch"));
}
} // namespace

QString IniSettingsStore::read(const QString& key, const QString& defaultValue) const
{
    const QVariant value = openStore().value(key);
    // A damaged file or a value of another type reads as absent rather than as garbage.
    if (!value.isValid() || !value.canConvert<QString>())
        return defaultValue;
    return value.toString();
}

void IniSettingsStore::write(const QString& key, const QString& value)
{
    QSettings store = openStore();
    store.setValue(key, value);
    store.sync();
}
