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
    // Every mail system but local mail goes out here.
    bool isOn() const override;
    void send(const Alert& alert) override;
    bool isMail() const override { return true; }
    void loadSetup() override { Form_Load(); }
    void unloadSetup() override { Form_Unload(); }
    void addConsoleCommands(ConsoleCommands& commands) override;

    void setControlFactory(ControlFactory factory) { m_controlFactory = std::move(factory); }
    void setKeyringTimeout(std::chrono::milliseconds timeout) { m_password.setKeyringTimeout(timeout); }
    // An alert sent from the setup window's sender box when that box is empty.
    static const QString FallbackSender;

    bool isLoaded() const { return m_loaded; }
    void Form_Load();
    void Form_Unload();

    // The boxes: Text1 recipient, Text2 server (host or host:port), Text3 sender.
    const QString& text1() const { return m_text1; }
    const QString& text2() const { return m_text2; }
    const QString& text3() const { return m_text3; }
    void setText1(const QString& text);
    void setText2(const QString& text);
    void setText3(const QString& text);
    // Security: "none", "starttls" or "tls"; the user name (empty: no login); the password,
    // which goes to the keyring and is never shown again.
    const QString& text4() const { return m_text4; }
    const QString& text5() const { return m_text5; }
    void setText4(const QString& security);
    void setText5(const QString& user);
    void setPassword(const QString& password);
    static const QStringList& securityChoices();
    // The port a server box without one means: 25, 587 with STARTTLS, 465 with TLS.
    static int defaultPort(const QString& security);

    const QString& statusText() const { return m_statusText; }
    const QString& command2Caption() const { return m_command2Caption; }
    bool command2Enabled() const { return m_command2Enabled; }

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
    QString m_text1;
    QString m_text2;
    QString m_text3;
    QString m_text4 = QStringLiteral("none");
    QString m_text5;
    SmtpPassword m_password;
    QString m_statusText;
    QString m_command2Caption = QStringLiteral("SMTP Email OFF");
    bool m_command2Enabled = true;
    bool m_sending = false;
    // An alert's mail is going out; the server has not yet accepted it.
    bool m_alertUnderWay = false;
    QList<Alert> m_waiting;
};
