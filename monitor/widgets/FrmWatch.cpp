// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "monitor/widgets/FrmWatch.h"

#include "monitor/WatchSetup.h"
#include "ui_FrmWatch.h"

#include <algorithm>

FrmWatch::FrmWatch(WatchSetup& setup, QWidget* parent)
    : QWidget(parent, Qt::Window)
    , m_setup(setup)
    , m_ui(std::make_unique<Ui::FrmWatch>())
{
    m_ui->setupUi(this);
    m_setup.reload();
    refresh();
    WatchSetup& s = m_setup;
    connect(m_ui->Text1, &QLineEdit::textEdited, this, [&s](const QString& text) { s.setUrlText(text); });
    connect(m_ui->Text2, &QLineEdit::textEdited, this, [&s](const QString& text) { s.setPattern(text); });
    connect(m_ui->Text3, &QLineEdit::textEdited, this, [&s](const QString& text) { s.setContact(text); });
    for (QCheckBox* box : formBoxes())
        connect(box, &QCheckBox::clicked, this, &FrmWatch::formsEdited);
    connect(m_ui->Text5, &QLineEdit::textEdited, this, &FrmWatch::formsEdited);
    connect(m_ui->Check1, &QCheckBox::clicked, this, [&s](bool on) { s.setRemember(on); });
    connect(m_ui->Combo1, &QComboBox::activated, this,
            [&s](int index) { s.setSource(static_cast<WatchSettings::Source>(index)); });
    connect(&s, &WatchSetup::fieldsChanged, this, &FrmWatch::refresh);
    connect(m_ui->Command1, &QPushButton::clicked, this, [this, &s] {
        m_ui->Text4->setPlainText(tr("Fetching…"));
        s.tryFetch();
    });
    connect(&s, &WatchSetup::tried, this, [this](const QString& report) { m_ui->Text4->setPlainText(report); });
    connect(m_ui->Command2, &QPushButton::clicked, this, &FrmWatch::save);
    connect(m_ui->Command3, &QPushButton::clicked, this, &QWidget::close);
}

FrmWatch::~FrmWatch() = default;

void FrmWatch::setNote(const QString& note)
{
    m_ui->Text4->setPlaceholderText(note);
}

void FrmWatch::refresh()
{
    m_ui->Text1->setText(m_setup.urlText());
    m_ui->Combo1->setCurrentIndex(static_cast<int>(m_setup.source()));
    m_ui->Text2->setText(m_setup.pattern());
    m_ui->Text3->setText(m_setup.contact());
    m_ui->Check1->setChecked(m_setup.remember());
    // Forms with a box of their own tick it; the rest stay in the free field, as typed.
    QStringList others;
    QList<QCheckBox*> boxes = formBoxes();
    for (QCheckBox* box : boxes)
        box->setChecked(false);
    for (const QString& form : m_setup.formsText().split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        const QString name = form.simplified();
        const auto box = std::find_if(boxes.cbegin(), boxes.cend(),
                                      [&name](const QCheckBox* b) { return b->text().compare(name, Qt::CaseInsensitive) == 0; });
        if (box != boxes.cend())
            (*box)->setChecked(true);
        else
            others << name;
    }
    m_ui->Text5->setText(others.join(QStringLiteral(", ")));
}

QList<QCheckBox*> FrmWatch::formBoxes() const
{
    return {m_ui->Check2, m_ui->Check3, m_ui->Check4, m_ui->Check5, m_ui->Check6, m_ui->Check7, m_ui->Check8};
}

void FrmWatch::formsEdited()
{
    QStringList forms;
    for (const QCheckBox* box : formBoxes())
        if (box->isChecked())
            forms << box->text();
    if (!m_ui->Text5->text().trimmed().isEmpty())
        forms << m_ui->Text5->text().trimmed();
    m_setup.setFormsText(forms.join(QStringLiteral(", ")));
}

void FrmWatch::save()
{
    QString error;
    if (!m_setup.save(&error)) {
        m_ui->Text4->setPlainText(tr("Not saved: %1").arg(error));
        return;
    }
    close();
}
