// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "about/FrmAbout.h"

#include "platform/DataFiles.h"
#include "platform/TextEditor.h"
#include "ui_FrmAbout.h"

#include <QDir>
#include <QPushButton>

const QString FrmAbout::HelpFileName = QStringLiteral("Offerwatch.txt");

FrmAbout::FrmAbout(const QString& buildInfo, LogAction logAction, QWidget* parent)
    : QWidget(parent)
    , m_ui(std::make_unique<Ui::FrmAbout>())
    , m_logAction(std::move(logAction))
{
    m_ui->setupUi(this);
    QFont labels = font();
    labels.setFamilies({QStringLiteral("Comic Neue"), QStringLiteral("Comic Sans MS")});
    setFont(labels);
    setFixedSize(size());

    connect(m_ui->Command1, &QPushButton::clicked, this, &FrmAbout::Command1_Click);
    connect(m_ui->Command2, &QPushButton::clicked, this, &FrmAbout::Command2_Click);

    move(0, 0);
    m_ui->Label2->setText(buildInfo);
    m_ui->Label6->setText(
        QStringLiteral(" E-mail alerts: the smtp mail-sending control (DazoDarozeREdorovu.Smtp)"));
}

FrmAbout::~FrmAbout() = default;

void FrmAbout::Command1_Click()
{
    close();
}

void FrmAbout::Command2_Click()
{
    if (m_logAction)
        m_logAction(QStringLiteral("about: ") + HelpFileName);
    // Looked for from the current directory of the moment, not the program's own: that
    // is where the user keeps the log and perhaps a help file of their own.
    LaunchTextEditor(DataFiles::pathFor(HelpFileName, QDir::currentPath()));
}
