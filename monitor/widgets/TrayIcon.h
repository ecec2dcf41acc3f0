// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QTimer>

#include <functional>
#include <memory>

class QAction;
class QMenu;
class QSystemTrayIcon;
class QWidget;
class TrayModel;

// The icon in the desktop's tray: the status colour, the tooltip and the menu of the
// tray model, and Show/Hide for the main window. Made where a tray exists at start;
// the tray may go away and come back during the run (a panel restarted, another
// desktop session), which it follows.
class TrayIcon final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TrayIcon)
public:
    using Probe = std::function<bool()>;

    // trayAvailable tells whether a tray is there now; the default asks the desktop.
    TrayIcon(TrayModel& model, QWidget& mainWindow, Probe trayAvailable = {}, QObject* parent = nullptr);
    ~TrayIcon() override;

    QMenu* menu() const { return m_menu.get(); }
    QSystemTrayIcon* icon() const { return m_icon; }
    bool trayAvailable() const { return m_available; }

    // Asks whether the tray is there; done every few seconds by itself.
    void checkTray();

Q_SIGNALS:
    void trayAvailabilityChanged(bool available);

private:
    void refresh();
    void toggleMainWindow();

    TrayModel& m_model;
    QWidget& m_mainWindow;
    std::unique_ptr<QMenu> m_menu;
    QSystemTrayIcon* m_icon;
    QAction* m_showHide;
    QAction* m_start;
    QAction* m_stop;
    QAction* m_checkNow;
    Probe m_probe;
    bool m_available = true;
    // Qt tells of no tray coming or going, so it is asked.
    QTimer m_watch;
};
