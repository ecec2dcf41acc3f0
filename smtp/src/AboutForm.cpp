// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: LGPL-2.1-or-later
#include "AboutForm.h"

#include "ControlIcon.h"
#include "ui_AboutForm.h"

#include <QScreen>

AboutForm::AboutForm(QWidget* parent)
    : QDialog(parent)
    , m_ui(std::make_unique<Ui::AboutForm>())
{
    m_ui->setupUi(this);
    QFont font = this->font();
    font.setFamilies({QStringLiteral("MS Sans Serif"), QStringLiteral("Sans Serif")});
    setFont(font);
    m_ui->Picture1->setPixmap(controlIcon(32));
    m_ui->Label3->setText(versionText());
    connect(m_ui->Command1, &QPushButton::clicked, this, &QDialog::accept);
}

AboutForm::~AboutForm() = default;

QString AboutForm::versionText()
{
    return QStringLiteral("Version : %1.%2.%3").arg(SMTP_VERSION_MAJOR).arg(SMTP_VERSION_MINOR).arg(SMTP_VERSION_PATCH);
}

void AboutForm::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (const QScreen* screen = this->screen()) {
        const QRect area = screen->geometry();
        move(area.x() + (area.width() - frameGeometry().width()) / 2,
             area.y() + (area.height() - frameGeometry().height()) / 2);
    }
}
