#pragma once

#include <QObject>
#include <QString>

#include <functional>

// Passwords in the desktop keyring, never in a file of ours. Both calls answer later,
// once the keyring has (it may ask the user to unlock it first).
class SecretStore : public QObject {
    Q_OBJECT
public:
    using ReadDone = std::function<void(bool found, const QString& secret, const QString& error)>;
    using WriteDone = std::function<void(bool saved, const QString& error)>;

    using QObject::QObject;
    virtual void read(const QString& key, ReadDone done) = 0;
    virtual void write(const QString& key, const QString& secret, WriteDone done) = 0;
};

// The Secret Service or KWallet through QtKeychain, under the service name "Offerwatch".
// Without a keyring both calls fail; nothing ever falls back to a plain file.
class KeychainSecretStore final : public SecretStore {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(KeychainSecretStore)
public:
    explicit KeychainSecretStore(QObject* parent = nullptr);

    void read(const QString& key, ReadDone done) override;
    void write(const QString& key, const QString& secret, WriteDone done) override;
};
