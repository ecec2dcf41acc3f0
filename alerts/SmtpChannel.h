// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "alerts/AlertChannel.h"
#include "alerts/MailContext.h"
#include "alerts/SmtpPassword.h"
#include "platform/SmtpControl.h"

#include <QString>

#include <functional>
#include <memory>

// The SMTP setup window's logic and the engine of every SMTP alert: it hosts the
// mail-sending control, keeps the recipient, server and sender boxes, and starts
// each send. It is "loaded" while its window would be, seen or not.
class SmtpChannel final : public AlertChannel {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SmtpChannel)
public:
    // Creates and binds the mail-sending control; false with the reason when it cannot.
    using ControlFactory = std::function<bool(SmtpControl& control, QString* error)>;

    SmtpChannel(const MailContext& context, SecretStore& secrets, QObject* parent = nullptr);
    ~SmtpChannel() override;

    QString name() const override { return QStringLiteral("SMTP"); }
    bool isOn() const override;
    void send(const Alert& alert) override;
    bool isMail() const override { return true; }
    void loadSetup() override { Form_Load(); }
    void unloadSetup() override { Form_Unload(); }
    void addConsoleCommands(ConsoleCommands& commands) override;
    bool switchOnAtStart() override;

    void setControlFactory(ControlFactory factory) { m_controlFactory = std::move(factory); }
    void setKeyringTimeout(std::chrono::milliseconds timeout) { m_password.setKeyringTimeout(timeout); }
    // An alert sent from the setup window's sender box when that box is empty.
    static const QString FallbackSender;

    bool isLoaded() const { return m_loaded; }
    void Form_Load();
    void Form_Unload();

    // The boxes Text1 to Text3: the server is a host or host:port.
    const QString& recipient() const { return m_recipient; }
    const QString& server() const { return m_server; }
    const QString& sender() const { return m_sender; }
    void setRecipient(const QString& text);
    void setServer(const QString& text);
    void setSender(const QString& text);
    // Text4 and Text5: "none", "starttls" or "tls"; the user name (empty: no login). The
    // password goes to the keyring and is never shown again.
    const QString& security() const { return m_security; }
    const QString& userName() const { return m_userName; }
    void setSecurity(const QString& security);
    void setUserName(const QString& user);
    void setPassword(const QString& password);
    static const QStringList& securityChoices();
    // The port a server box without one means: 25, 587 with STARTTLS, 465 with TLS.
    static int defaultPort(const QString& security);

    const QString& statusText() const { return m_statusText; }
    // Command2, the ON/OFF button.
    const QString& onOffCaption() const { return m_onOffCaption; }
    bool onOffEnabled() const { return m_onOffEnabled; }

    // Starts a send of the control's Subject and Message; false when there is no control.
    bool SendSmtpMail();
    void SendCommand_Click(); // "Test"
    bool Command2_Click();    // ON/OFF; false while disabled after a refused test
    void Command5_Click();    // FINISH

    // Smtp1, loading the window unseen when it is not loaded.
    SmtpControl& Smtp1();
    bool hasControl() const { return m_control && m_control->isBound(); }

    // Splits "host:port" (or "[v6]:port") from the server box; a text without a
    // valid port is all host name, with the default port.
    static std::pair<QString, int> splitServer(const QString& text, int defaultPort = 25);

Q_SIGNALS:
    void changed();
    // The control's connection status, as it comes.
    void statusReported(const QString& text);
    void loaded();
    void unloaded();

private:
    void Smtp1_Error(const QString& description);
    void Smtp1_ConnectionStatus(const QString& statusLog);
    void Smtp1_BusyState(bool busy);
    void Text1_Change();
    void Text2_Change();

    const MailContext m_mail;
    ControlFactory m_controlFactory;
    std::unique_ptr<SmtpControl> m_control;
    bool m_loaded = false;
    QString m_recipient;
    QString m_server;
    QString m_sender;
    QString m_security = QStringLiteral("none");
    QString m_userName;
    SmtpPassword m_password;
    QString m_statusText;
    QString m_onOffCaption = QStringLiteral("SMTP Email OFF");
    bool m_onOffEnabled = true;
    bool m_sending = false;
    // An alert's mail is going out; the server has not yet accepted it.
    bool m_alertUnderWay = false;
    QList<Alert> m_waiting;
};
