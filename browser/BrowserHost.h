// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "browser/FrmBrowser.h"
#include "monitor/WindowHost.h"

#include <QPointer>
#include <QString>

class QWidget;

// The browser view's side of the windows: loads the view when it is first shown,
// hides it, and unloads and loads it again on a new address after each poll.
// StartingAddress outlives the view. When windows are not shown the view is never
// created, so a run without windows never starts the web engine.
class BrowserHost final : public WindowHost {
    Q_DISABLE_COPY_MOVE(BrowserHost)
public:
    // mainWindow (may be null) decides where the view goes when it loads.
    BrowserHost(const QWidget* mainWindow, bool windowsVisible);
    ~BrowserHost() override;

    const QString& StartingAddress() const { return m_startingAddress; }
    // The loaded view, or null.
    FrmBrowser* view() const { return m_view; }

    void showBrowser() override;
    void hideBrowser() override;
    void reloadBrowser(const QString& startingAddress) override;
    void unloadAllWindows() override;
    // The other windows are not ours.
    void showMailWizard() override {}
    void showAboutBox() override {}
    void showWatchSettings() override {}

private:
    void load();
    void unload();

    QPointer<const QWidget> m_mainWindow;
    bool m_visible;
    QString m_startingAddress;
    QPointer<FrmBrowser> m_view;
};
