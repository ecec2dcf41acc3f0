// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "monitor/WatchSettings.h"

#include "monitor/PatternSource.h"
#include "platform/MessagingSession.h"
#include "platform/Settings.h"

const QUrl WatchSettings::EdgarFeedUrl(
    QStringLiteral("https://www.sec.gov/cgi-bin/browse-edgar?action=getcurrent&type=S-1&count=100&output=atom"));

WatchSettings WatchSettings::load(const Settings& settings)
{
    WatchSettings watch;
    // A saved value that no longer passes its check counts as absent; save() never writes one.
    QString error;
    checkUrl(settings.text(Setting::WatchUrl), &watch.url, &error);
    parseSource(settings.text(Setting::WatchSource), &watch.source);
    watch.pattern = settings.text(Setting::WatchPattern);
    watch.contact = settings.text(Setting::WatchContact);
    if (QStringList forms; parseForms(settings.text(Setting::WatchForms), &forms, &error))
        watch.forms = forms;
    watch.failAlert = settings.count(Setting::WatchFailAlert);
    watch.remember = settings.isOn(Setting::WatchRemember, remembersByDefault(watch.source));
    watch.rememberChosen =
        settings.isOn(Setting::WatchRemember, false) || !settings.isOn(Setting::WatchRemember, true);
    return watch;
}

void WatchSettings::saveRemember(Settings& settings, bool remember)
{
    settings.setOn(Setting::WatchRemember, remember);
}

bool WatchSettings::save(Settings& settings, QString* error) const
{
    const QString problem = validate();
    if (!problem.isEmpty()) {
        if (error)
            *error = problem;
        return false;
    }
    settings.setText(Setting::WatchUrl, url.toString());
    settings.setText(Setting::WatchSource, sourceName(source));
    settings.setText(Setting::WatchPattern, pattern);
    settings.setText(Setting::WatchContact, contact);
    settings.setText(Setting::WatchForms, formsText(forms));
    return true;
}

QString WatchSettings::validate() const
{
    QString error;
    QUrl checked;
    if (!url.isEmpty() && !checkUrl(url.toString(), &checked, &error))
        return error;
    QStringList checkedForms;
    if (!parseForms(formsText(forms), &checkedForms, &error))
        return error;
    // A pattern source may be chosen before its pattern is typed; polling waits for one.
    if (source == Source::Pattern && !pattern.isEmpty() && !checkPattern(pattern, &error))
        return error;
    if (contact.contains(QLatin1Char('\n')) || contact.contains(QLatin1Char('\r')))
        return QStringLiteral("The contact address must be one line.");
    // The contact goes into every request's User-Agent: it must be an address a reader can write to.
    if (!contact.isEmpty()) {
        if (QString problem = mailboxAddressProblem(contact); !problem.isEmpty())
            return QStringLiteral("The contact must be an e-mail address: %1.")
                .arg(problem.replace(QStringLiteral("recipient "), QString()));
    }
    return {};
}

QString WatchSettings::pollProblem(bool console) const
{
    if (url.isEmpty())
        return QStringLiteral("no address to watch; set one ") +
               (console ? QStringLiteral("with: watch url ADDRESS") : QStringLiteral("in File > Watch Settings"));
    if (source == Source::Edgar && !contact.contains(QLatin1Char('@')))
        return QStringLiteral("EDGAR wants a contact e-mail address with every request; set one ") +
               (console ? QStringLiteral("with: watch contact ADDRESS") : QStringLiteral("in File > Watch Settings"));
    if (source == Source::Pattern) {
        const QString where = console ? QStringLiteral("with: watch pattern TEXT")
                                      : QStringLiteral("in File > Watch Settings");
        if (pattern.isEmpty())
            return QStringLiteral("the pattern source has no pattern; set one ") + where;
        // A pattern edited by hand in the settings file is checked here, where it is used.
        if (const QString problem = PatternSource::problemOf(pattern); !problem.isEmpty())
            return QStringLiteral("the saved pattern cannot be used: %1 Set one %2").arg(problem, where);
    }
    return {};
}

QString WatchSettings::sourceName(Source source)
{
    switch (source) {
    case Source::Edgar:
        return QStringLiteral("edgar");
    case Source::Pattern:
        return QStringLiteral("pattern");
    case Source::Broker:
        break;
    }
    return QStringLiteral("broker");
}

bool WatchSettings::parseSource(const QString& name, Source* source)
{
    for (const Source s : {Source::Broker, Source::Edgar, Source::Pattern}) {
        if (name == sourceName(s)) {
            *source = s;
            return true;
        }
    }
    return false;
}

bool WatchSettings::checkUrl(const QString& text, QUrl* url, QString* error)
{
    const QUrl parsed(text.trimmed(), QUrl::StrictMode);
    const QString scheme = parsed.scheme();
    if (!parsed.isValid() || parsed.host().isEmpty() ||
        (scheme != QLatin1String("http") && scheme != QLatin1String("https"))) {
        *error = QStringLiteral("The address must be an http or https address with a host, not \"%1\".").arg(text);
        return false;
    }
    *url = parsed;
    return true;
}

const QStringList& WatchSettings::knownForms()
{
    static const QStringList forms{
        QStringLiteral("S-1"),    QStringLiteral("S-1/A"),   QStringLiteral("S-1MEF"), QStringLiteral("F-1"),
        QStringLiteral("F-1/A"),  QStringLiteral("F-1MEF"),  QStringLiteral("S-11"),   QStringLiteral("S-11/A"),
        QStringLiteral("F-10"),   QStringLiteral("F-10/A"),  QStringLiteral("S-3"),    QStringLiteral("S-3/A"),
        QStringLiteral("F-3"),    QStringLiteral("F-3/A"),   QStringLiteral("424B1"),  QStringLiteral("424B2"),
        QStringLiteral("424B3"),  QStringLiteral("424B4"),   QStringLiteral("424B5"),  QStringLiteral("424B7"),
        QStringLiteral("EFFECT"), QStringLiteral("RW"),      QStringLiteral("RW WD"),  QStringLiteral("8-A12B"),
        QStringLiteral("8-A12G"), QStringLiteral("10-12B"),  QStringLiteral("10-12B/A")};
    return forms;
}

bool WatchSettings::parseForms(const QString& text, QStringList* forms, QString* error)
{
    QStringList parsed;
    for (const QString& item : text.split(QLatin1Char(','))) {
        const QString form = item.simplified().toUpper();
        if (form.isEmpty()) {
            *error = QStringLiteral("The forms list \"%1\" has an empty form; name forms separated by commas, "
                                    "as in S-1, F-1.")
                         .arg(text);
            return false;
        }
        if (!knownForms().contains(form)) {
            *error = QStringLiteral("\"%1\" is no form this program knows; known forms: %2.")
                         .arg(item.simplified(), formsText(knownForms()));
            return false;
        }
        if (!parsed.contains(form))
            parsed << form;
    }
    *forms = parsed;
    return true;
}

bool WatchSettings::checkPattern(const QString& pattern, QString* error)
{
    *error = PatternSource::problemOf(pattern);
    return error->isEmpty();
}
