// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "alerts/AlertChannel.h"
#include "alerts/MailContext.h"
#include "platform/MessagingSession.h"

#include <QString>

#include <memory>

// The local-mail alert channel: the logic of the setup window frmMAPI (logon, logoff,
// recipient, test, ON/OFF, finish) and SendMapiMail, which sends one message through
// the logged-on session and forces a logoff and one re-logon at the third failure.
// The window, when there is one, only copies its controls to and from this object;
// code that needs the window's controls loads it unseen, as the alert path does.
class MapiChannel final : public AlertChannel {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(MapiChannel)
public:
    // The window's buttons, Command1 to Command5.
    enum class Button { Logon, OnOff, Test, Logoff, Finish };

    MapiChannel(const MailContext& context, MessagingSessionFactory createSession, QObject* parent = nullptr);
    ~MapiChannel() override;

    QString name() const override { return QStringLiteral("MAPI"); }
    bool isOn() const override;
    void send(const Alert& alert) override;
    bool isMail() const override { return true; }
    void loadSetup() override { load(); }
    void unloadSetup() override { unload(); }
    void closeSession() override { logoffAtExit(); }
    bool switchOnAtStart() override;
    void addConsoleCommands(ConsoleCommands& commands) override;

    // Loading runs the window's start-up unless it is loaded already; unloading
    // writes the recipient to the settings. Both may be called at any time.
    void load();
    void unload();
    bool isLoaded() const { return m_loaded; }

    // What the window's controls show.
    bool logonEnabled() const { return m_logonEnabled; }           // Command1 "LOGON"
    bool logoffEnabled() const { return m_logoffEnabled; }         // Command4 "LOGOFF"
    bool testEnabled() const { return m_testEnabled; }             // Command3 "TEST"
    const QString& onOffCaption() const { return m_onOffCaption; } // Command2
    const QString& recipient() const { return m_recipient; }       // Text1
    static QString caption(Button button);                         // the fixed captions; Command2's is onOffCaption()

    // The user typed into the recipient box (loads the window unseen first if needed).
    void setRecipient(const QString& text);
    // A click on a button, as the window or the console makes it: loads the window
    // unseen first if needed; a disabled button does nothing and gives false.
    bool press(Button button);

    // The handlers, run whatever the buttons' state, as the channel's own paths do.
    void Command1_Click(); // LOGON
    void Command2_Click(); // MAPI Email ON / OFF
    void Command3_Click(); // TEST
    void Command4_Click(); // LOGOFF
    void Command5_Click(); // FINISH

    // Set these, then call SendMapiMail. A failure is logged and counted, never returned.
    void setMapiSubject(const QString& subject) { m_mapiSubject = subject; }
    void setMapiText(const QString& text) { m_mapiText = text; }
    void setMapiShowDialog(bool show) { m_mapiShowDialog = show; }
    const QString& mapiSubject() const { return m_mapiSubject; }
    const QString& mapiText() const { return m_mapiText; }
    bool mapiShowDialog() const { return m_mapiShowDialog; }
    void SendMapiMail();
    qint16 mapiSendErrors() const { return m_mapiSendErrors; }

    bool hasSession() const { return m_session != nullptr; }
    bool isLoggedOn() const { return m_loggedOn; }
    // At program exit: log the session off and release it; nothing is logged, a failure is ignored.
    void logoffAtExit();

Q_SIGNALS:
    // The window's controls have something new to show.
    void changed();
    void loaded();
    void unloaded();

private:
    void Form_Load();
    void Form_Unload();
    void sendFailed(const MessagingError& error);
    void relogon();
    void logError(const MessagingError& error);
    const QString& recipientBox();
    template <typename T> void set(T& field, const T& value)
    {
        if (field == value)
            return;
        field = value;
        Q_EMIT changed();
    }

    const MailContext m_mail;
    MessagingSessionFactory m_createSession;

    std::unique_ptr<MessagingSession> m_session;
    // The latest message (and its recipient) stays until the next send replaces it.
    std::unique_ptr<MessagingMessage> m_message;
    QString m_mapiSubject;
    QString m_mapiText;
    bool m_mapiShowDialog = false;
    qint16 m_mapiSendErrors = 0;

    bool m_loaded = false;
    bool m_loggedOn = false;
    bool m_logonEnabled = true;
    bool m_logoffEnabled = false;
    bool m_testEnabled = false;
    QString m_onOffCaption = QStringLiteral("MAPI Email OFF");
    QString m_recipient;
};
