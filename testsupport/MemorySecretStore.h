// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/SecretStore.h"

#include <QHash>
#include <QTimer>

// A keyring in memory that answers on the next turn of the event loop, as a real one
// does; with `available` false it behaves like a desktop without a keyring, with
// `locked` like a locked one, with `answers` false like one that never answers.
class MemorySecretStore final : public SecretStore {
public:
    void read(const QString& key, ReadDone done) override
    {
        ++reads;
        if (!answers)
            return;
        QTimer::singleShot(0, this, [this, key, done] {
            if (!available)
                done(Failure::NoKeyring, QString(), QStringLiteral("no keyring"));
            else if (locked)
                done(Failure::Locked, QString(), QStringLiteral("locked"));
            else if (!secrets.contains(key))
                done(Failure::NotFound, QString(), QStringLiteral("not found"));
            else
                done(Failure::None, secrets.value(key), QString());
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
    bool locked = false;
    bool answers = true;
    int reads = 0;
    QHash<QString, QString> secrets;
};
