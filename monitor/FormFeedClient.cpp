// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "monitor/FormFeedClient.h"

#include "monitor/ActionLog.h"

#include <QUrlQuery>

FormFeedClient::FormFeedClient(PageClient& inner, QObject* parent)
    : PageClient(parent)
    , m_inner(inner)
{
    m_spacing.setSingleShot(true);
    connect(&m_spacing, &QTimer::timeout, this, &FormFeedClient::requestNext);
    connect(&m_inner, &PageClient::finished, this, &FormFeedClient::partArrived);
}

void FormFeedClient::setForms(const QStringList& forms)
{
    if (forms != m_forms)
        m_lastGood.clear();
    m_forms = forms;
}

bool FormFeedClient::isCurrentFilingsFeed(const QUrl& url)
{
    return url.path().endsWith(QLatin1String("/browse-edgar")) &&
           QUrlQuery(url).queryItemValue(QStringLiteral("action")).compare(u"getcurrent", Qt::CaseInsensitive) == 0;
}

QUrl FormFeedClient::formUrl(const QUrl& url, const QString& form)
{
    QUrlQuery query(url);
    query.removeAllQueryItems(QStringLiteral("type"));
    query.addQueryItem(QStringLiteral("type"), QString::fromLatin1(QUrl::toPercentEncoding(form)));
    QUrl result = url;
    result.setQuery(query);
    return result;
}

void FormFeedClient::fetch(const QUrl& url)
{
    abort();
    m_busy = true;
    m_url = url;
    m_inner.setContact(contact());
    m_passThrough = m_forms.isEmpty() || !isCurrentFilingsFeed(url);
    if (m_passThrough) {
        m_inner.fetch(url);
        return;
    }
    if (url != m_lastGoodUrl)
        m_lastGood.clear();
    m_lastGoodUrl = url;
    m_next = 0;
    m_bodies.clear();
    m_failures.clear();
    m_anyAnswer = false;
    m_firstFailure = {};
    requestNext();
}

void FormFeedClient::abort()
{
    m_spacing.stop();
    m_inner.abort();
    m_busy = false;
}

void FormFeedClient::requestNext()
{
    m_inner.fetch(formUrl(m_url, m_forms.at(m_next)));
}

void FormFeedClient::partArrived(const PageResult& result)
{
    if (!m_busy)
        return;
    if (m_passThrough) {
        m_busy = false;
        Q_EMIT finished(result);
        return;
    }
    const QString form = m_forms.at(m_next);
    if (result.ok && !result.body.isEmpty()) {
        m_anyAnswer = true;
        m_lastAnswer = result;
        m_bodies << result.body;
        m_lastGood.insert(form, result.body);
    } else {
        const QString why = result.ok ? QStringLiteral("an empty page")
                                      : errorDetailLine(QStringLiteral("Error #"), result.errorNumber,
                                                        result.errorDescription);
        m_failures << QStringLiteral("%1 (%2)").arg(form, why);
        if (m_failures.size() == 1)
            m_firstFailure = result;
        if (const auto last = m_lastGood.constFind(form); last != m_lastGood.constEnd())
            m_bodies << last.value();
    }
    if (++m_next < m_forms.size()) {
        m_spacing.start(SpacingMilliseconds);
        return;
    }
    finishAll();
}

void FormFeedClient::finishAll()
{
    m_busy = false;
    if (!m_anyAnswer) {
        Q_EMIT finished(m_firstFailure);
        return;
    }
    if (!m_failures.isEmpty() && m_warn)
        m_warn(QStringLiteral("poll: warning, the feed of %1 did not answer; its filings are kept from its last "
                              "answer")
                   .arg(m_failures.join(QStringLiteral(", "))));
    PageResult merged = m_lastAnswer;
    merged.body = m_bodies.join(FeedSeparator);
    Q_EMIT finished(merged);
}
