// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: LGPL-2.1-or-later
#pragma once

// The per-user component registry, shared by the library (which registers
// itself) and by hosts (which look ProgIDs up). Header-only so that a host
// needs no link to the library to read it.

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QString>

namespace ComponentRegistry {

inline QString configHome()
{
    QString base = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (base.isEmpty() || !QDir::isAbsolutePath(base))
        base = QDir::homePath() + QStringLiteral("/.config");
    return base;
}

inline QString filePath()
{
    return configHome() + QStringLiteral("/Offerwatch/components.ini");
}

// Earlier versions kept the registry in ~/.config/ComponentRegistry/, a folder that
// names no program. Its entries move over when the registry is next opened, without
// overwriting newer ones; the old file goes only once they are safely written.
inline void moveOldRegistry()
{
    const QString oldFolder = configHome() + QStringLiteral("/ComponentRegistry");
    const QString oldPath = oldFolder + QStringLiteral("/components.ini");
    if (!QFile::exists(oldPath))
        return;
    const QSettings old(oldPath, QSettings::IniFormat);
    QSettings current(filePath(), QSettings::IniFormat);
    for (const QString& key : old.allKeys()) {
        if (!current.contains(key))
            current.setValue(key, old.value(key));
    }
    current.sync();
    if (old.status() == QSettings::NoError && current.status() == QSettings::NoError) {
        QFile::remove(oldPath);
        QDir().rmdir(oldFolder);
    }
}

// The registered library path of progId, or an empty text.
inline QString libraryFor(const QString& progId)
{
    moveOldRegistry();
    QSettings settings(filePath(), QSettings::IniFormat);
    return settings.value(progId + QStringLiteral("/Library")).toString();
}

inline bool record(const QString& progId, const QString& libraryPath)
{
    moveOldRegistry();
    QSettings settings(filePath(), QSettings::IniFormat);
    settings.setValue(progId + QStringLiteral("/Library"), libraryPath);
    settings.sync();
    return settings.status() == QSettings::NoError;
}

// Forgets progId when it still points at libraryPath (another copy of the
// library may have registered itself since).
inline bool forget(const QString& progId, const QString& libraryPath)
{
    moveOldRegistry();
    QSettings settings(filePath(), QSettings::IniFormat);
    if (settings.value(progId + QStringLiteral("/Library")).toString() == libraryPath)
        settings.remove(progId);
    settings.sync();
    return settings.status() == QSettings::NoError;
}

} // namespace ComponentRegistry
