// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "monitor/EdgarFeedSource.h"

#include "monitor/FormFeedClient.h"
#include "platform/PlainText.h"

#include <QDateTime>
#include <QHash>
#include <QRegularExpression>

#include <pugixml.hpp>

#include <algorithm>
#include <limits>
#include <string>
#include <string_view>

namespace {
const QString AtomNamespace = QStringLiteral("http://www.w3.org/2005/Atom");

// "S-1 - Acme Widgets, Inc. (0001234567) (Filer)": the form, the company (which may
// itself hold " - " and parentheses), the CIK and the filer's role.
const QRegularExpression& titlePattern()
{
    static const QRegularExpression pattern(
        QStringLiteral("^\\s*(\\S.*?)\\s+-\\s+(.*\\S)\\s*\\((\\d{1,10})\\)\\s*\\(([^()]*)\\)\\s*$"),
        QRegularExpression::DotMatchesEverythingOption);
    return pattern;
}

// "ACME WIDGETS INC  (0001234567)": the title of one company's feed.
const QRegularExpression& companyTitlePattern()
{
    static const QRegularExpression pattern(QStringLiteral("^\\s*(\\S.*?)\\s*\\((?:CIK\\s*)?(\\d{1,10})\\)\\s*$"),
                                            QRegularExpression::DotMatchesEverythingOption);
    return pattern;
}

// "urn:tag:sec.gov,2008:accession-number=0001234567-26-000001"; ids of other kinds name no filing.
QString accessionOf(const QString& id)
{
    static const QString marker = QStringLiteral("accession-number=");
    const qsizetype at = id.lastIndexOf(marker);
    return at < 0 ? QString() : id.mid(at + marker.size()).trimmed();
}

void fillFromTitle(EdgarFiling& filing, const QString& title)
{
    const QRegularExpressionMatch match = titlePattern().match(title);
    if (!match.hasMatch())
        return;
    if (filing.form.isEmpty())
        filing.form = match.captured(1);
    filing.company = match.captured(2).simplified();
    filing.cik = match.captured(3);
    filing.role = match.captured(4).trimmed();
}

// What kind of page this is when it is plainly no XML at all, judged by its first characters.
QString notAFeed(const QString& page)
{
    qsizetype i = 0;
    while (i < page.size() && (page[i].isSpace() || page[i] == QChar(0xfeff)))
        ++i;
    const QStringView start = QStringView(page).sliced(i);
    if (start.isEmpty())
        return QStringLiteral("the page is empty, not an EDGAR feed");
    if (start.startsWith(u'{') || start.startsWith(u'['))
        return QStringLiteral("this is a JSON page, not an EDGAR feed");
    if (start.startsWith(u"<!doctype html", Qt::CaseInsensitive) || start.startsWith(u"<html", Qt::CaseInsensitive))
        return QStringLiteral("this is an HTML page, not an EDGAR feed");
    return {};
}

std::string_view localName(const char* name)
{
    const std::string_view full(name);
    const size_t colon = full.find(':');
    return colon == std::string_view::npos ? full : full.substr(colon + 1);
}

// Reads the feed in one pass without recursion, also over elements nested in a field (markup
// in a title, say). The document is parsed by pugixml, which never recurses either, expands
// only XML's own five entities and character references, and fetches nothing: a DOCTYPE is
// skipped, its entities are never defined.
class FeedReader {
public:
    bool read(const QString& feed, QList<EdgarFiling>* filings, QString* error)
    {
        QByteArray utf8 = feed.toUtf8();
        pugi::xml_document document;
        const pugi::xml_parse_result parsed = document.load_buffer_inplace(
            utf8.data(), size_t(utf8.size()), pugi::parse_default, pugi::encoding_utf8);
        if (!parsed) {
            const QByteArrayView before = QByteArrayView(utf8).first(qsizetype(parsed.offset));
            const qsizetype lineStart = before.lastIndexOf('\n') + 1;
            *error = QStringLiteral("the feed is not well-formed XML: %1 (line %2, column %3)")
                         .arg(QString::fromLatin1(parsed.description()))
                         .arg(before.count('\n') + 1)
                         .arg(QString::fromUtf8(before.sliced(lineStart)).size() + 1);
            return false;
        }
        int depth = 0;
        pugi::xml_node node = document.first_child();
        while (node) {
            bool descend = false;
            if (node.type() == pugi::node_element) {
                if (++depth > EdgarFeedSource::MaxDepth) {
                    *error = QStringLiteral("the feed is nested more than %1 levels deep; it is not read")
                                 .arg(EdgarFeedSource::MaxDepth);
                    return false;
                }
                m_depth = depth;
                if (!startElement(node, error))
                    return false;
                descend = bool(node.first_child());
                if (!descend) {
                    endElement(filings);
                    --depth;
                }
            } else if (m_capture && (node.type() == pugi::node_pcdata || node.type() == pugi::node_cdata)) {
                m_capture->append(QString::fromUtf8(node.value()));
            }
            if (descend) {
                node = node.first_child();
                continue;
            }
            while (node && !node.next_sibling()) {
                node = node.parent();
                if (node.type() != pugi::node_element) {
                    node = {};
                    break;
                }
                m_depth = depth;
                endElement(filings);
                --depth;
            }
            if (node)
                node = node.next_sibling();
        }
        if (!m_sawFeed) {
            *error = QStringLiteral("the page is empty, not an EDGAR feed");
            return false;
        }
        nameFromFeed(filings);
        return true;
    }

private:
    static bool isAtomFeed(const pugi::xml_node& root)
    {
        const std::string_view full(root.name());
        const size_t colon = full.find(':');
        const std::string prefix =
            colon == std::string_view::npos ? std::string("xmlns") : "xmlns:" + std::string(full.substr(0, colon));
        return localName(root.name()) == "feed" && AtomNamespace == QLatin1String(root.attribute(prefix.c_str()).value());
    }

