// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "alerts/widgets/FrmMail.h"

#include "monitor/ActionLog.h"
#include "ui_FrmMail.h"

#include <QGroupBox>
#include <QPlainTextEdit>
#include <QPushButton>

FrmMail::FrmMail(ActionLog& log, Actions actions, QWidget* parent)
    : QWidget(parent)
    , m_log(log)
    , m_actions(std::move(actions))
    , m_ui(std::make_unique<Ui::FrmMail>())
{
    m_ui->setupUi(this);
    setWindowFlag(Qt::Window);
    move(0, 0);
    const QList<std::pair<QPushButton*, QPlainTextEdit*>> frames{{m_ui->Command2, m_ui->Text2},
                                                                 {m_ui->Command1, m_ui->Text1}};
    for (qsizetype i = 0; i < frames.size(); ++i) {
        const bool offered = i < m_actions.mailSystems.size();
        frames[i].first->parentWidget()->setVisible(offered);
        if (!offered)
            continue;
        frames[i].first->setText(m_actions.mailSystems[i].caption);
        frames[i].second->setPlainText(m_actions.mailSystems[i].explanation);
    }
    for (qsizetype i = frames.size(); i < m_actions.mailSystems.size(); ++i)
        addMailSystemFrame(static_cast<int>(i), m_actions.mailSystems[i]);
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

// A frame like the two of the form, in rows of two below them; what stood below moves down.
void FrmMail::addMailSystemFrame(int index, const MailSystem& system)
{
    const QRect model = m_ui->Frame2->geometry();
    const int row = index / 2;
    const int rowHeight = model.height() + 8;
    auto* frame = new QGroupBox(this);
    frame->setGeometry(index % 2 == 0 ? model.x() : m_ui->Frame1->x(), model.y() + row * rowHeight, model.width(),
                       model.height());
    auto* text = new QPlainTextEdit(system.explanation, frame);
    text->setGeometry(m_ui->Text2->geometry());
    text->setReadOnly(true);
    text->setStyleSheet(m_ui->Text2->styleSheet());
    auto* button = new QPushButton(system.caption, frame);
    button->setGeometry(m_ui->Command2->geometry());
    connect(button, &QPushButton::clicked, this, [this, index] { openMailSystem(index); });
    if (index % 2 == 1)
        return;
    for (QWidget* below :
         std::initializer_list<QWidget*>{m_ui->Frame3, m_ui->Check1, m_ui->Check2, m_ui->Label3, m_ui->Label4})
        below->move(below->x(), below->y() + rowHeight);
    resize(width(), height() + rowHeight);
}

void FrmMail::openMailSystem(qsizetype index)
{
    if (index >= m_actions.mailSystems.size())
        return;
    const MailSystem& system = m_actions.mailSystems[index];
    m_log.LogAction(QStringLiteral("button: email %1 setup").arg(system.name));
    if (system.openSetup)
        system.openSetup();
    hide();
}

void FrmMail::Command1_Click()
{
    openMailSystem(1);
}

void FrmMail::Command2_Click()
{
    openMailSystem(0);
}

void FrmMail::Command4_Click()
{
    if (m_actions.soundAlarm)
        m_actions.soundAlarm();
}
