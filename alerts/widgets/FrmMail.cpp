// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "alerts/widgets/FrmMail.h"

#include "monitor/ActionLog.h"
#include "ui_FrmMail.h"

FrmMail::FrmMail(ActionLog& log, Actions actions, QWidget* parent)
    : QWidget(parent)
    , m_log(log)
    , m_actions(std::move(actions))
    , m_ui(std::make_unique<Ui::FrmMail>())
{
    m_ui->setupUi(this);
    setWindowFlag(Qt::Window);
    move(0, 0);
    m_ui->Text1->setPlainText(mapiExplanation());
    m_ui->Text2->setPlainText(smtpExplanation());
    connect(m_ui->Command1, &QPushButton::clicked, this, &FrmMail::Command1_Click);
    connect(m_ui->Command2, &QPushButton::clicked, this, &FrmMail::Command2_Click);
    connect(m_ui->Command4, &QPushButton::clicked, this, &FrmMail::Command4_Click);
    connect(m_ui->Command3, &QPushButton::clicked, this, &QWidget::close);
    if (m_actions.namesNewOfferings)
        m_ui->Check1->setChecked(m_actions.namesNewOfferings());
    connect(m_ui->Check1, &QCheckBox::clicked, this, [this](bool on) {
        if (m_actions.setNamesNewOfferings)
            m_actions.setNamesNewOfferings(on);
    });
    if (m_actions.mailAtStart)
        m_ui->Check2->setChecked(m_actions.mailAtStart());
    connect(m_ui->Check2, &QCheckBox::clicked, this, [this](bool on) {
        if (m_actions.setMailAtStart)
            m_actions.setMailAtStart(on);
    });
}

FrmMail::~FrmMail() = default;

QString FrmMail::mapiExplanation()
{
    return QStringLiteral("Local mail: the mail system of this computer, reached through its sendmail ") +
           QStringLiteral("program, which most Linux mail servers and relays provide.") + QStringLiteral("\r\n\r\n") +
           QStringLiteral("example: Postfix, Exim or msmtp set up to forward your mail.   ");
}

QString FrmMail::smtpExplanation()
{
    return QStringLiteral("SMTP (Simple Mail Transfer Protocol) is the TCP/IP protocol used in sending and "
                          "receiving e-mail.\r\n\r\n"
                          "Since it is limited in its ability to queue messages at the receiving end, it is "
                          "usually used with one of two other protocols, POP3 or IMAP, that let the user save "
                          "messages in a server mailbox and download them periodically from the server. Users "
                          "typically send e-mail with SMTP and receive it with POP3 or IMAP from their local "
                          "server.\r\n\r\n"
                          "Most mail providers take mail on port 587 with STARTTLS, or on 465 with TLS, "
                          "with your address as the user name and an app password.");
}

void FrmMail::Command1_Click()
{
    m_log.LogAction(QStringLiteral("button: email mapi setup"));
    if (m_actions.openMapiWindow)
        m_actions.openMapiWindow();
    hide();
}

void FrmMail::Command2_Click()
{
    m_log.LogAction(QStringLiteral("button: email smtp setup"));
    if (m_actions.openSmtpWindow)
        m_actions.openSmtpWindow();
    hide();
}

void FrmMail::Command4_Click()
{
    if (m_actions.soundAlarm)
        m_actions.soundAlarm();
}
