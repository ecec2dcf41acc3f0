// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/SettingsCatalogue.h"

#include <QHash>
#include <QObject>
#include <QString>

// The one place that reads and writes the per-user settings file. Every value that
// outlives a run goes through here; the rest of the program observes `changed`.
//
// A file that cannot be read, or that is damaged, gives the defaults for the run and
// says why in loadProblem(). Such a file is never replaced just because the program
// writes back what it read: only a real change is saved, and the damaged file is kept
// beside the new one first.
class Settings final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Settings)
public:
    // Offerwatch/Offerwatch.ini in the user's configuration folder (XDG_CONFIG_HOME).
    static QString defaultFilePath();

    explicit Settings(QString filePath = defaultFilePath(), QObject* parent = nullptr);

    const QString& filePath() const { return m_filePath; }
    // Empty when the file was read or does not exist yet.
    const QString& loadProblem() const { return m_loadProblem; }

    // Typed reads and writes of the settings in the catalogue. A key absent from the file
    // reads as its default; a stored empty text stays empty. Writes are saved at once; when
    // saving fails the value still holds for this run.
    QString text(const SettingKey& key) const;
    void setText(const SettingKey& key, const QString& value);
    bool isOn(const SettingKey& key) const;
    // For a key whose default is worked out where it is read.
    bool isOn(const SettingKey& key, bool defaultValue) const;
    void setOn(const SettingKey& key, bool on);
    int count(const SettingKey& key) const;
    bool contains(const SettingKey& key) const { return m_values.contains(key.key.toString()); }

Q_SIGNALS:
    void changed(const QString& key);
    void saveFailed(const QString& reason);

private:
    QString value(const QString& key, const QString& defaultValue) const;
    void setValue(const QString& key, const QString& value);
    bool isOn(const QString& key, bool defaultValue) const;
    void load();
    bool save(const QString& key);
    bool replaceDamagedFile();

    QString m_filePath;
    QHash<QString, QString> m_values;
    // What value() last gave out per key, so that writing it back can be told from a change.
    mutable QHash<QString, QString> m_givenOut;
    QString m_loadProblem;
    bool m_damaged = false;
};
