// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/SoundPlayer.h"

#include "platform/DataFiles.h"

#include <QDir>
#include <QFile>
#include <QAudioDevice>
#include <QMediaDevices>
#include <QSoundEffect>
#include <QUrl>

QtSoundPlayer::QtSoundPlayer() = default;
QtSoundPlayer::~QtSoundPlayer() = default;

QString QtSoundPlayer::locate(const QString& bareName)
{
    return DataFiles::locateIn(bareName, DataFiles::searchFolders(QDir::currentPath()));
}

bool QtSoundPlayer::isWaveFile(const QString& path)
{
    // The effect loads in the background and would only later find that a file is
    // no sound at all; a RIFF/WAVE header is what it needs, so look for that now.
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray head = file.read(12);
    return head.size() == 12 && head.startsWith("RIFF") && head.mid(8, 4) == "WAVE";
}

bool QtSoundPlayer::play(const QString& bareName)
{
    const QString path = locate(bareName);
    if (path.isEmpty())
        m_whyNotStarted = QStringLiteral("the sound file %1 is not found").arg(bareName);
    else if (!isWaveFile(path))
        m_whyNotStarted = QStringLiteral("%1 is not a WAV sound").arg(path);
    else if (QMediaDevices::audioOutputs().isEmpty())
        m_whyNotStarted = QStringLiteral("no sound output");
    else
        m_whyNotStarted.clear();
    if (!m_whyNotStarted.isEmpty())
        return false;
    // One effect at a time: a new alarm restarts the sound rather than stacking copies.
    m_effect = std::make_unique<QSoundEffect>();
    m_effect->setSource(QUrl::fromLocalFile(path));
    m_effect->play();
    if (m_effect->status() == QSoundEffect::Error) {
        m_whyNotStarted = QStringLiteral("the sound output refused %1").arg(path);
        return false;
    }
    return true;
}
