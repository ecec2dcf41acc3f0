#pragma once

#include <QObject>
#include <QString>

class ActionLog;
class SecretStore;

// The SMTP login's password: from OFFERWATCH_SMTP_PASSWORD when that is set, else from
// the desktop keyring; typed in, it goes to the keyring, or where there is none, is kept
// for this run only. It is never written to the settings file or the log; the log says
// once where it came from, when it is first used.
class SmtpPassword final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SmtpPassword)
public:
    static constexpr const char* EnvironmentVariable = "OFFERWATCH_SMTP_PASSWORD";
    static constexpr const char* KeyringKey = "SMTP.password";

    SmtpPassword(ActionLog& log, SecretStore& secrets, QObject* parent = nullptr);

    // Asks the keyring, unless the environment gives the password.
    void load();
    // False while the keyring has not answered.
    bool isReady() const { return m_ready; }
    // The password for a send; says where it comes from the first time.
    QString take();
    void set(const QString& password);

Q_SIGNALS:
    void ready();

private:
    enum class Source { None, Environment, Keyring, ThisRun };

    ActionLog& m_log;
    SecretStore& m_secrets;
    QString m_password;
    Source m_source = Source::None;
    bool m_ready = false;
    bool m_said = false;
};