    bool startElement(const pugi::xml_node& node, QString* error)
    {
        const std::string_view name = localName(node.name());
        if (!m_sawFeed) {
            if (QLatin1String(name.data(), qsizetype(name.size())).compare(QLatin1String("html"), Qt::CaseInsensitive) == 0) {
                *error = QStringLiteral("this is an HTML page, not an EDGAR feed");
                return false;
            }
            if (!isAtomFeed(node)) {
                *error = QStringLiteral("the page is no Atom feed (it begins with <%1>)")
                             .arg(PlainText::foldedAndCut(QString::fromUtf8(node.name()), 64));
                return false;
            }
            m_sawFeed = true;
            return true;
        }
        if (m_capture)
            return true;
        if (name == "company-info" && m_companyInfoDepth == 0) {
            m_companyInfoDepth = m_depth;
            return true;
        }
        if (m_companyInfoDepth > 0) {
            const bool inEntry = m_entryDepth > 0;
            if (name == "conformed-name" || name == "name")
                capture(inEntry ? &m_entryCompany : &m_feedCompany);
            else if (name == "cik")
                capture(inEntry ? &m_entryCik : &m_feedCik);
            return true;
        }
        if (m_entryDepth == 0) {
            if (name == "entry" && m_depth == 2) {
                m_entryDepth = m_depth;
                m_filing = {};
                m_title.clear();
                m_id.clear();
                m_entryCompany.clear();
                m_entryCik.clear();
                m_filingType.clear();
            } else if (name == "title" && m_depth == 2) {
                capture(&m_feedTitle);
            }
            return true;
        }
        if (name == "title" && m_depth == m_entryDepth + 1) {
            capture(&m_title);
        } else if (name == "category" && m_filing.form.isEmpty()) {
            m_filing.form = QString::fromUtf8(node.attribute("term").value()).trimmed();
        } else if (name == "link" && m_filing.link.isEmpty()) {
            m_filing.link = QString::fromUtf8(node.attribute("href").value());
        } else if (name == "updated") {
            capture(&m_filing.updated);
        } else if (name == "id") {
            capture(&m_id);
        } else if (name == "accession-number") {
            capture(&m_filing.accession);
        } else if (name == "filing-type") {
            capture(&m_filingType);
        }
        return true;
    }

    void endElement(QList<EdgarFiling>* filings)
    {
        if (m_capture && m_depth == m_captureDepth) {
            m_capture = nullptr;
            return;
        }
        if (m_depth == m_companyInfoDepth) {
            m_companyInfoDepth = 0;
        } else if (m_depth == m_entryDepth) {
            m_entryDepth = 0;
            finishEntry(filings);
        }
    }

    void capture(QString* into)
    {
        into->clear();
        m_capture = into;
        m_captureDepth = m_depth;
    }

    void finishEntry(QList<EdgarFiling>* filings)
    {
        EdgarFiling& f = m_filing;
        f.updated = f.updated.trimmed();
        f.accession = f.accession.trimmed();
        if (f.accession.isEmpty())
            f.accession = accessionOf(m_id);
        if (f.form.isEmpty())
            f.form = m_filingType.trimmed();
        fillFromTitle(f, m_title);
        if (f.company.isEmpty()) {
            f.company = m_entryCompany.simplified();
            f.cik = m_entryCik.trimmed();
        }
        filings->append(f);
    }

