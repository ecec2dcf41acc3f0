// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/NetworkPageClient.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSslConfiguration>
#include <QStringDecoder>

namespace {

// The charset parameter of a Content-Type value (RFC 9110, section 8.3), unquoted.
QByteArray charsetOf(const QByteArray& contentType)
{
    const QList<QByteArray> parts = contentType.split(';');
    for (qsizetype i = 1; i < parts.size(); ++i) {
        const QByteArray parameter = parts.at(i).trimmed();
        const qsizetype equals = parameter.indexOf('=');
        if (equals < 0 || parameter.left(equals).trimmed().toLower() != "charset")
            continue;
        QByteArray value = parameter.mid(equals + 1).trimmed();
        if (value.size() >= 2 && value.startsWith('"') && value.endsWith('"'))
            value = value.mid(1, value.size() - 2);
        return value;
    }
    return {};
}

// The encoding an XML document declares for itself: <?xml version="1.0" encoding="..."?>.
QByteArray xmlDeclaredEncoding(const QByteArray& body)
{
    if (!body.startsWith("<?xml"))
        return {};
    const QByteArray declaration = body.left(body.indexOf("?>"));
    const qsizetype at = declaration.indexOf("encoding");
    if (at < 0)
        return {};
    const qsizetype open = declaration.indexOf('=', at);
    QByteArray value = declaration.mid(open + 1).trimmed();
    if (value.isEmpty() || (value[0] != '"' && value[0] != '\''))
        return {};
    const qsizetype close = value.indexOf(value[0], 1);
    return close < 0 ? QByteArray() : value.mid(1, close - 1);
}

// The header's charset first; without one, an XML feed's own declaration (RFC 7303).
// An unknown or missing charset is read as UTF-8: the page is still shown, with
// replacement characters where the bytes do not fit, rather than lost.
QString decodeBody(const QByteArray& body, const QByteArray& contentType)
{
    QByteArray charset = charsetOf(contentType);
    if (charset.isEmpty())
        charset = xmlDeclaredEncoding(body);
    if (!charset.isEmpty()) {
        QStringDecoder decoder(charset.constData());
        if (decoder.isValid())
            return decoder(body);
    }
    QStringDecoder utf8(QStringDecoder::Utf8);
    return utf8(body);
}

constexpr int FirstFailedHttpStatus = 400;
// What the network layer may hold of a page before we take it: enough to keep the
// connection busy, and far below the body limit, so an endless page cannot pile up.
constexpr qint64 ReadBufferBytes = 256 * 1024;

QString durationText(std::chrono::milliseconds duration)
{
    if (duration.count() % 1000 == 0)
        return QStringLiteral("%1 s").arg(duration.count() / 1000);
    return QStringLiteral("%1 ms").arg(duration.count());
}

} // namespace

NetworkPageClient::NetworkPageClient(QObject* parent)
    : PageClient(parent)
    , m_manager(new QNetworkAccessManager(this))
{
    m_manager->setRedirectPolicy(QNetworkRequest::NoLessSafeRedirectPolicy);
    m_deadline.setSingleShot(true);
    connect(&m_deadline, &QTimer::timeout, this, &NetworkPageClient::onTimeout);
}

NetworkPageClient::~NetworkPageClient()
{
    dropReply();
}

QString NetworkPageClient::userAgent()
{
    return QStringLiteral("Offerwatch/%1").arg(QStringLiteral(OFFERWATCH_VERSION));
}

QString NetworkPageClient::userAgentFor(const QString& contact)
{
    return contact.isEmpty() ? userAgent() : userAgent() + QLatin1Char(' ') + contact;
}

void NetworkPageClient::setTransferTimeout(std::chrono::milliseconds timeout)
{
    m_transferTimeout = timeout > std::chrono::milliseconds::zero() ? timeout : DefaultTransferTimeout;
}

void NetworkPageClient::setBodyLimit(qint64 bytes)
{
    m_bodyLimit = bytes > 0 ? bytes : DefaultBodyLimit;
}

void NetworkPageClient::setExtraCaCertificates(const QList<QSslCertificate>& certificates)
{
    m_extraCaCertificates = certificates;
}

bool NetworkPageClient::isBusy() const
{
    return !m_reply.isNull();
}

void NetworkPageClient::abort()
{
    ++m_generation;
    dropReply();
}

