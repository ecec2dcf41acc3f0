#include "monitor/OfferingsParser.h"

#include <QtGlobal>

#include <algorithm>
#include <array>
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

// Finds one marker in the page, in any ASCII case, by Horspool's skip search.
//
// Every lookup of the parser goes forward through the page, so the finder remembers its last
// result: asking again from a position not past that result costs nothing. Without this, an
// offering whose status image is far away (or missing) would make every later offering search
// the same stretch of page again, and a large page would take quadratic time.
class MarkerFinder final {
public:
    MarkerFinder(QStringView page, QStringView lowerCaseMarker)
        : m_page(page)
        , m_marker(lowerCaseMarker)
    {
        Q_ASSERT(!m_marker.isEmpty());
        const qsizetype length = m_marker.size();
        m_skip.fill(length);
        for (qsizetype i = 0; i + 1 < length; ++i)
            m_skip[m_marker[i].unicode() & 0x7f] = length - 1 - i;
    }

    // The first position at or after `from` where the marker starts, or -1.
    qsizetype from(qsizetype from)
    {
        const bool answered = m_searchedFrom >= 0 && from >= m_searchedFrom && (m_found < 0 || from <= m_found);
        if (!answered) {
            m_searchedFrom = from;
            m_found = search(from);
        }
        return m_found;
    }

private:
    qsizetype search(qsizetype from) const
    {
        const qsizetype length = m_marker.size();
        const qsizetype lastStart = m_page.size() - length;
        const char16_t* text = m_page.utf16();
        const char16_t* marker = m_marker.utf16();
        const char16_t markerLast = marker[length - 1];
        qsizetype pos = from;
        while (pos <= lastStart) {
            const char16_t last = foldAscii(text[pos + length - 1]);
            if (last == markerLast) {
                qsizetype i = length - 2;
                while (i >= 0 && foldAscii(text[pos + i]) == marker[i])
                    --i;
                if (i < 0)
                    return pos;
            }
            // The markers are ASCII, so any other character cannot occur in them at all.
            pos += last < 0x80 ? m_skip[last] : length;
        }
        return -1;
    }

    QStringView m_page;
    QStringView m_marker;
    std::array<qsizetype, 0x80> m_skip{};
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
    MarkerFinder symbols(page, SymbolMarker);
    MarkerFinder offerTypes(page, OfferTypeMarker);
    MarkerFinder images(page, ImageMarker);
    MarkerFinder nameEnds(page, ImageNameEnd);
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
