#pragma once

// The per-user component registry, shared by the library (which registers
// itself) and by hosts (which look ProgIDs up). Header-only so that a host
// needs no link to the library to read it.

#include <QDir>
#include <QSettings>
#include <QString>

namespace ComponentRegistry {

inline QString filePath()
{
    QString base = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (base.isEmpty() || !QDir::isAbsolutePath(base))
        base = QDir::homePath() + QStringLiteral("/.config");
    return base + QStringLiteral("/ComponentRegistry/components.ini");
}

// The registered library path of progId, or an empty text.
inline QString libraryFor(const QString& progId)
{
    QSettings settings(filePath(), QSettings::IniFormat);
    return settings.value(progId + QStringLiteral("/Library")).toString();
}

inline bool record(const QString& progId, const QString& libraryPath)
{
    QSettings settings(filePath(), QSettings::IniFormat);
    settings.setValue(progId + QStringLiteral("/Library"), libraryPath);
    settings.sync();
    return settings.status() == QSettings::NoError;
}

// Forgets progId when it still points at libraryPath (another copy of the
// library may have registered itself since).
inline bool forget(const QString& progId, const QString& libraryPath)
{
    QSettings settings(filePath(), QSettings::IniFormat);
    if (settings.value(progId + QStringLiteral("/Library")).toString() == libraryPath)
        settings.remove(progId);
    settings.sync();
    return settings.status() == QSettings::NoError;
}

} // namespace ComponentRegistry
