// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/SecretStore.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <chrono>
#include <optional>

class ActionLog;

// The SMTP login's password: from OFFERWATCH_SMTP_PASSWORD (taken out of the environment
// at start), else from the systemd credential smtp-password, else from the desktop
// keyring, which is only asked when a login is set up. Typed in, it goes to the keyring,
// or where there is none, is kept for this run only. It is never written to the settings
// file or the log; the log says once where it came from, when it is first used.
class SmtpPassword final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SmtpPassword)
public:
    static constexpr const char* EnvironmentVariable = "OFFERWATCH_SMTP_PASSWORD";
    static constexpr const char* CredentialName = "smtp-password";
    static constexpr const char* KeyringKey = "SMTP.password";
    // An unlock prompt left open must not hold an alert back for ever.
    static constexpr std::chrono::milliseconds KeyringTimeout{10000};

    SmtpPassword(ActionLog& log, SecretStore& secrets, QObject* parent = nullptr);

    // Asks the keyring, unless the environment or a credential gives the password or
    // the keyring is being asked already; ready() follows.
    void load();
    // False while the keyring is being asked, within its time-out.
    bool isReady() const;
    // The password for a send of user's login; nothing when there is none, and *problem
    // then says why and what to do. A keyring that had none is asked again next time.
    std::optional<QString> take(const QString& user, QString* problem);
    void set(const QString& password);
    void setKeyringTimeout(std::chrono::milliseconds timeout) { m_timer.setInterval(timeout); }

Q_SIGNALS:
    void ready();

private:
    enum class Source { None, Environment, Credential, Keyring, ThisRun };
    enum class Keyring { NotAsked, Asking, Answered, Silent };

    QString missingReason() const;

    ActionLog& m_log;
    SecretStore& m_secrets;
    QString m_password;
    Source m_source = Source::None;
    Keyring m_keyring = Keyring::NotAsked;
    SecretStore::Failure m_failure = SecretStore::Failure::None;
    QString m_keyringError;
    QTimer m_timer;
    bool m_said = false;
};