void NetworkPageClient::fetch(const QUrl& url)
{
    abort();
    const quint64 generation = m_generation;

    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || (scheme != QLatin1String("http") && scheme != QLatin1String("https"))) {
        const QString description =
            url.isValid() ? QStringLiteral("Unsupported address \"%1\": only http and https pages can be fetched")
                                .arg(url.toDisplayString())
                          : QStringLiteral("Invalid address \"%1\": %2").arg(url.toDisplayString(), url.errorString());
        // Reported later, as every other outcome, so that callers never see the
        // signal from inside fetch().
        QTimer::singleShot(0, this, [this, generation, description] {
            if (generation == m_generation)
                fail(QNetworkReply::ProtocolUnknownError, description);
        });
        return;
    }

    QNetworkRequest request(url);
    request.setHeader(QNetworkRequest::UserAgentHeader, userAgentFor(contact()));
    // Pages come as they are: nothing to decompress means no archive bomb and no
    // corrupt stream that would pass for an empty page.
    request.setRawHeader("Accept-Encoding", "identity");
    request.setMaximumRedirectsAllowed(MaximumRedirects);
    if (!m_extraCaCertificates.isEmpty()) {
        QSslConfiguration configuration = QSslConfiguration::defaultConfiguration();
        configuration.addCaCertificates(m_extraCaCertificates);
        request.setSslConfiguration(configuration);
    }

    m_body.clear();
    m_location = url;
    m_reply = m_manager->get(request);
    m_reply->setReadBufferSize(ReadBufferBytes);
    connect(m_reply, &QNetworkReply::metaDataChanged, this, &NetworkPageClient::onMetaDataChanged);
    connect(m_reply, &QNetworkReply::readyRead, this, &NetworkPageClient::onReadyRead);
    connect(m_reply, &QNetworkReply::finished, this, &NetworkPageClient::onReplyFinished);
    connect(m_reply, &QNetworkReply::redirected, this, [this](const QUrl& target) { m_location = target; });
    m_deadline.start(m_transferTimeout);
}

void NetworkPageClient::onMetaDataChanged()
{
    // A redirect's own headers say nothing about the page at its end.
    if (m_reply->attribute(QNetworkRequest::RedirectionTargetAttribute).isValid())
        return;
    const QByteArray encoding = m_reply->rawHeader("Content-Encoding").trimmed().toLower();
    if (!encoding.isEmpty() && encoding != "identity") {
        fail(QNetworkReply::UnknownContentError,
             QStringLiteral("The server sent the page encoded as \"%1\", which was not asked for; it is not read")
                 .arg(QString::fromLatin1(encoding)));
        return;
    }
    bool known = false;
    const qint64 announced = m_reply->header(QNetworkRequest::ContentLengthHeader).toLongLong(&known);
    if (known && announced > m_bodyLimit) {
        fail(QNetworkReply::UnknownContentError,
             QStringLiteral("Page too large: the server announced %1 bytes, more than the limit of %2")
                 .arg(announced)
                 .arg(limitText()));
    }
}

void NetworkPageClient::onReadyRead()
{
    if (!takeBody()) {
        fail(QNetworkReply::UnknownContentError,
             QStringLiteral("Page too large: more than %1 received").arg(limitText()));
    }
}

bool NetworkPageClient::takeBody()
{
    m_body += m_reply->read(m_bodyLimit + 1 - m_body.size());
    return m_body.size() <= m_bodyLimit;
}

void NetworkPageClient::onReplyFinished()
{
    const QNetworkReply::NetworkError error = m_reply->error();
    const QVariant status = m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);

    if (error == QNetworkReply::InsecureRedirectError) {
        const QUrl from = m_location;
        const QUrl to = from.resolved(QUrl::fromEncoded(m_reply->rawHeader("Location")));
        fail(error, QStringLiteral("Redirect refused: %1 points to the less safe address %2")
                        .arg(from.toDisplayString(), to.toDisplayString()));
        return;
    }
    // A page that came with a failure status is no page: "Error # 404 Not Found".
    if (status.isValid() && status.toInt() >= FirstFailedHttpStatus) {
        fail(status.toInt(), m_reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toString());
        return;
    }
    // Anything else that went wrong on the way (a body that would not decompress, a
    // connection cut short) fails the fetch, whatever the status line said before.
    if (error != QNetworkReply::NoError) {
        fail(error, m_reply->errorString());
        return;
    }
    if (!takeBody()) {
        fail(QNetworkReply::UnknownContentError,
             QStringLiteral("Page too large: more than %1 received").arg(limitText()));
        return;
    }

    PageResult result;
    result.ok = true;
    result.body = decodeBody(m_body, m_reply->rawHeader("Content-Type"));
    result.responseCode = status.toInt();
    result.responseInfo = m_reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toString();
    report(result);
}

void NetworkPageClient::onTimeout()
{
    fail(QNetworkReply::TimeoutError,
         QStringLiteral("Operation timed out after %1").arg(durationText(m_transferTimeout)));
}

void NetworkPageClient::fail(int errorNumber, const QString& description)
{
    PageResult result;
    if (m_reply) {
        const QVariant status = m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
        result.responseCode = status.isValid() ? status.toInt() : 0;
        result.responseInfo = m_reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toString();
    }
    result.errorNumber = errorNumber;
    result.errorDescription = description;
    report(result);
}

void NetworkPageClient::report(const PageResult& result)
{
    // Done with the reply before anyone hears of it, so a receiver may fetch again at once.
    ++m_generation;
    dropReply();
    m_body.clear();
    Q_EMIT finished(result);
}

void NetworkPageClient::dropReply()
{
    m_deadline.stop();
    if (!m_reply)
        return;
    QNetworkReply* reply = m_reply;
    m_reply.clear();
    reply->disconnect(this);
    reply->abort();
    reply->deleteLater();
}

QString NetworkPageClient::limitText() const
{
    if (m_bodyLimit % (1024 * 1024) == 0)
        return QStringLiteral("%1 MiB").arg(m_bodyLimit / (1024 * 1024));
    return QStringLiteral("%1 bytes").arg(m_bodyLimit);
}
