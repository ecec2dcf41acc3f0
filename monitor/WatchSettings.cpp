#include "monitor/WatchSettings.h"

#include "platform/Settings.h"

#include <QRegularExpression>

namespace {
const QString UrlKey = QStringLiteral("Watch/url");
const QString SourceKey = QStringLiteral("Watch/source");
const QString PatternKey = QStringLiteral("Watch/pattern");
const QString ContactKey = QStringLiteral("Watch/contact");
const QString FailAlertKey = QStringLiteral("Watch/failAlert");
const QString RememberKey = QStringLiteral("Watch/remember");
} // namespace

const QUrl WatchSettings::EdgarFeedUrl(
    QStringLiteral("https://www.sec.gov/cgi-bin/browse-edgar?action=getcurrent&type=S-1&count=100&output=atom"));

WatchSettings WatchSettings::load(const Settings& settings)
{
    WatchSettings watch;
    // A saved value that no longer passes its check counts as absent; save() never writes one.
    QString error;
    checkUrl(settings.value(UrlKey, QString()), &watch.url, &error);
    parseSource(settings.value(SourceKey, QString()), &watch.source);
    watch.pattern = settings.value(PatternKey, QString());
    watch.contact = settings.value(ContactKey, QString());
    bool number = false;
    const int failAlert = settings.value(FailAlertKey, QString()).toInt(&number);
    if (number && failAlert >= 0)
        watch.failAlert = failAlert;
    watch.remember = settings.isOn(RememberKey, remembersByDefault(watch.source));
    watch.rememberChosen = settings.isOn(RememberKey) || !settings.isOn(RememberKey, true);
    return watch;
}

void WatchSettings::saveRemember(Settings& settings, bool remember)
{
    settings.setOn(RememberKey, remember);
}

bool WatchSettings::save(Settings& settings, QString* error) const
{
    const QString problem = validate();
    if (!problem.isEmpty()) {
        if (error)
            *error = problem;
        return false;
    }
    settings.setValue(UrlKey, url.toString());
    settings.setValue(SourceKey, sourceName(source));
    settings.setValue(PatternKey, pattern);
    settings.setValue(ContactKey, contact);
    return true;
}

QString WatchSettings::validate() const
{
    QString error;
    QUrl checked;
    if (!url.isEmpty() && !checkUrl(url.toString(), &checked, &error))
        return error;
    if (source == Source::Pattern && !checkPattern(pattern, &error))
        return error;
    if (contact.contains(QLatin1Char('\n')) || contact.contains(QLatin1Char('\r')))
        return QStringLiteral("The contact address must be one line.");
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

bool WatchSettings::checkPattern(const QString& pattern, QString* error)
{
    const QRegularExpression expression(pattern);
    if (pattern.isEmpty()) {
        *error = QStringLiteral("A pattern source needs a pattern.");
        return false;
    }
    if (!expression.isValid()) {
        *error = QStringLiteral("The pattern does not compile: %1 (at character %2).")
                     .arg(expression.errorString())
                     .arg(expression.patternErrorOffset());
        return false;
    }
    if (!expression.namedCaptureGroups().contains(QStringLiteral("symbol"))) {
        *error = QStringLiteral("The pattern needs a group named symbol, as in (?<symbol>[A-Z]{1,5}).");
        return false;
    }
    return true;
}
