#include "monitor/PatternSource.h"

PatternSource::PatternSource(const QString& pattern)
    : m_expression(pattern)
{
    m_expression.optimize();
    m_hasStatus = m_expression.namedCaptureGroups().contains(QStringLiteral("status"));
}

Extraction PatternSource::extract(QStringView page) const
{
    Extraction result;
    if (!m_expression.isValid()) {
        result.error = QStringLiteral("the pattern does not compile: %1").arg(m_expression.errorString());
        return result;
    }
    QStringList entries;
    QRegularExpressionMatchIterator matches = m_expression.globalMatch(page);
    while (matches.hasNext()) {
        const QRegularExpressionMatch match = matches.next();
        QString entry = match.captured(u"symbol").trimmed();
        if (entry.isEmpty())
            continue;
        if (m_hasStatus)
            entry += match.captured(u"status").contains(QStringLiteral("closed"), Qt::CaseInsensitive)
                         ? QStringLiteral(" (closed)")
                         : QStringLiteral(" (go-now)");
        entries << entry;
    }
    result.finish(entries, entries);
    return result;
}
