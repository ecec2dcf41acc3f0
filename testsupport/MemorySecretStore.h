#pragma once

#include "platform/SecretStore.h"

#include <QHash>
#include <QTimer>

// A keyring in memory that answers on the next turn of the event loop, as a real one
// does; with `available` false it behaves like a desktop without a keyring.
class MemorySecretStore final : public SecretStore {
public:
    void read(const QString& key, ReadDone done) override
    {
        QTimer::singleShot(0, this, [this, key, done] {
            done(available && secrets.contains(key), secrets.value(key), available ? QString() : QStringLiteral("no keyring"));
        });
    }
    void write(const QString& key, const QString& secret, WriteDone done) override
    {
        QTimer::singleShot(0, this, [this, key, secret, done] {
            if (available)
                secrets.insert(key, secret);
            done(available, available ? QString() : QStringLiteral("no keyring"));
        });
    }

    bool available = true;
    QHash<QString, QString> secrets;
};
