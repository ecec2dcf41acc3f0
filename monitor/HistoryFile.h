// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "monitor/ChangeDetector.h"

#include <QDateTime>
#include <QString>
#include <QUrl>

// What change detection had seen when it was saved: the lists of both detectors.
struct SeenHistory {
    QDateTime saved;
    ChangeDetector::History lists;
    KeyChangeDetector::History keys;

    // How many of the lists a cycle had filled.
    int filledLists() const;
};

// The file that keeps one watched address's history across restarts: one per source
// kind and address in the program's state folder. It is replaced whole (a temporary
// file renamed over it), so a full disk or a crash leaves the previous one intact.
// Whatever keys a source gives are kept as they are.
class HistoryFile final {
public:
    static constexpr int FormatVersion = 1;
    // Eight lists and eight key lists, each at most as large as the 16 MiB page it came
    // from, with room for escaping; anything larger is not ours and is never written.
    static constexpr qint64 MaxBytes = qint64(2) * ChangeDetector::HistorySize * 16 * 1024 * 1024;

    // $XDG_STATE_HOME/Offerwatch, by default ~/.local/state/Offerwatch.
    static QString defaultFolder();

    HistoryFile(const QString& folder, const QString& sourceName, const QUrl& url);

    const QString& path() const { return m_path; }

    enum class Outcome { Missing, Read, Unusable };
    // Unusable: problem says why (damaged, unreadable, another version or address).
    Outcome read(SeenHistory* history, QString* problem) const;
    // Moves an unusable file aside, replacing an older one there; the new name, or an
    // empty text when it cannot be moved.
    QString setAside() const;
    bool write(const SeenHistory& history, QString* error) const;

private:
    QString m_path;
    QString m_source;
    QString m_url;
};
