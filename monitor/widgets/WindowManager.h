// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "monitor/WindowHost.h"

#include <QList>
#include <QPointer>
#include <QWidget>

#include <functional>

// Keeps the program's single-instance windows: creates each on first use, shows it
// (or only loads it when the program runs without windows), and unloads them all,
// newest first, at shut-down.
class WindowManager final : public WindowHost {
public:
    using Factory = std::function<QWidget*()>;

    explicit WindowManager(bool windowsVisible)
        : m_visible(windowsVisible)
    {
    }

    bool windowsVisible() const { return m_visible; }

    void setMailWizardFactory(Factory f) { m_wizardFactory = std::move(f); }
    void setAboutBoxFactory(Factory f) { m_aboutFactory = std::move(f); }
    void setWatchSettingsFactory(Factory f) { m_watchFactory = std::move(f); }
    // The browser view has its own operations because it is reloaded on every poll.
    void setBrowserHost(WindowHost* browser) { m_browser = browser; }

    // Records a window as open, so shut-down unloads it in the right order.
    void track(QWidget* window);
    // Shows window when windows are visible; it is loaded either way.
    void present(QWidget* window);

    void showMailWizard() override;
    void showAboutBox() override;
    void showWatchSettings() override;
    void showBrowser() override;
    void hideBrowser() override;
    void reloadBrowser(const QString& startingAddress) override;
    void unloadAllWindows() override;

private:
    void open(QPointer<QWidget>& slot, const Factory& factory);

    bool m_visible;
    Factory m_wizardFactory;
    Factory m_aboutFactory;
    Factory m_watchFactory;
    QPointer<QWidget> m_wizard;
    QPointer<QWidget> m_about;
    QPointer<QWidget> m_watch;
    WindowHost* m_browser = nullptr;
    QList<QPointer<QWidget>> m_openOrder;
};
