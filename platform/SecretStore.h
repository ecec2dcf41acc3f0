// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/SessionBusCheck.h"

#include <QObject>
#include <QString>

#include <functional>
#include <optional>

// Passwords in the desktop keyring, never in a file of ours. Both calls answer later,
// once the keyring has (it may ask the user to unlock it first).
class SecretStore : public QObject {
    Q_OBJECT
public:
    // Why a read brought no secret back.
    enum class Failure { None, NotFound, Locked, NoKeyring, Other };
    // secret is valid only with Failure::None; error is the keyring's own text.
    using ReadDone = std::function<void(Failure failure, const QString& secret, const QString& error)>;
    using WriteDone = std::function<void(bool saved, const QString& error)>;

    using QObject::QObject;
    virtual void read(const QString& key, ReadDone done) = 0;
    virtual void write(const QString& key, const QString& secret, WriteDone done) = 0;
};

// The Secret Service or KWallet through QtKeychain, under the service name "Offerwatch".
// Without a keyring both calls fail; nothing ever falls back to a plain file. The
// session bus is checked first, so that a bus that never answers fails the call
// instead of hanging the program.
class KeychainSecretStore final : public SecretStore {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(KeychainSecretStore)
public:
    explicit KeychainSecretStore(QObject* parent = nullptr);

    void read(const QString& key, ReadDone done) override;
    void write(const QString& key, const QString& secret, WriteDone done) override;

private:
    // Runs job once the bus has answered, or tells failed why it will not.
    void whenBusAnswers(std::function<void()> job, std::function<void(const QString&)> failed);
    void startRead(const QString& key, const ReadDone& done);
    void startWrite(const QString& key, const QString& secret, const WriteDone& done);

    SessionBusCheck m_bus;
};

// A secret given in the environment variable name. The first call for a name takes it
// out of the process environment, so no program started later inherits it; every call
// answers with what it held. An empty value gives nothing.
std::optional<QString> environmentSecret(const char* name);
// A secret from the systemd credential of that name ($CREDENTIALS_DIRECTORY/name, as
// LoadCredential= provides it), without its final line end; nothing when there is none.
std::optional<QString> credentialSecret(const QString& name);
