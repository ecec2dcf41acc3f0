// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QSet>
#include <QString>
#include <QStringList>

#include <array>

// Decides whether this cycle's ticker list is news, and keeps the lists of the last eight
// successful cycles to decide it. A page that flips between a few states alerts once per state;
// with exclude-closed on, offerings that closed or left the page are no news either.
//
// Whole lists are compared exactly; texts inside a list are searched without regard to case.
// The history lives as long as the main window unless the monitor saves and restores it.
class ChangeDetector final {
public:
    enum class Report { NoChange, TickersFound };

    static constexpr int HistorySize = 8;
    using History = std::array<QString, HistorySize>;

    ChangeDetector();

    // Chooses the report for tickerList and then moves the history on by one cycle, whatever
    // the report. Call it once per successful fetch, never after a failed one.
    Report decide(const QString& tickerList, bool excludeClosed);

    // Newest first; every entry is " " until a cycle has filled it.
    const History& history() const { return m_history; }
    // Takes up where a saved history left off.
    void restore(const History& history) { m_history = history; }

    // The texts of the last decision that compared with exclude-closed on; empty before one.
    const QString& currentNormalized() const { return m_currentNormalized; }
    const QString& previousNormalized() const { return m_previousNormalized; }

    // The list with every "(closed)", in any case, turned into "(go-now)". Same length.
    static QString normalizeClosed(const QString& list);
    // How many 4-character pieces of a shorter list the removal test checks: length / 4,
    // rounded to the nearest whole number with a half going to the even neighbour.
    static qsizetype piecesToCheck(qsizetype length);

private:
    bool inHistory(const QString& tickerList) const;
    static bool onlyRemovalsOrClosings(const QString& current, const QString& previous);
    void rotate(const QString& tickerList);

    History m_history;
    QString m_currentNormalized;
    QString m_previousNormalized;
};

// For sources whose entries carry a key (a company and a form): an entry is news when
// its key was in none of the last eight lists. The exclude-closed rules do not apply.
class KeyChangeDetector final {
public:
    using History = std::array<QSet<QString>, ChangeDetector::HistorySize>;

    // The keys of this list that are news; then moves the history on by one cycle.
    QStringList decide(const QStringList& keys);

    // Newest first; a list no cycle has filled is empty.
    const History& history() const { return m_history; }
    void restore(const History& history) { m_history = history; }

private:
    History m_history;
};
