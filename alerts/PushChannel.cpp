// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "alerts/PushChannel.h"

#include "monitor/ActionLog.h"
#include "platform/ConsoleCommands.h"
#include "platform/PlainText.h"
#include "platform/SecretStore.h"
#include "platform/Settings.h"
#include "smtp/src/MailText.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPointer>
#include <QSslConfiguration>

namespace {
const QStringList Kinds{QStringLiteral("ntfy"), QStringLiteral("json")};
constexpr qsizetype MaxErrorText = 200;

// A header value is one line of ASCII; other text goes as RFC 2047 words, which ntfy reads.
QByteArray headerText(const QString& text)
{
    const QString line = PlainText::folded(text);
    return MailText::isAscii(line) ? line.toLatin1() : MailText::encodedWords(line, QByteArray());
}

QJsonArray jsonList(const QStringList& entries)
{
    QJsonArray list;
    for (const QString& entry : entries)
        list.append(PlainText::folded(entry));
    return list;
}
} // namespace

PushChannel::PushChannel(ActionLog& log, Settings& settings, SecretStore& secrets, QObject* parent)
    : AlertChannel(parent)
    , m_log(log)
    , m_settings(settings)
    , m_secrets(secrets)
{
    // Taken now, at start, before any other program is started with our environment.
    m_token = environmentSecret(TokenVariable);
    m_network.setRedirectPolicy(QNetworkRequest::NoLessSafeRedirectPolicy);
}

bool PushChannel::isOn() const
{
    return m_settings.isOn(Setting::Push) && url().isValid();
}

QUrl PushChannel::url() const
{
    const QUrl url(m_settings.text(Setting::PushUrl), QUrl::StrictMode);
    const bool web = url.scheme() == u"http" || url.scheme() == u"https";
    return web && !url.host().isEmpty() ? url : QUrl();
}

bool PushChannel::setUrl(const QString& text, QString* problem)
{
    const QUrl url(text.trimmed(), QUrl::StrictMode);
    if (!(url.scheme() == u"http" || url.scheme() == u"https") || url.host().isEmpty()) {
        *problem = QStringLiteral("'push url': give an http:// or https:// address, such as https://ntfy.sh/TOPIC; "
                                  "nothing changed");
        return false;
    }
    m_settings.setText(Setting::PushUrl, url.toString());
    Q_EMIT changed();
    return true;
}

const QStringList& PushChannel::kinds()
{
    return Kinds;
}

QString PushChannel::kind() const
{
    const QString kind = m_settings.text(Setting::PushKind);
    return Kinds.contains(kind) ? kind : Kinds.first();
}

bool PushChannel::setKind(const QString& kind, QString* problem)
{
    if (!Kinds.contains(kind.trimmed())) {
        *problem = QStringLiteral("'push kind': use ntfy or json; nothing changed");
        return false;
    }
    m_settings.setText(Setting::PushKind, kind.trimmed());
    Q_EMIT changed();
    return true;
}

bool PushChannel::hasToken() const
{
    return m_token.has_value() || m_settings.isOn(Setting::PushToken);
}

void PushChannel::setToken(const QString& token)
{
    m_token = token.isEmpty() ? std::nullopt : std::optional<QString>(token);
    m_settings.setOn(Setting::PushToken, !token.isEmpty());
    m_secrets.write(QString::fromLatin1(KeyringKey), token, [this, alive = QPointer<PushChannel>(this)](bool saved, const QString&) {
        if (alive && !saved)
            m_log.LogAction(QStringLiteral("push: no desktop keyring; the token is kept for this run only (give it "
                                           "in %1 to have it at start)")
                                .arg(QLatin1String(TokenVariable)));
    });
    Q_EMIT changed();
}

bool PushChannel::setOn(bool on, QString* problem)
{
    if (on && !url().isValid()) {
        *problem = QStringLiteral("'push on': set the address first (push url ADDRESS); nothing changed");
        return false;
    }
    m_settings.setOn(Setting::Push, on);
    Q_EMIT switched();
    Q_EMIT changed();
    m_log.LogAction(on ? QStringLiteral("push: ON") : QStringLiteral("push: OFF"));
    return true;
}

void PushChannel::sendTest()
{
    send({QStringLiteral("Offerwatch: test"), QStringLiteral("Push alerts reach you."), {}, {}, {}});
}

// The token from the environment, a credential or the keyring; none is no error, as a
// public topic needs none.
void PushChannel::withToken(std::function<void(const QString& token)> post)
{
    if (!m_token)
        m_token = credentialSecret(QString::fromLatin1(TokenCredential));
    if (m_token || !m_settings.isOn(Setting::PushToken)) {
        post(m_token.value_or(QString()));
        return;
    }
    m_secrets.read(QString::fromLatin1(KeyringKey),
                   [this, post, alive = QPointer<PushChannel>(this)](SecretStore::Failure failure,
                                                                     const QString& secret, const QString& error) {
                       if (!alive)
                           return;
                       if (failure != SecretStore::Failure::None) {
                           if (!std::exchange(m_quiet, true))
                               m_log.LogAction(QStringLiteral("push: error, the token is not in reach (%1); set %2")
                                                   .arg(PlainText::folded(error), QLatin1String(TokenVariable)));
                           return;
                       }
                       m_token = secret;
                       post(secret);
                   });
}

