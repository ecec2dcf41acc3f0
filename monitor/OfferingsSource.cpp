// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "monitor/OfferingsSource.h"

#include "monitor/Alert.h"
#include "monitor/EdgarFeedSource.h"
#include "monitor/OfferingsParser.h"
#include "monitor/PatternSource.h"
#include "platform/PlainText.h"

#include <algorithm>
#include <numeric>

namespace {
// The broker page, read exactly as the parser always has: stored histories and users
// comparing old logs rely on its lists byte for byte.
class BrokerSource final : public OfferingsSource {
public:
    Extraction extract(const QString& page) const override
    {
        const ParsedOfferings parsed = parseOfferings(page);
        Extraction result;
        result.tickerList = parsed.tickerList;
        result.lastEntry = parsed.lastEntry;
        result.entries = Alert::entriesOf(parsed.tickerList);
        result.keys = result.entries;
        return result;
    }
    Comparison comparison() const override { return Comparison::WholeList; }
    bool namesNewEntries() const override { return false; }
};
} // namespace

void Extraction::finish(QStringList pageOrderEntries, QStringList pageOrderKeys, bool moreOnPage)
{
    if (moreOnPage || pageOrderEntries.size() > MaxEntries) {
        pageOrderEntries.resize(std::min(pageOrderEntries.size(), MaxEntries));
        pageOrderKeys.resize(pageOrderEntries.size());
        warnings << QStringLiteral("the page holds more than %1 entries; only the first %1 are read").arg(MaxEntries);
    }
    for (QString& entry : pageOrderEntries)
        entry = PlainText::foldedAndCut(entry, MaxEntryLength);
    lastEntry = pageOrderEntries.isEmpty() ? QStringLiteral(" ") : pageOrderEntries.last();
    std::vector<qsizetype> order(size_t(pageOrderEntries.size()));
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](qsizetype a, qsizetype b) {
        return pageOrderEntries[a].compare(pageOrderEntries[b], Qt::CaseInsensitive) < 0;
    });
    QString list = QStringLiteral(" ");
    for (const qsizetype i : order) {
        entries << pageOrderEntries[i];
        keys << pageOrderKeys[i];
        list += pageOrderEntries[i] + QStringLiteral("  ");
    }
    tickerList = list;
}

std::unique_ptr<OfferingsSource> OfferingsSource::create(const WatchSettings& watch)
{
    switch (watch.source) {
    case WatchSettings::Source::Edgar:
        return std::make_unique<EdgarFeedSource>();
    case WatchSettings::Source::Pattern:
        return std::make_unique<PatternSource>(watch.pattern);
    case WatchSettings::Source::Broker:
        break;
    }
    return std::make_unique<BrokerSource>();
}