    // One company's feed names the company once, for all its entries.
    void nameFromFeed(QList<EdgarFiling>* filings) const
    {
        QString company = m_feedCompany.simplified();
        QString cik = m_feedCik.trimmed();
        if (company.isEmpty()) {
            const QRegularExpressionMatch match = companyTitlePattern().match(m_feedTitle);
            if (match.hasMatch()) {
                company = match.captured(1).simplified();
                cik = match.captured(2);
            }
        }
        if (company.isEmpty())
            return;
        for (EdgarFiling& filing : *filings) {
            if (filing.company.isEmpty()) {
                filing.company = company;
                filing.cik = cik;
            }
        }
    }

    int m_depth = 0;
    bool m_sawFeed = false;
    QString* m_capture = nullptr;
    int m_captureDepth = 0;
    int m_entryDepth = 0;
    int m_companyInfoDepth = 0;
    QString m_feedTitle;
    QString m_feedCompany;
    QString m_feedCik;
    EdgarFiling m_filing;
    QString m_title;
    QString m_id;
    QString m_entryCompany;
    QString m_entryCik;
    QString m_filingType;
};

qint64 sortTime(const QString& updated)
{
    const QDateTime time = QDateTime::fromString(updated, Qt::ISODate);
    return time.isValid() ? time.toMSecsSinceEpoch() : std::numeric_limits<qint64>::min();
}
} // namespace

bool EdgarFeedSource::parse(const QString& feed, QList<EdgarFiling>* filings, QString* error)
{
    // Several forms' feeds come as one text; each is read on its own.
    const QStringList parts = feed.contains(FormFeedClient::FeedSeparator)
                                  ? feed.split(FormFeedClient::FeedSeparator)
                                  : QStringList{feed};
    for (const QString& part : parts) {
        if (const QString kind = notAFeed(part); !kind.isEmpty()) {
            *error = kind;
        } else if (FeedReader().read(part, filings, error)) {
            continue;
        }
        filings->clear();
        return false;
    }
    return true;
}

Extraction EdgarFeedSource::extract(const QString& page) const
{
    Extraction result;
    QList<EdgarFiling> filings;
    if (!parse(page, &filings, &result.error))
        return result;
    QList<EdgarFiling> kept;
    QHash<QString, qsizetype> byKey;
    qsizetype nameless = 0;
    bool withoutAccession = false;
    for (const EdgarFiling& filing : std::as_const(filings)) {
        if (filing.company.isEmpty()) {
            ++nameless;
            continue;
        }
        withoutAccession = withoutAccession || filing.accession.isEmpty();
        // The current-filings feed lists a filing once for each role; it counts once,
        // under the name of the company that filed it where the feed says which one that is.
        const QString key = filing.key();
        const auto at = byKey.constFind(key);
        if (at == byKey.constEnd()) {
            if (kept.size() == Extraction::MaxEntries + 1)
                break;
            byKey.insert(key, kept.size());
            kept.append(filing);
        } else if (filing.role == u"Filer" && kept[at.value()].role != u"Filer") {
            kept[at.value()] = filing;
        }
    }
    if (nameless > 0)
        result.warnings << QStringLiteral("a filing in the feed names no company; such filings are skipped");
    if (withoutAccession)
        result.warnings << QStringLiteral("the feed gives no accession numbers; its filings are told apart by "
                                          "company and form instead");
    const bool more = kept.size() > Extraction::MaxEntries;
    if (more)
        kept.resize(Extraction::MaxEntries);
    QStringList entries;
    QStringList keys;
    for (const EdgarFiling& filing : std::as_const(kept)) {
        entries << filing.entry();
        keys << filing.key();
    }
    result.finish(entries, keys, more);

    // Try shows the newest filings first, each with its date.
    std::vector<std::pair<qint64, qsizetype>> newest;
    newest.reserve(size_t(kept.size()));
    for (qsizetype i = 0; i < kept.size(); ++i)
        newest.emplace_back(sortTime(kept[i].updated), i);
    std::stable_sort(newest.begin(), newest.end(), [](const auto& a, const auto& b) { return a.first > b.first; });
    for (const auto& [time, i] : newest) {
        const QString entry = PlainText::foldedAndCut(entries[i], Extraction::MaxEntryLength);
        const QString date = PlainText::folded(kept[i].updated.left(10));
        result.rows << (date.isEmpty() ? entry : entry + QLatin1Char(' ') + date);
    }
    return result;
}
