// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>
#include <QUrl>

// One alert, as every channel gets it: what to say, and what it is about.
struct Alert {
    // The subject of every alert about found tickers.
    static inline const QString TickersSubject = QStringLiteral("IPO: ");

    QString subject;
    // The ticker list, exactly as logged.
    QString text;
    // The entries of this list that the previous list did not hold.
    QStringList newEntries;
    // Every entry of this list, in list order.
    QStringList entries;
    // The page they came from.
    QUrl source;

    // The entries of a ticker list (" A (go-now)  B  "): the texts between its blanks pairs.
    static QStringList entriesOf(const QString& tickerList)
    {
        QStringList entries;
        for (const QString& entry : tickerList.split(QStringLiteral("  "), Qt::SkipEmptyParts)) {
            const QString trimmed = entry.trimmed();
            if (!trimmed.isEmpty())
                entries << trimmed;
        }
        return entries;
    }
};
