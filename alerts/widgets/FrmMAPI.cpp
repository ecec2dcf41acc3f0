// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "alerts/widgets/FrmMAPI.h"

#include "alerts/MapiChannel.h"
#include "ui_FrmMAPI.h"

#include <QCloseEvent>

FrmMAPI::FrmMAPI(MapiChannel& channel, const QRect& mainWindow, QWidget* parent)
    : QWidget(parent, Qt::Window)
    , m_channel(channel)
    , m_ui(std::make_unique<Ui::FrmMAPI>())
{
    setAttribute(Qt::WA_DeleteOnClose);
    m_ui->setupUi(this);
    QFont font = this->font();
    font.setFamilies({QStringLiteral("Comic Neue"), QStringLiteral("Comic Sans MS")});
    setFont(font);

    // Right beside the main window, as tall as it is.
    move(mainWindow.width() + 1, 0);
    if (mainWindow.height() > 0)
        resize(width(), mainWindow.height());

    using Button = MapiChannel::Button;
    MapiChannel& c = m_channel;
    connect(m_ui->Command1, &QPushButton::clicked, this, [&c] { c.press(Button::Logon); });
    connect(m_ui->Command2, &QPushButton::clicked, this, [&c] { c.press(Button::OnOff); });
    connect(m_ui->Command3, &QPushButton::clicked, this, [&c] { c.press(Button::Test); });
    connect(m_ui->Command4, &QPushButton::clicked, this, [&c] { c.press(Button::Logoff); });
    connect(m_ui->Command5, &QPushButton::clicked, this, [&c] { c.press(Button::Finish); });
    connect(m_ui->Text1, &QLineEdit::textEdited, this, [&c](const QString& text) { c.setRecipient(text); });
    connect(&c, &MapiChannel::changed, this, &FrmMAPI::refresh);
    connect(&c, &MapiChannel::unloaded, this, &QWidget::close);

    m_channel.load();
    refresh();
}

FrmMAPI::~FrmMAPI() = default;

void FrmMAPI::refresh()
{
    m_ui->Command1->setEnabled(m_channel.logonEnabled());
    m_ui->Command4->setEnabled(m_channel.logoffEnabled());
    m_ui->Command3->setEnabled(m_channel.testEnabled());
    m_ui->Command2->setText(m_channel.onOffCaption());
    // Rewriting an unchanged box would move the cursor while the user types.
    if (m_ui->Text1->text() != m_channel.recipient())
        m_ui->Text1->setText(m_channel.recipient());
}

void FrmMAPI::closeEvent(QCloseEvent* event)
{
    m_channel.unload();
    event->accept();
}
