#include "monitor/EdgarFeedSource.h"

#include <QRegularExpression>
#include <QSet>
#include <QXmlStreamReader>

namespace {
const QString AtomNamespace = QStringLiteral("http://www.w3.org/2005/Atom");

// "S-1 - Acme Widgets, Inc. (0001234567) (Filer)": the form, the company (which may
// itself hold " - " and parentheses), the CIK and the filer's role.
const QRegularExpression& titlePattern()
{
    static const QRegularExpression pattern(
        QStringLiteral("^\\s*(\\S.*?)\\s+-\\s+(.*\\S)\\s*\\((\\d{1,10})\\)\\s*\\([^()]*\\)\\s*$"),
        QRegularExpression::DotMatchesEverythingOption);
    return pattern;
}

// Everything after the last "=" or ":" of the id: "...accession-number=0001234567-26-000001".
QString accessionOf(const QString& id)
{
    const qsizetype cut = std::max(id.lastIndexOf(QLatin1Char('=')), id.lastIndexOf(QLatin1Char(':')));
    return id.mid(cut + 1).trimmed();
}

void fillFromTitle(EdgarFiling& filing, const QString& title)
{
    const QRegularExpressionMatch match = titlePattern().match(title);
    if (!match.hasMatch()) {
        filing.company = title.simplified();
        return;
    }
    if (filing.form.isEmpty())
        filing.form = match.captured(1);
    filing.company = match.captured(2).simplified();
    filing.cik = match.captured(3);
}
} // namespace

bool EdgarFeedSource::parse(QStringView feed, QList<EdgarFiling>* filings, QString* error)
{
    QXmlStreamReader xml(feed.toString());
    bool sawFeed = false;
    EdgarFiling filing;
    QString title;
    bool inEntry = false;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement()) {
            const QStringView name = xml.name();
            if (!sawFeed) {
                if (name != u"feed" || xml.namespaceUri() != AtomNamespace) {
                    *error = QStringLiteral("the page is no Atom feed (it begins with <%1>)").arg(name);
                    return false;
                }
                sawFeed = true;
            } else if (name == u"entry") {
                inEntry = true;
                filing = {};
                title.clear();
            } else if (inEntry && name == u"title") {
                title = xml.readElementText(QXmlStreamReader::IncludeChildElements);
            } else if (inEntry && name == u"category") {
                filing.form = xml.attributes().value(QStringLiteral("term")).toString().trimmed();
            } else if (inEntry && name == u"link" && filing.link.isEmpty()) {
                filing.link = xml.attributes().value(QStringLiteral("href")).toString();
            } else if (inEntry && name == u"updated") {
                filing.updated = xml.readElementText(QXmlStreamReader::IncludeChildElements).trimmed();
            } else if (inEntry && name == u"id") {
                filing.accession = accessionOf(xml.readElementText(QXmlStreamReader::IncludeChildElements));
            }
        } else if (xml.isEndElement() && inEntry && xml.name() == u"entry") {
            inEntry = false;
            fillFromTitle(filing, title);
            // Without a CIK the company's name is all there is to tell filings apart.
            if (filing.cik.isEmpty())
                filing.cik = filing.company;
            if (!filing.company.isEmpty())
                filings->append(filing);
        }
    }
    if (xml.hasError()) {
        *error = QStringLiteral("the feed is not well-formed XML: %1 (line %2, column %3)")
                     .arg(xml.errorString())
                     .arg(xml.lineNumber())
                     .arg(xml.columnNumber());
        return false;
    }
    if (!sawFeed) {
        *error = QStringLiteral("the page is empty, no Atom feed");
        return false;
    }
    return true;
}

Extraction EdgarFeedSource::extract(QStringView page) const
{
    Extraction result;
    QList<EdgarFiling> filings;
    if (!parse(page, &filings, &result.error))
        return result;
    QStringList entries;
    QStringList keys;
    QSet<QString> seen;
    for (const EdgarFiling& filing : std::as_const(filings)) {
        // The feed lists a filing once for each filer; one entry is enough.
        const QString key = filing.key();
        if (seen.contains(key))
            continue;
        seen.insert(key);
        entries << filing.entry();
        keys << key;
    }
    result.finish(entries, keys);
    return result;
}
