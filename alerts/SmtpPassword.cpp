// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "alerts/SmtpPassword.h"

#include "monitor/ActionLog.h"

#include <QPointer>

SmtpPassword::SmtpPassword(ActionLog& log, SecretStore& secrets, QObject* parent)
    : QObject(parent)
    , m_log(log)
    , m_secrets(secrets)
{
    // Taken now, at start, before any other program is started with our environment.
    if (const auto password = environmentSecret(EnvironmentVariable)) {
        m_password = *password;
        m_source = Source::Environment;
    }
    m_timer.setSingleShot(true);
    m_timer.setInterval(KeyringTimeout);
    connect(&m_timer, &QTimer::timeout, this, [this] {
        m_keyring = Keyring::Silent;
        Q_EMIT ready();
    });
}

void SmtpPassword::load()
{
    if (m_source != Source::None) {
        Q_EMIT ready();
        return;
    }
    if (const auto password = credentialSecret(QString::fromLatin1(CredentialName))) {
        m_password = *password;
        m_source = Source::Credential;
        Q_EMIT ready();
        return;
    }
    if (m_keyring == Keyring::Asking)
        return;
    m_keyring = Keyring::Asking;
    m_timer.start();
    // The keyring may answer after this object is gone (a window closed, the program ending).
    m_secrets.read(QString::fromLatin1(KeyringKey), [this, alive = QPointer<SmtpPassword>(this)](
                                                        SecretStore::Failure failure, const QString& secret,
                                                        const QString& error) {
        if (!alive)
            return;
        // A password typed while the keyring was still answering wins.
        if (failure == SecretStore::Failure::None && !secret.isEmpty() && m_source == Source::None) {
            m_password = secret;
            m_source = Source::Keyring;
        }
        m_failure = secret.isEmpty() && failure == SecretStore::Failure::None ? SecretStore::Failure::NotFound
                                                                              : failure;
        m_keyringError = error;
        m_timer.stop();
        // After its time-out the sends that waited have been refused; a late answer is kept for the next.
        if (std::exchange(m_keyring, Keyring::Answered) == Keyring::Asking)
            Q_EMIT ready();
    });
}

bool SmtpPassword::isReady() const
{
    return m_source != Source::None || m_keyring == Keyring::Answered || m_keyring == Keyring::Silent;
}

QString SmtpPassword::missingReason() const
{
    const QString orEnvironment = QStringLiteral("or set %1").arg(QLatin1String(EnvironmentVariable));
    if (m_keyring == Keyring::Silent)
        return QStringLiteral("the desktop keyring did not answer within %1 seconds; unlock it, %2")
            .arg((m_timer.interval() + 999) / 1000)
            .arg(orEnvironment);
    switch (m_failure) {
    case SecretStore::Failure::Locked:
        return QStringLiteral("the desktop keyring is locked; unlock it, ") + orEnvironment;
    case SecretStore::Failure::NoKeyring:
        return QStringLiteral("there is no desktop keyring; %1 or give it as the systemd credential %2")
            .arg(orEnvironment.mid(3), QLatin1String(CredentialName));
    case SecretStore::Failure::NotFound:
        return QStringLiteral("none is saved in the desktop keyring; type it in the SMTP window "
                              "(console: smtp password TEXT), ") +
               orEnvironment;
    default:
        return QStringLiteral("the desktop keyring failed (%1); ").arg(m_keyringError.simplified()) +
               orEnvironment.mid(3);
    }
}

std::optional<QString> SmtpPassword::take(const QString& user, QString* problem)
{
    if (m_source == Source::None || m_password.isEmpty()) {
        if (problem)
            *problem = QStringLiteral("no password for %1: %2").arg(user, missingReason());
        // The user may unlock the keyring or save a password before the next send.
        m_keyring = Keyring::NotAsked;
        return std::nullopt;
    }
    if (!std::exchange(m_said, true)) {
        switch (m_source) {
        case Source::Environment:
            m_log.LogAction(
                QStringLiteral("email: the SMTP password comes from %1").arg(QLatin1String(EnvironmentVariable)));
            break;
        case Source::Credential:
            m_log.LogAction(QStringLiteral("email: the SMTP password comes from the systemd credential %1")
                                .arg(QLatin1String(CredentialName)));
            break;
        case Source::Keyring:
            m_log.LogAction(QStringLiteral("email: the SMTP password comes from the desktop keyring"));
            break;
        case Source::ThisRun:
            m_log.LogAction(QStringLiteral("email: the SMTP password is kept for this run only"));
            break;
        case Source::None:
            break;
        }
    }
    return m_password;
}

void SmtpPassword::set(const QString& password)
{
    m_password = password;
    m_source = password.isEmpty() ? Source::None : Source::ThisRun;
    m_said = true;
    m_secrets.write(QString::fromLatin1(KeyringKey), password,
                    [this, alive = QPointer<SmtpPassword>(this)](bool saved, const QString& error) {
                        if (!alive)
                            return;
                        if (saved) {
                            if (m_source == Source::ThisRun)
                                m_source = Source::Keyring;
                            m_log.LogAction(QStringLiteral("email: the SMTP password is saved in the desktop keyring"));
                        } else {
                            m_log.LogAction(
                                QStringLiteral("email: no desktop keyring (%1); the SMTP password is kept for this run "
                                               "only (give it in %2 to have it at start)")
                                    .arg(error, QLatin1String(EnvironmentVariable)));
                        }
                    });
}
