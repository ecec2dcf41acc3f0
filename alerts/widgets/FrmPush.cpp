// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "alerts/widgets/FrmPush.h"

#include "alerts/PushChannel.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

FrmPush::FrmPush(PushChannel& channel, QWidget* parent)
    : QWidget(parent, Qt::Window)
    , m_channel(channel)
    , m_url(new QLineEdit(this))
    , m_kind(new QComboBox(this))
    , m_token(new QLineEdit(this))
    , m_on(new QCheckBox(tr("Send push alerts"), this))
    , m_problem(new QLabel(this))
{
    setWindowTitle(tr("Push Alerts"));
    m_url->setPlaceholderText(QStringLiteral("https://ntfy.sh/TOPIC"));
    m_kind->addItem(tr("ntfy"), QStringLiteral("ntfy"));
    m_kind->addItem(tr("JSON webhook"), QStringLiteral("json"));
    // The token is never shown again once saved.
    m_token->setEchoMode(QLineEdit::Password);
    m_token->setPlaceholderText(tr("access token (optional)"));
    m_problem->setWordWrap(true);
    auto* buttons = new QDialogButtonBox(this);
    QPushButton* save = buttons->addButton(tr("Save"), QDialogButtonBox::ApplyRole);
    QPushButton* test = buttons->addButton(tr("Test"), QDialogButtonBox::ActionRole);
    buttons->addButton(QDialogButtonBox::Close);
    auto* form = new QFormLayout(this);
    form->addRow(tr("Address"), m_url);
    form->addRow(tr("Kind"), m_kind);
    form->addRow(tr("Token"), m_token);
    form->addRow(m_on);
    form->addRow(m_problem);
    form->addRow(buttons);
    connect(save, &QPushButton::clicked, this, &FrmPush::apply);
    connect(test, &QPushButton::clicked, this, [this] {
        apply();
        m_channel.sendTest();
    });
    connect(buttons, &QDialogButtonBox::rejected, this, &QWidget::close);
    connect(m_on, &QCheckBox::clicked, this, [this](bool on) {
        apply();
        QString problem;
        if (!m_channel.setOn(on, &problem))
            m_problem->setText(problem);
        refresh();
    });
    connect(&m_channel, &PushChannel::changed, this, &FrmPush::refresh);
    refresh();
    m_url->setText(m_channel.url().toString());
}

void FrmPush::apply()
{
    QString problem;
    if (m_url->text() != m_channel.url().toString() && !m_channel.setUrl(m_url->text(), &problem))
        m_problem->setText(problem);
    m_channel.setKind(m_kind->currentData().toString(), &problem);
    if (!m_token->text().isEmpty()) {
        m_channel.setToken(m_token->text());
        m_token->clear();
    }
}

void FrmPush::refresh()
{
    m_kind->setCurrentIndex(m_kind->findData(m_channel.kind()));
    m_on->setChecked(m_channel.isOn());
    m_token->setPlaceholderText(m_channel.hasToken() ? tr("a token is saved; type to replace it")
                                                     : tr("access token (optional)"));
}
