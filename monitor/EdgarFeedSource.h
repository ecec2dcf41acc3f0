// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "monitor/OfferingsSource.h"

#include <QList>

// One filing of an EDGAR Atom feed.
struct EdgarFiling {
    QString company;
    QString cik;
    QString form;
    QString link;
    QString updated;
    QString accession;
    // "Filer", "Subject", "Filed by": the current-filings feed lists a filing once per role.
    QString role;

    // What the ticker list shows: "COMPANY (FORM)", or the company alone in a company search.
    QString entry() const
    {
        return form.isEmpty() ? company : company + QStringLiteral(" (") + form + QLatin1Char(')');
    }
    // A filing is its accession number; without one, the company's filing of one form.
    QString key() const { return accession.isEmpty() ? cik + QLatin1Char('/') + form : accession; }
};

// The SEC's EDGAR Atom feeds: the current filings of one form, one company's filings, and
// the results of a company search. Their entries carry no ticker symbols: a filing is news
// when its accession number was in none of the last eight lists, whatever else changed.
class EdgarFeedSource final : public OfferingsSource {
public:
    // Deeper than this, a feed is refused rather than read: no real feed comes near it.
    static constexpr int MaxDepth = 64;

    Extraction extract(const QString& page) const override;
    Comparison comparison() const override { return Comparison::ByKey; }
    QString entryName() const override { return QStringLiteral("filing"); }

    // The filings of a feed, in feed order, each with the company named in the entry or,
    // failing that, in the feed (empty when neither names one); false with the reason when
    // the page is no Atom feed.
    static bool parse(const QString& feed, QList<EdgarFiling>* filings, QString* error);
};
