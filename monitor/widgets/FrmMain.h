// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QMainWindow>

class QAction;

#include <memory>

namespace Ui {
class FrmMain;
}
class Monitor;

// The main window: binds its controls to the monitor's logic and copies the
// monitor's panel state back into them.
class FrmMain final : public QMainWindow {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FrmMain)
public:
    explicit FrmMain(Monitor& monitor, QWidget* parent = nullptr);
    ~FrmMain() override;

    // Adds an item of another part of the program to the File menu, above Exit.
    void addFileMenuAction(QAction* action);
    // Brings the window to the front, restored if it was minimized.
    void raiseToFront();
    // File > Minimize to Tray: minimizing hides the window while a tray is there to
    // bring it back; with no tray it minimizes like any window.
    void setHideWhenMinimized(bool hide);
    // Whether the desktop's tray is there now. A window hidden in a tray that went
    // away comes back minimized, so the taskbar can still reach it.
    void setTrayAvailable(bool available);

protected:
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void connectControls();
    void refreshFromPanel();
    void refreshDiagnostics();
    bool hidesWhenMinimized() const { return m_hideWhenMinimized && m_trayAvailable; }
    void showIfHiddenWithoutTray();

    Monitor& m_monitor;
    std::unique_ptr<Ui::FrmMain> m_ui;
    bool m_shownOnce = false;
    bool m_hideWhenMinimized = false;
    bool m_trayAvailable = true;
    bool m_hiddenInTray = false;
};
