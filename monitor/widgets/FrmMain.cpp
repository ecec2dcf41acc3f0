// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "monitor/widgets/FrmMain.h"

#include "monitor/Monitor.h"
#include "ui_FrmMain.h"

#include <QCloseEvent>
#include <QDir>
#include <QEvent>
#include <QPalette>
#include <QTimer>

namespace {
// A page of many megabytes would make the hidden diagnostics box slow to fill;
// the monitor keeps the whole text, the box shows its beginning.
constexpr qsizetype DiagnosticsTextLimit = 256 * 1024;
constexpr qsizetype TickerTextLimit = 64 * 1024;

QColor toQColor(std::uint32_t value, const QPalette& palette)
{
    if (StatusColour::isSystemColour(value))
        return palette.color(QPalette::Active, QPalette::Highlight);
    return QColor(StatusColour::red(value), StatusColour::green(value), StatusColour::blue(value));
}

Monitor::WindowState toWindowState(Qt::WindowStates states)
{
    if (states & Qt::WindowMinimized)
        return Monitor::WindowState::Minimized;
    if (states & Qt::WindowMaximized)
        return Monitor::WindowState::Maximized;
    if (states & Qt::WindowFullScreen)
        return Monitor::WindowState::Other;
    return Monitor::WindowState::Normal;
}
} // namespace

FrmMain::FrmMain(Monitor& monitor, QWidget* parent)
    : QMainWindow(parent)
    , m_monitor(monitor)
    , m_ui(std::make_unique<Ui::FrmMain>())
{
    m_ui->setupUi(this);
    QFont font = this->font();
    font.setFamilies({QStringLiteral("Comic Neue"), QStringLiteral("Comic Sans MS")});
    setFont(font);
    m_ui->centralwidget->setFixedSize(249, 514);
    m_ui->Text2->setModel(m_monitor.actionLog().screen());
    m_ui->Label8->setStyleSheet(QStringLiteral("color: white;"));
    connectControls();
    refreshFromPanel();
    refreshDiagnostics();
    move(0, 0);
}

FrmMain::~FrmMain() = default;

void FrmMain::addFileMenuAction(QAction* action)
{
    // Above the line that sets Exit apart.
    const QList<QAction*> items = m_ui->mnuFile->actions();
    const qsizetype exit = items.indexOf(m_ui->mnuExit);
    QAction* before = exit > 0 && items[exit - 1]->isSeparator() ? items[exit - 1] : m_ui->mnuExit;
    m_ui->mnuFile->insertAction(before, action);
}

void FrmMain::setHideWhenMinimized(bool hide)
{
    m_hideWhenMinimized = hide;
    showIfHiddenWithoutTray();
}

void FrmMain::setTrayAvailable(bool available)
{
    m_trayAvailable = available;
    showIfHiddenWithoutTray();
}

void FrmMain::showIfHiddenWithoutTray()
{
    if (m_hiddenInTray && !hidesWhenMinimized())
        showMinimized();
}

void FrmMain::raiseToFront()
{
    setWindowState(windowState() & ~Qt::WindowMinimized);
    show();
    raise();
    activateWindow();
}

void FrmMain::connectControls()
{
    Monitor& m = m_monitor;
    connect(m_ui->Command1, &QPushButton::clicked, this, [&m] { m.Command1_Click(); });
    connect(m_ui->Command2, &QPushButton::clicked, this, [&m] { m.Command2_Click(); });
    connect(m_ui->Command3, &QPushButton::clicked, this, [&m] { m.Command3_Click(); });
    connect(m_ui->Command4, &QPushButton::clicked, this, [&m] { m.Command4_Click(); });
    connect(m_ui->Command5, &QPushButton::clicked, this, [&m] { m.Command5_Click(); });
    connect(m_ui->Check1, &QCheckBox::clicked, this, [&m](bool ticked) { m.Check1_Click(ticked); });
    // A choice by mouse or by keyboard is the same choice.
    connect(m_ui->List2, &QListWidget::currentRowChanged, this, [this, &m](int row) {
        if (const QListWidgetItem* item = m_ui->List2->item(row))
            m.List2_Click(item->text().toInt());
    });
    connect(m_ui->mnuExit, &QAction::triggered, this, &QWidget::close);
    connect(m_ui->mnuWatch, &QAction::triggered, this, [&m] { m.mnuWatch_Click(); });
    connect(m_ui->mnuCheckNow, &QAction::triggered, this, [&m] { m.mnuCheckNow_Click(); });
    connect(m_ui->mnuEmail, &QAction::triggered, this, [&m] { m.mnuEmail_Click(); });
    connect(m_ui->mnuIPOlog, &QAction::triggered, this, [&m] { m.mnuIPOlog_Click(); });
    connect(m_ui->mnuDelLog, &QAction::triggered, this, [&m] { m.mnuDelLog_Click(); });
    connect(m_ui->mnuOfferwatch, &QAction::triggered, this, [&m] { m.mnuOfferwatch_Click(QDir::currentPath()); });
    connect(m_ui->mnuAbout, &QAction::triggered, this, [&m] { m.mnuAbout_Click(); });
    connect(&m.panel(), &MainPanel::changed, this, &FrmMain::refreshFromPanel);
    connect(&m.panel(), &MainPanel::diagnosticsChanged, this, &FrmMain::refreshDiagnostics);
}

