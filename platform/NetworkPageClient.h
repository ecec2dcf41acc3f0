// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/PageClient.h"

#include <QByteArray>
#include <QList>
#include <QPointer>
#include <QSslCertificate>
#include <QTimer>

#include <chrono>

class QNetworkAccessManager;
class QNetworkReply;

// The page client of the real program: an HTTP(S) GET through QNetworkAccessManager.
//
// Certificates are always verified against the system's CAs (plus any added with
// setExtraCaCertificates); there is no way to switch verification off. Redirects are
// followed unless they lead to a less safe scheme. An HTTP status of 400 or more is a
// failure numbered by the status, described by its reason phrase. Any other failure
// carries the QNetworkReply::NetworkError number and a description:
//  - TimeoutError when the whole transfer took longer than transferTimeout(),
//  - UnknownContentError when the body is larger than bodyLimit(), or comes with a
//    content encoding (compression) that was not asked for,
//  - InsecureRedirectError when a redirect pointed to a less safe scheme,
//  - ProtocolUnknownError for an address that is neither http nor https,
//  - otherwise Qt's own number and text (refused, host not found, TLS, ...).
class NetworkPageClient final : public PageClient {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(NetworkPageClient)
public:
    static constexpr std::chrono::milliseconds DefaultTransferTimeout{60'000};
    static constexpr qint64 DefaultBodyLimit = 16 * 1024 * 1024;
    static constexpr int MaximumRedirects = 10;

    explicit NetworkPageClient(QObject* parent = nullptr);
    ~NetworkPageClient() override;

    void fetch(const QUrl& url) override;
    void abort() override;
    bool isBusy() const override;

    // Time allowed for one whole fetch, from the request to the last byte.
    void setTransferTimeout(std::chrono::milliseconds timeout);
    std::chrono::milliseconds transferTimeout() const { return m_transferTimeout; }

    // Largest body accepted, in bytes after any content decoding.
    void setBodyLimit(qint64 bytes);
    qint64 bodyLimit() const { return m_bodyLimit; }

    // CAs trusted in addition to the system's, for servers with a private CA.
    void setExtraCaCertificates(const QList<QSslCertificate>& certificates);

    static QString userAgent();
    // "Offerwatch/VERSION CONTACT", or the program's name alone without a contact.
    static QString userAgentFor(const QString& contact);

private:
    void onMetaDataChanged();
    void onReadyRead();
    void onReplyFinished();
    void onTimeout();
    bool takeBody();
    void fail(int errorNumber, const QString& description);
    void report(const PageResult& result);
    void dropReply();
    QString limitText() const;

    QNetworkAccessManager* m_manager;
    QPointer<QNetworkReply> m_reply;
    QTimer m_deadline;
    QByteArray m_body;
    // The address being fetched now, after the redirects followed so far.
    QUrl m_location;
    QList<QSslCertificate> m_extraCaCertificates;
    std::chrono::milliseconds m_transferTimeout = DefaultTransferTimeout;
    qint64 m_bodyLimit = DefaultBodyLimit;
    // Counts fetches so that a deferred report of an abandoned fetch is dropped.
    quint64 m_generation = 0;
};
