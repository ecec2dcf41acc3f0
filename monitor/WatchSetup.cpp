// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "monitor/WatchSetup.h"

#include "monitor/OfferingsSource.h"
#include "platform/PageClient.h"
#include "platform/Settings.h"

#include <QtConcurrent>

WatchSetup::WatchSetup(Settings& settings, PageClient& tryClient, QObject* parent)
    : QObject(parent)
    , m_settings(settings)
    , m_client(tryClient)
{
    connect(&m_client, &PageClient::finished, this, &WatchSetup::fetched);
    m_client.setWarningSink([this](const QString& warning) { m_fetchWarning = warning; });
    connect(&m_reading, &QFutureWatcherBase::finished, this,
            [this] { read(m_reading.result(), m_readingEntryName); });
    reload();
}

void WatchSetup::reload()
{
    const WatchSettings saved = WatchSettings::load(m_settings);
    m_urlText = saved.url.toString();
    m_source = saved.source;
    m_pattern = saved.pattern;
    m_contact = saved.contact;
    m_formsText = WatchSettings::formsText(saved.forms);
    m_remember = saved.remember;
    m_rememberChosen = saved.rememberChosen;
}

void WatchSetup::setSource(WatchSettings::Source source)
{
    m_source = source;
    if (!m_rememberChosen && m_remember != WatchSettings::remembersByDefault(source)) {
        m_remember = WatchSettings::remembersByDefault(source);
        Q_EMIT fieldsChanged();
    }
    // EDGAR has one obvious address; a user who picks it need not look it up.
    if (source == WatchSettings::Source::Edgar && m_urlText.trimmed().isEmpty()) {
        m_urlText = WatchSettings::EdgarFeedUrl.toString();
        Q_EMIT fieldsChanged();
    }
}

bool WatchSetup::collect(WatchSettings* watch, QString* error) const
{
    WatchSettings fields;
    if (!m_urlText.trimmed().isEmpty() && !WatchSettings::checkUrl(m_urlText, &fields.url, error))
        return false;
    fields.source = m_source;
    fields.pattern = m_pattern;
    fields.contact = m_contact.trimmed();
    if (!WatchSettings::parseForms(m_formsText, &fields.forms, error))
        return false;
    *error = fields.validate();
    if (!error->isEmpty())
        return false;
    *watch = fields;
    return true;
}

bool WatchSetup::save(QString* error)
{
    WatchSettings watch;
    if (!collect(&watch, error) || !watch.save(m_settings, error))
        return false;
    if (m_rememberChosen)
        WatchSettings::saveRemember(m_settings, m_remember);
    Q_EMIT saved();
    return true;
}

bool WatchSetup::isTrying() const
{
    return m_client.isBusy() || m_reading.isRunning();
}

void WatchSetup::tryFetch()
{
    QString error;
    if (!collect(&m_trying, &error) || !(error = m_trying.pollProblem(m_consoleWords)).isEmpty()) {
        Q_EMIT tried(QStringLiteral("Try: ") + error);
        return;
    }
    const bool edgar = m_trying.source == WatchSettings::Source::Edgar;
    m_client.setContact(edgar ? m_trying.contact : QString());
    m_client.setForms(edgar ? m_trying.forms : QStringList());
    m_fetchWarning.clear();
    m_client.fetch(m_trying.url);
}

void WatchSetup::fetched(const PageResult& result)
{
    if (!result.ok) {
        Q_EMIT tried(QStringLiteral("Try: Error # %1 %2").arg(result.errorNumber).arg(result.errorDescription));
        return;
    }
    std::shared_ptr<const OfferingsSource> source = OfferingsSource::create(m_trying);
    m_readingEntryName = source->entryName();
    m_reading.setFuture(QtConcurrent::run([source, page = result.body] { return source->extract(page); }));
}

void WatchSetup::read(const Extraction& extraction, const QString& entryName)
{
    if (!extraction.error.isEmpty()) {
        Q_EMIT tried(QStringLiteral("Try: ") + extraction.error);
        return;
    }
    const qsizetype count = extraction.entries.size();
    QString report =
        QStringLiteral("Try: %1 %2%3").arg(count).arg(entryName, count == 1 ? QString() : QStringLiteral("s"));
    if (count == 0 && m_trying.source == WatchSettings::Source::Pattern)
        report += QStringLiteral("; the pattern matched nothing on this page");
    const QStringList& rows = extraction.rows.isEmpty() ? extraction.entries : extraction.rows;
    if (count > 0)
        report += QStringLiteral(": ") + rows.mid(0, EntriesShownByTry).join(QStringLiteral(", "));
    if (count > EntriesShownByTry)
        report += QStringLiteral(", …");
    if (!m_fetchWarning.isEmpty())
        report += QStringLiteral("; ") + m_fetchWarning.mid(m_fetchWarning.indexOf(u',') + 2);
    for (const QString& warning : extraction.warnings)
        report += QStringLiteral("; ") + warning;
    Q_EMIT tried(report);
}

QString WatchSetup::describe() const
{
    return QStringLiteral("watch: url=\"%1\" source=%2 pattern=\"%3\" contact=\"%4\" remember=%5 forms=\"%6\"")
        .arg(m_urlText, WatchSettings::sourceName(m_source), m_pattern, m_contact,
             m_remember ? QStringLiteral("on") : QStringLiteral("off"), m_formsText);
}
