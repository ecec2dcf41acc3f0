// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <memory>

class QSoundEffect;

// Starts a WAV file playing in the background and says whether it started.
class SoundPlayer {
public:
    virtual ~SoundPlayer() = default;
    // Looks the bare file name up and starts it; false when the file is not found,
    // cannot be read, or there is nothing to play it on.
    virtual bool play(const QString& bareName) = 0;
    // Why the last play() started nothing, in words for the log; empty when unknown.
    virtual QString whyNotStarted() const { return {}; }
};

// Qt Multimedia. The bare name is found as every data file is (DataFiles.h).
class QtSoundPlayer final : public SoundPlayer {
public:
    QtSoundPlayer();
    ~QtSoundPlayer() override;
    bool play(const QString& bareName) override;
    QString whyNotStarted() const override { return m_whyNotStarted; }

    // Where play() finds the file, or an empty text.
    static QString locate(const QString& bareName);
    static bool isWaveFile(const QString& path);

private:
    std::unique_ptr<QSoundEffect> m_effect;
    QString m_whyNotStarted;
};
