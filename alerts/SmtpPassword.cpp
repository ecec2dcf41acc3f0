#include "alerts/SmtpPassword.h"

#include "monitor/ActionLog.h"
#include "platform/SecretStore.h"

#include <QPointer>

SmtpPassword::SmtpPassword(ActionLog& log, SecretStore& secrets, QObject* parent)
    : QObject(parent)
    , m_log(log)
    , m_secrets(secrets)
{
}

void SmtpPassword::load()
{
    if (qEnvironmentVariableIsSet(EnvironmentVariable)) {
        m_password = qEnvironmentVariable(EnvironmentVariable);
        m_source = Source::Environment;
        m_ready = true;
        Q_EMIT ready();
        return;
    }
    // The keyring may answer after this object is gone (a window closed, the program ending).
    m_secrets.read(QString::fromLatin1(KeyringKey),
                   [this, alive = QPointer<SmtpPassword>(this)](bool found, const QString& secret, const QString&) {
                       if (!alive)
                           return;
                       // A password typed while the keyring was still answering wins.
                       if (found && m_source == Source::None) {
                           m_password = secret;
                           m_source = Source::Keyring;
                       }
                       m_ready = true;
                       Q_EMIT ready();
                   });
}

QString SmtpPassword::take()
{
    if (!m_said && m_source != Source::None) {
        m_said = true;
        switch (m_source) {
        case Source::Environment:
            m_log.LogAction(
                QStringLiteral("email: the SMTP password comes from %1").arg(QLatin1String(EnvironmentVariable)));
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
    m_source = Source::ThisRun;
    m_said = true;
    m_ready = true;
    m_secrets.write(QString::fromLatin1(KeyringKey), password,
                    [this, alive = QPointer<SmtpPassword>(this)](bool saved, const QString& error) {
                        if (!alive)
                            return;
                        if (saved) {
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
