// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/Settings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>
#include <QStringDecoder>

namespace {
// A settings file holds a few short lines; anything this large is not ours.
constexpr qint64 LargestSettingsFile = 1024 * 1024;

// Why the file's values cannot be trusted, or an empty text when they can.
QString checkFile(const QString& path)
{
    const QFileInfo info(path);
    if (!info.isFile())
        return QStringLiteral("it is not a regular file");
    if (info.size() > LargestSettingsFile)
        return QStringLiteral("it is larger than 1 MiB");
    // Opening a regular file never blocks; a FIFO would, and was refused above.
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return file.errorString();
    const QByteArray bytes = file.read(LargestSettingsFile + 1);
    if (bytes.contains('\0'))
        return QStringLiteral("it is not a text file");
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    [[maybe_unused]] const QString text = utf8(bytes);
    if (utf8.hasError())
        return QStringLiteral("it is not UTF-8 text");
    return {};
}
} // namespace

QString Settings::defaultFilePath()
{
    return QDir(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation))
        .filePath(QStringLiteral("Offerwatch/Offerwatch.ini"));
}

Settings::Settings(QString filePath, QObject* parent)
    : QObject(parent)
    , m_filePath(std::move(filePath))
{
    load();
}

void Settings::load()
{
    if (!QFileInfo::exists(m_filePath) && !QFileInfo(m_filePath).isSymLink())
        return;
    QString problem = checkFile(m_filePath);
    if (problem.isEmpty()) {
        QSettings file(m_filePath, QSettings::IniFormat);
        if (file.status() != QSettings::NoError) {
            problem = QStringLiteral("it is damaged");
        } else {
            const QStringList keys = file.allKeys();
            for (const QString& key : keys) {
                // A value of another type reads as absent rather than as garbage.
                const QVariant value = file.value(key);
                if (value.isValid() && value.canConvert<QString>())
                    m_values.insert(key, value.toString());
            }
        }
    }
    if (problem.isEmpty())
        return;
    m_values.clear();
    m_damaged = true;
    m_loadProblem = QStringLiteral("%1 cannot be used (%2); the defaults hold until a setting is changed")
                        .arg(QDir::toNativeSeparators(m_filePath), problem);
}

QString Settings::value(const QString& key, const QString& defaultValue) const
{
    const QString value = m_values.value(key, defaultValue);
    m_givenOut.insert(key, value);
    return value;
}

void Settings::setValue(const QString& key, const QString& value)
{
    if (m_damaged) {
        // Writing back what was read (a default, as the file gave nothing) is no change:
        // the damaged file stays as it is until the user really changes something.
        const auto given = m_givenOut.constFind(key);
        if (given != m_givenOut.cend() && *given == value)
            return;
    }
    if (m_values.contains(key) && m_values.value(key) == value)
        return;
    m_values.insert(key, value);
    m_givenOut.insert(key, value);
    save(key);
    Q_EMIT changed(key);
}

bool Settings::isOn(const QString& key, bool defaultValue) const
{
    const QString stored = value(key, QString());
    return stored == QLatin1String("on") || (defaultValue && stored != QLatin1String("off"));
}

QString Settings::text(const SettingKey& key) const
{
    return value(key.key.toString(), key.defaultValue.toString());
}

void Settings::setText(const SettingKey& key, const QString& value)
{
    setValue(key.key.toString(), value);
}

bool Settings::isOn(const SettingKey& key) const
{
    Q_ASSERT(!key.defaultFollowsOthers);
    return isOn(key.key.toString(), key.defaultValue == u"on");
}

bool Settings::isOn(const SettingKey& key, bool defaultValue) const
{
    return isOn(key.key.toString(), defaultValue);
}

void Settings::setOn(const SettingKey& key, bool on)
{
    setValue(key.key.toString(), on ? QStringLiteral("on") : QStringLiteral("off"));
}

int Settings::count(const SettingKey& key) const
{
    bool number = false;
    const int stored = value(key.key.toString(), QString()).toInt(&number);
    return number && stored >= 0 ? stored : key.defaultValue.toInt();
}

bool Settings::save(const QString& key)
{
    if (m_damaged && !replaceDamagedFile())
        return false;
    QDir().mkpath(QFileInfo(m_filePath).absolutePath());
    QSettings file(m_filePath, QSettings::IniFormat);
    file.setValue(key, m_values.value(key));
    file.sync();
    if (file.status() == QSettings::NoError)
        return true;
    const QFileInfo info(m_filePath);
    const QString reason = info.exists() && !info.isWritable() ? QStringLiteral("the file is read-only")
                                                               : QStringLiteral("it cannot be written");
    Q_EMIT saveFailed(QStringLiteral("%1 was not saved (%2); the value holds for this run only")
                          .arg(QDir::toNativeSeparators(m_filePath), reason));
    return false;
}

bool Settings::replaceDamagedFile()
{
    QString kept = m_filePath + QStringLiteral(".damaged");
    for (int n = 1; QFileInfo::exists(kept) || QFileInfo(kept).isSymLink(); ++n)
        kept = m_filePath + QStringLiteral(".damaged.%1").arg(n);
    if (QFileInfo::exists(m_filePath) && !QFile::rename(m_filePath, kept)) {
        Q_EMIT saveFailed(QStringLiteral("%1 was not saved (the damaged file cannot be moved aside)")
                              .arg(QDir::toNativeSeparators(m_filePath)));
        return false;
    }
    m_damaged = false;
    // The new file starts from every value this run has set, not only the newest.
    QSettings file(m_filePath, QSettings::IniFormat);
    for (auto it = m_values.cbegin(); it != m_values.cend(); ++it)
        file.setValue(it.key(), it.value());
    file.sync();
    return true;
}
