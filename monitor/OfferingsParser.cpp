// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "monitor/OfferingsParser.h"

#include <QtGlobal>

#include <algorithm>
#include <vector>

namespace {

// Markers, written in lower case; the page may use any case.
constexpr QStringView SymbolMarker = u"ipo_symbol=";
constexpr QStringView OfferTypeMarker = u"ipo_offertype=";
constexpr QStringView ImageMarker = u"img src=/images/";
constexpr QStringView ImageNameEnd = u".";
constexpr QStringView OpenWord = u"go";

constexpr qsizetype SymbolLength = 4;

constexpr char16_t foldAscii(char16_t c)
{
    return (c >= u'A' && c <= u'Z') ? char16_t(c - u'A' + u'a') : c;
}

// Finds one marker in the page, in any ASCII case.
//
// A marker with a character that has no case is found by looking for that character alone,
// which Qt does many characters at a time, and checking the marker around each hit; the
// anchors chosen ("_", "=", ".") are far rarer in markup than letters. A marker of letters
// only is compared at every position.
//
// Every lookup of the parser goes forward through the page, so the finder remembers its last
// result: asking again from a position not past that result costs nothing. Without this, an
// offering whose status image is far away (or missing) would make every later offering search
// the same stretch of page again, and a large page would take quadratic time.
class MarkerFinder final {
public:
    MarkerFinder(QStringView page, QStringView lowerCaseMarker, QChar anchor = QChar())
        : m_page(page)
        , m_marker(lowerCaseMarker)
        , m_anchorIndex(anchor.isNull() ? -1 : lowerCaseMarker.indexOf(anchor))
    {
        Q_ASSERT(!m_marker.isEmpty());
        Q_ASSERT(anchor.isNull() || (m_anchorIndex >= 0 && foldAscii(anchor.unicode()) == anchor.unicode()));
    }

    // The first position at or after `from` where the marker starts, or -1.
    qsizetype from(qsizetype from)
    {
        const bool answered = m_searchedFrom >= 0 && from >= m_searchedFrom && (m_found < 0 || from <= m_found);
        if (!answered) {
            m_searchedFrom = from;
            m_found = m_anchorIndex >= 0 ? searchByAnchor(from) : searchEverywhere(from);
        }
        return m_found;
    }

private:
    bool matchesAt(qsizetype start) const
    {
        const char16_t* text = m_page.utf16() + start;
        const char16_t* marker = m_marker.utf16();
        for (qsizetype i = 0; i < m_marker.size(); ++i) {
            if (foldAscii(text[i]) != marker[i])
                return false;
        }
        return true;
    }

    qsizetype searchByAnchor(qsizetype from) const
    {
        const qsizetype lastStart = m_page.size() - m_marker.size();
        const QChar anchor = m_marker[m_anchorIndex];
        for (qsizetype start = from; start <= lastStart; ++start) {
            const qsizetype hit = m_page.indexOf(anchor, start + m_anchorIndex);
            if (hit < 0)
                return -1;
            start = hit - m_anchorIndex;
            if (start <= lastStart && matchesAt(start))
                return start;
        }
        return -1;
    }

    qsizetype searchEverywhere(qsizetype from) const
    {
        const qsizetype lastStart = m_page.size() - m_marker.size();
        for (qsizetype start = from; start <= lastStart; ++start) {
            if (matchesAt(start))
                return start;
        }
        return -1;
    }

    QStringView m_page;
    QStringView m_marker;
    qsizetype m_anchorIndex;
    qsizetype m_searchedFrom = -1;
    qsizetype m_found = -1;
};

bool isAsciiDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

// The order of a sorted list box: alphabetical without regard to case. Entries that differ
// only in case keep their page order.
void sortLikeListBox(std::vector<QString>& entries)
{
    std::stable_sort(entries.begin(), entries.end(), [](const QString& a, const QString& b) {
        return QString::compare(a, b, Qt::CaseInsensitive) < 0;
    });
}

QString joinTickerList(const std::vector<QString>& entries)
{
    const QString separator = QStringLiteral("  ");
    qsizetype size = 1;
    for (const QString& entry : entries)
        size += entry.size() + separator.size();
    QString list;
    list.reserve(size);
    list += u' ';
    for (const QString& entry : entries) {
        list += entry;
        list += separator;
    }
    return list;
}

} // namespace

ParsedOfferings parseOfferings(QStringView page)
{
    MarkerFinder symbols(page, SymbolMarker, u'_');
    MarkerFinder offerTypes(page, OfferTypeMarker, u'_');
    MarkerFinder images(page, ImageMarker, u'=');
    MarkerFinder nameEnds(page, ImageNameEnd, u'.');
    MarkerFinder openWords(page, OpenWord);

    ParsedOfferings result;
    std::vector<QString> entries;
    const qsizetype pageSize = page.size();

    // Every lookup below starts at or after the previous lookup of the same marker (the symbol
    // positions rise, and each later marker is searched from the one before it), which is what
    // lets each finder reuse its last answer.
    for (qsizetype symbol = symbols.from(0); symbol >= 0; symbol = symbols.from(symbol + 1)) {
        const qsizetype symbolStart = std::min(symbol + SymbolMarker.size(), pageSize);
        QString entry = page.sliced(symbolStart, std::min(SymbolLength, pageSize - symbolStart)).toString();
        if (!entry.isEmpty() && isAsciiDigit(entry.back()))
            entry.chop(1);

        const qsizetype offerType = offerTypes.from(symbol);
        const qsizetype image = offerType < 0 ? -1 : images.from(offerType);
        const qsizetype nameEnd = image < 0 ? -1 : nameEnds.from(image);
        if (nameEnd >= 0) {
            const qsizetype nameStart = image + ImageMarker.size();
            const qsizetype open = openWords.from(nameStart);
            const bool nameSaysOpen = open >= 0 && open + OpenWord.size() <= nameEnd;
            entry += nameSaysOpen ? QStringLiteral(" (go-now)") : QStringLiteral(" (closed)");
        }

        result.lastEntry = entry;
        entries.push_back(std::move(entry));
    }

    if (!entries.empty()) {
        sortLikeListBox(entries);
        result.tickerList = joinTickerList(entries);
    }
    return result;
}
