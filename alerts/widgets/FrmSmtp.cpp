// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "alerts/widgets/FrmSmtp.h"

#include "alerts/SmtpChannel.h"
#include "ui_FrmSmtp.h"

#include <QCloseEvent>
#include <QScrollBar>
#include <QTextCursor>

FrmSmtp::FrmSmtp(SmtpChannel& channel, const QRect& mainWindow, QWidget* parent)
    : QWidget(parent)
    , m_channel(channel)
    , m_ui(std::make_unique<Ui::FrmSmtp>())
{
    m_ui->setupUi(this);
    setWindowFlag(Qt::Window);
    setAttribute(Qt::WA_DeleteOnClose);
    move(mainWindow.width() + 1, 0);
    resize(width(), qMax(height(), mainWindow.height()));
    m_ui->Frame1->resize(size());

    m_channel.Form_Load();
    placeFace();
    connect(m_ui->Text1, &QLineEdit::textEdited, &m_channel, &SmtpChannel::setRecipient);
    connect(m_ui->Text2, &QLineEdit::textEdited, &m_channel, &SmtpChannel::setServer);
    connect(m_ui->Text3, &QLineEdit::textEdited, &m_channel, &SmtpChannel::setSender);
    connect(m_ui->Combo4, &QComboBox::activated, &m_channel,
            [this](int index) { m_channel.setSecurity(SmtpChannel::securityChoices().value(index)); });
    connect(m_ui->Text5, &QLineEdit::textEdited, &m_channel, &SmtpChannel::setUserName);
    // The password goes to the keyring once typed, not at every key; the box never shows it again.
    connect(m_ui->Text6, &QLineEdit::editingFinished, this, [this] {
        if (m_ui->Text6->text().isEmpty())
            return;
        m_channel.setPassword(m_ui->Text6->text());
        m_ui->Text6->clear();
        m_ui->Text6->setPlaceholderText(tr("password (kept)"));
    });
    connect(m_ui->SendCommand, &QPushButton::clicked, &m_channel, &SmtpChannel::SendCommand_Click);
    connect(m_ui->Command2, &QPushButton::clicked, &m_channel, &SmtpChannel::Command2_Click);
    connect(m_ui->Command5, &QPushButton::clicked, this, &QWidget::close);
    connect(&m_channel, &SmtpChannel::changed, this, &FrmSmtp::refresh);
    connect(&m_channel, &SmtpChannel::loaded, this, &FrmSmtp::placeFace);
    // FINISH from elsewhere (the console) unloads the channel; the page goes with it.
    connect(&m_channel, &SmtpChannel::unloaded, this, &QWidget::close);
    refresh();
}

FrmSmtp::~FrmSmtp() = default;

void FrmSmtp::placeFace()
{
    delete m_face;
    m_face = m_channel.hasControl() ? m_channel.Smtp1().createFace(this) : nullptr;
    if (m_face)
        m_face->setGeometry(m_ui->Smtp1Face->geometry());
}

void FrmSmtp::refresh()
{
    const auto sync = [](QLineEdit* box, const QString& text) {
        if (box->text() != text)
            box->setText(text);
    };
    sync(m_ui->Text1, m_channel.recipient());
    sync(m_ui->Text2, m_channel.server());
    sync(m_ui->Text3, m_channel.sender());
    sync(m_ui->Text5, m_channel.userName());
    m_ui->Combo4->setCurrentIndex(int(SmtpChannel::securityChoices().indexOf(m_channel.security())));
    // The status box only ever grows while the page is loaded: add the new part
    // instead of setting the whole text again for every report.
    const QString& status = m_channel.statusText();
    if (status.size() < m_shownStatus) {
        m_ui->StatusText->setPlainText(status);
        m_shownStatus = status.size();
    } else if (status.size() > m_shownStatus) {
        QTextCursor end(m_ui->StatusText->document());
        end.movePosition(QTextCursor::End);
        end.insertText(status.mid(m_shownStatus));
        m_shownStatus = status.size();
        m_ui->StatusText->verticalScrollBar()->setValue(m_ui->StatusText->verticalScrollBar()->maximum());
    }
    m_ui->Command2->setText(m_channel.onOffCaption());
    m_ui->Command2->setEnabled(m_channel.onOffEnabled());
}

void FrmSmtp::closeEvent(QCloseEvent* event)
{
    disconnect(&m_channel, nullptr, this, nullptr);
    m_channel.Form_Unload();
    event->accept();
}
