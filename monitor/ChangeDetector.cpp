// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "monitor/ChangeDetector.h"

#include <QStringView>

#include <algorithm>
#include <unordered_set>

namespace {

constexpr qsizetype PieceLength = 4;

// Folds case one UTF-16 unit at a time, so that positions and lengths stay those of the list.
QString foldedUnits(const QString& text)
{
    QString folded(text.size(), Qt::Uninitialized);
    QChar* out = folded.data();
    for (const QChar c : text)
        *out++ = c.isSurrogate() ? c : QChar(char16_t(QChar::toCaseFolded(c.unicode())));
    return folded;
}

quint64 packPiece(const QChar* piece)
{
    return quint64(piece[0].unicode()) | quint64(piece[1].unicode()) << 16 | quint64(piece[2].unicode()) << 32
         | quint64(piece[3].unicode()) << 48;
}

} // namespace

ChangeDetector::ChangeDetector()
{
    m_history.fill(QStringLiteral(" "));
}

ChangeDetector::Report ChangeDetector::decide(const QString& tickerList, bool excludeClosed)
{
    Report report = Report::TickersFound;
    if (inHistory(tickerList)) {
        report = Report::NoChange;
    } else if (excludeClosed) {
        m_currentNormalized = normalizeClosed(tickerList);
        m_previousNormalized = normalizeClosed(m_history.front());
        if (m_currentNormalized == m_previousNormalized)
            report = Report::NoChange;
        else if (m_currentNormalized.size() < m_previousNormalized.size()
                 && onlyRemovalsOrClosings(m_currentNormalized, m_previousNormalized))
            report = Report::NoChange;
    }
    rotate(tickerList);
    return report;
}

QString ChangeDetector::normalizeClosed(const QString& list)
{
    // Replacing the first occurrence until none is left is the same as one pass from the
    // left: "(closed)" cannot overlap itself, and a "(go-now)" put in cannot form a new one
    // with its neighbours, because "(closed)" begins with "(" and ends with ")", which
    // "(go-now)" holds only at its own two ends.
    QString normalized = list;
    normalized.replace(QStringLiteral("(closed)"), QStringLiteral("(go-now)"), Qt::CaseInsensitive);
    return normalized;
}

qsizetype ChangeDetector::piecesToCheck(qsizetype length)
{
    const qsizetype whole = length / PieceLength;
    const qsizetype rest = length % PieceLength;
    if (rest * 2 < PieceLength)
        return whole;
    if (rest * 2 > PieceLength)
        return whole + 1;
    return whole % 2 == 0 ? whole : whole + 1;
}

bool ChangeDetector::inHistory(const QString& tickerList) const
{
    return std::find(m_history.cbegin(), m_history.cend(), tickerList) != m_history.cend();
}

// The shorter list is taken as "only removals" when each of its first pieces of 4 characters
// occurs somewhere in the previous list. The pieces are cut from the text without regard to
// where entries begin, so this is a text test, not an entry test.
bool ChangeDetector::onlyRemovalsOrClosings(const QString& current, const QString& previous)
{
    const qsizetype pieces = piecesToCheck(current.size());
    if (pieces == 0)
        return true;

    const QString foldedCurrent = foldedUnits(current);
    const QString foldedPrevious = foldedUnits(previous);

    // Every 4-unit window of the previous list, so that a long list does not make each piece
    // search the whole previous list again.
    std::unordered_set<quint64> windows;
    windows.reserve(size_t(std::max<qsizetype>(foldedPrevious.size() - PieceLength + 1, 0)));
    for (qsizetype i = 0; i + PieceLength <= foldedPrevious.size(); ++i)
        windows.insert(packPiece(foldedPrevious.constData() + i));

    qsizetype found = 0;
    for (qsizetype piece = 0; piece < pieces; ++piece) {
        const qsizetype start = piece * PieceLength;
        const qsizetype length = std::min(PieceLength, foldedCurrent.size() - start);
        const bool occurs = length == PieceLength
                                ? windows.contains(packPiece(foldedCurrent.constData() + start))
                                : foldedPrevious.contains(QStringView(foldedCurrent).sliced(start, length));
        if (occurs)
            ++found;
    }
    return found == pieces;
}

void ChangeDetector::rotate(const QString& tickerList)
{
    std::move_backward(m_history.begin(), m_history.end() - 1, m_history.end());
    m_history.front() = tickerList;
}

QStringList KeyChangeDetector::decide(const QStringList& keys)
{
    QStringList news;
    for (const QString& key : keys) {
        const bool seen = std::any_of(m_history.cbegin(), m_history.cend(),
                                      [&key](const QSet<QString>& list) { return list.contains(key); });
        if (!seen)
            news << key;
    }
    std::move_backward(m_history.begin(), m_history.end() - 1, m_history.end());
    m_history.front() = QSet<QString>(keys.cbegin(), keys.cend());
    return news;
}
