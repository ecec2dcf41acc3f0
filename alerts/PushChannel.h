// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "alerts/AlertChannel.h"

#include <QList>
#include <QNetworkAccessManager>
#include <QSslCertificate>
#include <QString>
#include <QUrl>

#include <chrono>
#include <optional>

class ActionLog;
class QNetworkReply;
class SecretStore;
class Settings;

// Alerts pushed to a phone: each alert is POSTed to the user's address, as the ntfy
// protocol has it (the text as the body, Title, Priority and Tags headers) or as a JSON
// webhook ({"subject", "text", "new", "all", "source"}). TLS is always verified, a
// redirect never goes from https to http, and a send never waits: the outcome is logged
// when it comes, a failure once until a push goes through again. The access token is
// kept like the SMTP password: the environment, a systemd credential or the keyring.
class PushChannel final : public AlertChannel {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(PushChannel)
public:
    static constexpr const char* TokenVariable = "OFFERWATCH_PUSH_TOKEN";
    static constexpr const char* TokenCredential = "push-token";
    static constexpr const char* KeyringKey = "push.token";
    static constexpr std::chrono::milliseconds DefaultTimeout{30000};

    PushChannel(ActionLog& log, Settings& settings, SecretStore& secrets, QObject* parent = nullptr);

    QString name() const override { return QStringLiteral("push"); }
    bool isOn() const override;
    void send(const Alert& alert) override;
    void addConsoleCommands(ConsoleCommands& commands) override;

    // The setup: each is saved at once; false and *problem when the value is refused.
    QUrl url() const;
    bool setUrl(const QString& text, QString* problem);
    QString kind() const;
    static const QStringList& kinds();
    bool setKind(const QString& kind, QString* problem);
    // An empty token removes it.
    void setToken(const QString& token);
    bool hasToken() const;
    bool setOn(bool on, QString* problem);
    void sendTest();

    void setTimeout(std::chrono::milliseconds timeout) { m_timeout = timeout; }
    void setExtraCaCertificates(const QList<QSslCertificate>& certificates) { m_extraCa = certificates; }

Q_SIGNALS:
    void changed();

private:
    void withToken(std::function<void(const QString& token)> post);
    void post(const Alert& alert, const QString& token);
    void finished(QNetworkReply* reply);

    ActionLog& m_log;
    Settings& m_settings;
    SecretStore& m_secrets;
    QNetworkAccessManager m_network;
    std::optional<QString> m_token;
    std::chrono::milliseconds m_timeout = DefaultTimeout;
    QList<QSslCertificate> m_extraCa;
    bool m_quiet = false;
};
