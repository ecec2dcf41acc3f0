// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/SecretStore.h"

#include <QDir>
#include <QFile>
#include <QHash>

#include <cstdlib>
#include <cstring>

#include <qt6keychain/keychain.h>

namespace {
const QString Service = QStringLiteral("Offerwatch");
}

KeychainSecretStore::KeychainSecretStore(QObject* parent)
    : SecretStore(parent)
{
}

void KeychainSecretStore::whenBusAnswers(std::function<void()> job, std::function<void(const QString&)> failed)
{
    connect(
        &m_bus, &SessionBusCheck::finished, this,
        [job = std::move(job), failed = std::move(failed)](bool answers) {
            if (answers)
                job();
            else
                failed(SessionBusCheck::silentProblem());
        },
        Qt::SingleShotConnection);
    m_bus.check();
}

void KeychainSecretStore::read(const QString& key, ReadDone done)
{
    whenBusAnswers([this, key, done] { startRead(key, done); },
                   [done](const QString& problem) { done(Failure::Other, QString(), problem); });
}

void KeychainSecretStore::startRead(const QString& key, const ReadDone& done)
{
    auto* job = new QKeychain::ReadPasswordJob(Service, this);
    job->setKey(key);
    job->setInsecureFallback(false);
    connect(job, &QKeychain::Job::finished, this, [done](QKeychain::Job* finished) {
        const auto* reading = static_cast<QKeychain::ReadPasswordJob*>(finished);
        switch (finished->error()) {
        case QKeychain::NoError:
            done(Failure::None, reading->textData(), QString());
            return;
        case QKeychain::EntryNotFound:
            done(Failure::NotFound, QString(), finished->errorString());
            return;
        // A locked keyring whose unlock prompt was dismissed or could not be shown.
        case QKeychain::AccessDenied:
        case QKeychain::AccessDeniedByUser:
            done(Failure::Locked, QString(), finished->errorString());
            return;
        case QKeychain::NoBackendAvailable:
        case QKeychain::NotImplemented:
            done(Failure::NoKeyring, QString(), finished->errorString());
            return;
        default:
            done(Failure::Other, QString(), finished->errorString());
            return;
        }
    });
    job->start();
}

void KeychainSecretStore::write(const QString& key, const QString& secret, WriteDone done)
{
    whenBusAnswers([this, key, secret, done] { startWrite(key, secret, done); },
                   [done](const QString& problem) { done(false, problem); });
}

void KeychainSecretStore::startWrite(const QString& key, const QString& secret, const WriteDone& done)
{
    auto* job = new QKeychain::WritePasswordJob(Service, this);
    job->setKey(key);
    job->setInsecureFallback(false);
    job->setTextData(secret);
    connect(job, &QKeychain::Job::finished, this, [done](QKeychain::Job* finished) {
        done(finished->error() == QKeychain::NoError, finished->errorString());
    });
    job->start();
}

std::optional<QString> environmentSecret(const char* name)
{
    static QHash<QByteArray, QString> taken;
    const QByteArray key(name);
    if (!taken.contains(key)) {
        taken.insert(key, qEnvironmentVariable(name));
        // Unsetting only unlinks the entry: the bytes stay where the process started with
        // them, readable in /proc/PID/environ (and `ps e`) for the whole run.
        if (char* inPlace = std::getenv(name))
            std::memset(inPlace, 0, std::strlen(inPlace));
        qunsetenv(name);
    }
    const QString value = taken.value(key);
    return value.isEmpty() ? std::nullopt : std::optional<QString>(value);
}

std::optional<QString> credentialSecret(const QString& name)
{
    const QString folder = qEnvironmentVariable("CREDENTIALS_DIRECTORY");
    if (folder.isEmpty())
        return std::nullopt;
    QFile file(QDir(folder).filePath(name));
    // A password is short; a larger file is not one.
    if (!file.open(QIODevice::ReadOnly) || file.size() > 64 * 1024)
        return std::nullopt;
    QByteArray bytes = file.readAll();
    while (bytes.endsWith('\n') || bytes.endsWith('\r'))
        bytes.chop(1);
    if (bytes.isEmpty())
        return std::nullopt;
    return QString::fromUtf8(bytes);
}