void FrmMain::refreshFromPanel()
{
    const MainPanel& panel = m_monitor.panel();
    const QColor status = toQColor(panel.statusColour(), palette());
    for (QWidget* w : {static_cast<QWidget*>(m_ui->Label8), static_cast<QWidget*>(m_ui->Frame1)}) {
        QPalette p = w->palette();
        p.setColor(QPalette::Window, status);
        w->setPalette(p);
    }
    m_ui->Command1->setEnabled(panel.startEnabled());
    m_ui->Command2->setEnabled(panel.stopEnabled());
    m_ui->Command1->setDefault(panel.defaultButton() == MainPanel::DefaultButton::Start);
    m_ui->Command2->setDefault(panel.defaultButton() == MainPanel::DefaultButton::Stop);
    m_ui->mnuCheckNow->setEnabled(panel.checkNowEnabled());
    m_ui->Command3->setText(panel.emailCaption());
    m_ui->Command4->setText(panel.browserCaption());
    m_ui->Command5->setText(panel.alarmCaption());
    // A page can make a list of millions of characters; the box shows its beginning.
    const QString& tickers = panel.tickerText();
    const QString shown = tickers.size() > TickerTextLimit
                              ? tickers.left(TickerTextLimit) +
                                    tr("\n[%1 more characters not shown]").arg(tickers.size() - TickerTextLimit)
                              : tickers;
    if (m_ui->Text3->toPlainText() != shown)
        m_ui->Text3->setPlainText(shown);
    m_ui->Check1->setChecked(panel.excludeClosed());
    const auto items = m_ui->List2->findItems(QString::number(panel.intervalMinutes()), Qt::MatchExactly);
    if (!items.isEmpty() && m_ui->List2->currentItem() != items.first()) {
        const QSignalBlocker quiet(m_ui->List2);
        m_ui->List2->setCurrentItem(items.first());
        m_ui->List2->scrollToItem(items.first(), QAbstractItemView::PositionAtTop);
    }
}

void FrmMain::refreshDiagnostics()
{
    const MainPanel& panel = m_monitor.panel();
    const QString& page = panel.pageText();
    m_ui->Text1->setPlainText(page.size() > DiagnosticsTextLimit
                                  ? page.left(DiagnosticsTextLimit) +
                                        tr("\n[%1 more characters not shown]").arg(page.size() - DiagnosticsTextLimit)
                                  : page);
    m_ui->lblHTMLSIZE->setText(panel.htmlSize());
    m_ui->lblRESPCODE->setText(panel.responseCode());
    m_ui->lblRESPINFO->setText(panel.responseInfo());
}

void FrmMain::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    // The window system's own show events (spontaneous) come also to a hidden window.
    if (!event->spontaneous())
        m_hiddenInTray = false;
    if (!m_shownOnce) {
        m_shownOnce = true;
        m_monitor.Form_Resize(Monitor::WindowState::Normal);
    }
}

void FrmMain::changeEvent(QEvent* event)
{
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange && m_shownOnce) {
        m_monitor.Form_Resize(toWindowState(windowState()));
        // Hidden once the minimize has run its course, or the window manager keeps a taskbar entry.
        // The tray may have gone in between, so it is asked again.
        if (hidesWhenMinimized() && isMinimized()) {
            QTimer::singleShot(0, this, [this] {
                if (hidesWhenMinimized() && isMinimized()) {
                    hide();
                    m_hiddenInTray = true;
                }
            });
        }
    }
}

void FrmMain::closeEvent(QCloseEvent* event)
{
    m_monitor.Form_Unload();
    event->accept();
}
