// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "monitor/widgets/TrayIcon.h"

#include "monitor/StatusColour.h"
#include "monitor/TrayModel.h"

#include <QMenu>
#include <QPainter>
#include <QPixmap>
#include <QSystemTrayIcon>
#include <QWidget>

namespace {
QIcon statusIcon(std::uint32_t colour, const QColor& systemColour)
{
    const QColor fill =
        StatusColour::isSystemColour(colour)
            ? systemColour
            : QColor(StatusColour::red(colour), StatusColour::green(colour), StatusColour::blue(colour));
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(fill);
    painter.setPen(QPen(Qt::black, 2));
    painter.drawEllipse(QRectF(2, 2, 28, 28));
    return QIcon(pixmap);
}
} // namespace

TrayIcon::TrayIcon(TrayModel& model, QWidget& mainWindow, Probe trayAvailable, QObject* parent)
    : QObject(parent)
    , m_model(model)
    , m_mainWindow(mainWindow)
    , m_menu(std::make_unique<QMenu>())
    , m_icon(new QSystemTrayIcon(this))
    , m_probe(trayAvailable ? std::move(trayAvailable) : Probe(&QSystemTrayIcon::isSystemTrayAvailable))
{
    m_showHide = m_menu->addAction(tr("Show/Hide Offerwatch"), this, &TrayIcon::toggleMainWindow);
    m_menu->addSeparator();
    m_start = m_menu->addAction(tr("START"), &m_model, &TrayModel::start);
    m_stop = m_menu->addAction(tr("STOP"), &m_model, &TrayModel::stop);
    m_checkNow = m_menu->addAction(tr("Check Now"), &m_model, &TrayModel::checkNow);
    m_menu->addSeparator();
    m_menu->addAction(tr("Exit"), &m_model, &TrayModel::exit);
    m_icon->setContextMenu(m_menu.get());
    connect(m_icon, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::Trigger)
            toggleMainWindow();
    });
    connect(&m_model, &TrayModel::changed, this, &TrayIcon::refresh);
    refresh();
    m_icon->show();
    m_watch.setInterval(3000);
    connect(&m_watch, &QTimer::timeout, this, &TrayIcon::checkTray);
    m_watch.start();
}

void TrayIcon::checkTray()
{
    const bool available = m_probe();
    if (available == m_available)
        return;
    m_available = available;
    if (available) {
        // A new tray knows nothing of the icon shown to the old one: it is shown anew.
        m_icon->hide();
        refresh();
        m_icon->show();
    }
    Q_EMIT trayAvailabilityChanged(available);
}

TrayIcon::~TrayIcon() = default;

void TrayIcon::refresh()
{
    m_icon->setIcon(statusIcon(m_model.colour(), m_mainWindow.palette().color(QPalette::Highlight)));
    m_icon->setToolTip(m_model.toolTip());
    m_start->setEnabled(m_model.startEnabled());
    m_stop->setEnabled(m_model.stopEnabled());
    m_checkNow->setEnabled(m_model.checkNowEnabled());
}

void TrayIcon::toggleMainWindow()
{
    if (m_mainWindow.isVisible() && !m_mainWindow.isMinimized()) {
        m_mainWindow.hide();
        return;
    }
    m_mainWindow.setWindowState(m_mainWindow.windowState() & ~Qt::WindowMinimized);
    m_mainWindow.show();
    m_mainWindow.raise();
    m_mainWindow.activateWindow();
}