void PushChannel::send(const Alert& alert)
{
    if (!url().isValid())
        return;
    withToken([this, alert](const QString& token) { post(alert, token); });
}

void PushChannel::post(const Alert& alert, const QString& token)
{
    QNetworkRequest request(url());
    request.setTransferTimeout(int(m_timeout.count()));
    QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
    tls.addCaCertificates(m_extraCa);
    request.setSslConfiguration(tls);
    if (!token.isEmpty())
        request.setRawHeader("Authorization", "Bearer " + token.toUtf8());
    const bool tickers = alert.subject == Alert::TickersSubject;
    QByteArray body;
    if (kind() == u"json") {
        request.setHeader(QNetworkRequest::ContentTypeHeader, QStringLiteral("application/json"));
        const QJsonObject json{{QStringLiteral("subject"), PlainText::folded(alert.subject)},
                               {QStringLiteral("text"), PlainText::folded(alert.text)},
                               {QStringLiteral("new"), jsonList(alert.newEntries)},
                               {QStringLiteral("all"), jsonList(alert.entries)},
                               {QStringLiteral("source"), alert.source.toString()}};
        body = QJsonDocument(json).toJson(QJsonDocument::Compact);
    } else {
        request.setHeader(QNetworkRequest::ContentTypeHeader, QStringLiteral("text/plain; charset=utf-8"));
        const QString title = tickers && !alert.newEntries.isEmpty()
                                  ? QStringLiteral("Offerwatch: %1 new").arg(alert.newEntries.size())
                                  : alert.subject;
        request.setRawHeader("Title", headerText(title));
        // A health alert is about the watch itself failing or healing.
        request.setRawHeader("Priority", tickers ? "high" : "urgent");
        request.setRawHeader("Tags", tickers ? "chart_with_upwards_trend" : "warning");
        const QStringList& named = alert.newEntries.isEmpty() ? alert.entries : alert.newEntries;
        QStringList lines;
        for (const QString& entry : named)
            lines << PlainText::folded(entry);
        body = (tickers && !lines.isEmpty() ? lines.join(QLatin1Char('\n')) : PlainText::folded(alert.text)).toUtf8();
    }
    QNetworkReply* reply = m_network.post(request, body);
    connect(reply, &QNetworkReply::finished, this, [this, reply] { finished(reply); });
}

void PushChannel::finished(QNetworkReply* reply)
{
    reply->deleteLater();
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    QString problem;
    if (reply->error() == QNetworkReply::OperationCanceledError)
        problem = QStringLiteral("no answer within %1 s").arg(m_timeout.count() / 1000.0);
    else if (reply->error() == QNetworkReply::InsecureRedirectError)
        problem = QStringLiteral("the server redirected to an unencrypted address; not followed");
    else if (status >= 400 || (reply->error() != QNetworkReply::NoError && status == 0))
        problem = status >= 400 ? QStringLiteral("the server answered %1 %2")
                                      .arg(status)
                                      .arg(reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toString())
                                : reply->errorString();
    else if (status < 200 || status >= 300)
        problem = QStringLiteral("the server answered %1").arg(status);
    if (problem.isEmpty()) {
        m_quiet = false;
        m_log.LogAction(QStringLiteral("push: sent"));
        return;
    }
    if (!std::exchange(m_quiet, true))
        m_log.LogAction(QStringLiteral("push: error, ") + PlainText::foldedAndCut(problem, MaxErrorText));
}

void PushChannel::addConsoleCommands(ConsoleCommands& c)
{
    const auto refusing = [&c](bool ok, const QString& problem) {
        if (!ok)
            c.refuse(problem);
    };
    c.addCommand(QStringLiteral("push url"), true, [this, refusing](const QString& text) {
        QString problem;
        refusing(setUrl(text, &problem), problem);
    });
    c.addCommand(QStringLiteral("push kind"), true, [this, refusing](const QString& text) {
        QString problem;
        refusing(setKind(text, &problem), problem);
    });
    c.setArgumentValues(QStringLiteral("push kind"), Kinds.join(u'|'));
    c.addCommand(QStringLiteral("push token"), true, [this](const QString& text) { setToken(text); });
    c.addCommand(QStringLiteral("push on"), false, [this, refusing](const QString&) {
        QString problem;
        refusing(setOn(true, &problem), problem);
    });
    c.addCommand(QStringLiteral("push off"), false, [this, refusing](const QString&) {
        QString problem;
        refusing(setOn(false, &problem), problem);
    });
    c.addCommand(QStringLiteral("push test"), false, [this](const QString&) { sendTest(); });
}
