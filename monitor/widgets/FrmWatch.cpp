#include "monitor/widgets/FrmWatch.h"

#include "monitor/WatchSetup.h"
#include "ui_FrmWatch.h"

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
