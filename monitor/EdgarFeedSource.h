#pragma once

#include "monitor/OfferingsSource.h"

#include <QList>

// One filing of EDGAR's "latest filings" Atom feed.
struct EdgarFiling {
    QString company;
    QString cik;
    QString form;
    QString link;
    QString updated;
    QString accession;

    // What the ticker list shows: "COMPANY (FORM)".
    QString entry() const { return company + QStringLiteral(" (") + form + QLatin1Char(')'); }
    // A company's filing of one form is one entry however often it is amended or listed.
    QString key() const { return cik + QLatin1Char('/') + form; }
};

// The SEC's EDGAR feed of new registration statements. Its entries carry no ticker
// symbols: a filing is news when its company and form were in none of the last eight
// lists, whatever else changed.
class EdgarFeedSource final : public OfferingsSource {
public:
    Extraction extract(QStringView page) const override;
    Comparison comparison() const override { return Comparison::ByKey; }
    QString entryName() const override { return QStringLiteral("filing"); }

    // The filings of a feed, in feed order; false with the reason when it is no Atom feed.
    static bool parse(QStringView feed, QList<EdgarFiling>* filings, QString* error);
};
