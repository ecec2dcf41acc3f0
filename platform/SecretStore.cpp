#include "platform/SecretStore.h"

#include <qt6keychain/keychain.h>

namespace {
const QString Service = QStringLiteral("Offerwatch");
}

KeychainSecretStore::KeychainSecretStore(QObject* parent)
    : SecretStore(parent)
{
}

void KeychainSecretStore::read(const QString& key, ReadDone done)
{
    auto* job = new QKeychain::ReadPasswordJob(Service, this);
    job->setKey(key);
    job->setInsecureFallback(false);
    connect(job, &QKeychain::Job::finished, this, [done = std::move(done)](QKeychain::Job* finished) {
        const auto* reading = static_cast<QKeychain::ReadPasswordJob*>(finished);
        if (finished->error() == QKeychain::NoError)
            done(true, reading->textData(), QString());
        else
            done(false, QString(), finished->errorString());
    });
    job->start();
}

void KeychainSecretStore::write(const QString& key, const QString& secret, WriteDone done)
{
    auto* job = new QKeychain::WritePasswordJob(Service, this);
    job->setKey(key);
    job->setInsecureFallback(false);
    job->setTextData(secret);
    connect(job, &QKeychain::Job::finished, this, [done = std::move(done)](QKeychain::Job* finished) {
        done(finished->error() == QKeychain::NoError, finished->errorString());
    });
    job->start();
}
