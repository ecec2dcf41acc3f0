// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "monitor/WatchSettings.h"

#include <QString>
#include <QStringList>

#include <memory>

// What one page gave: the ticker list as it is shown and logged, its entries, and the
// key each entry is compared by. A page that cannot be read at all gives an error.
struct Extraction {
    // One entry of a page can hold no more than this (cut with "…"); one page gives no
    // more than MaxEntries. Together they bound every line and mail made from a page.
    static constexpr qsizetype MaxEntryLength = 256;
    static constexpr qsizetype MaxEntries = 10000;

    QString error;
    // One blank, then every entry followed by two blanks; " " when there is none.
    QString tickerList = QStringLiteral(" ");
    // The last entry built, in page order (" " when there was none).
    QString lastEntry = QStringLiteral(" ");
    // In ticker-list order; keys[i] belongs to entries[i].
    QStringList entries;
    QStringList keys;
    // What Try shows of each entry, in the order it shows them; entries when empty.
    QStringList rows;
    // Lines about the page that the log says once.
    QStringList warnings;

    // Builds the list and the last entry from entries in page order, sorted without regard to
    // case. Each entry is folded to one line and cut; past MaxEntries the rest is left out
    // with a warning (moreOnPage: the source stopped reading before the page's end).
    void finish(QStringList pageOrderEntries, QStringList pageOrderKeys, bool moreOnPage = false);
};

// One kind of watched page: how its text becomes entries, and how they are compared.
// extract() may run on a worker thread: it touches nothing but the source itself.
class OfferingsSource {
public:
    enum class Comparison {
        // The whole list against the last eight lists, with the exclude-closed rules.
        WholeList,
        // Each entry's key against the keys of the last eight lists; exclude-closed does not apply.
        ByKey,
    };

    virtual ~OfferingsSource() = default;
    virtual Extraction extract(const QString& page) const = 0;
    virtual Comparison comparison() const = 0;
    // What an entry is called in messages ("offering", "filing").
    virtual QString entryName() const { return QStringLiteral("offering"); }
    // Whether reading a page may take long whatever its size (a user's pattern).
    virtual bool mayTakeLong() const { return false; }
    // Whether the log names what is new after the alert line; the broker's lines are the design's own.
    virtual bool namesNewEntries() const { return true; }

    static std::unique_ptr<OfferingsSource> create(const WatchSettings& watch);
};
