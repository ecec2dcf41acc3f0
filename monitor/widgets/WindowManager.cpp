// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "monitor/widgets/WindowManager.h"

void WindowManager::track(QWidget* window)
{
    if (!window)
        return;
    m_openOrder.removeAll(nullptr);
    if (!m_openOrder.contains(window))
        m_openOrder.append(window);
}

void WindowManager::present(QWidget* window)
{
    if (!window)
        return;
    track(window);
    if (m_visible) {
        window->show();
        window->raise();
        window->activateWindow();
    }
}

void WindowManager::open(QPointer<QWidget>& slot, const Factory& factory)
{
    if (!slot && factory)
        slot = factory();
    present(slot);
}

void WindowManager::showMailWizard()
{
    open(m_wizard, m_wizardFactory);
}

void WindowManager::showAboutBox()
{
    open(m_about, m_aboutFactory);
}

void WindowManager::showWatchSettings()
{
    open(m_watch, m_watchFactory);
}

void WindowManager::showBrowser()
{
    if (m_browser)
        m_browser->showBrowser();
}

void WindowManager::hideBrowser()
{
    if (m_browser)
        m_browser->hideBrowser();
}

void WindowManager::reloadBrowser(const QString& startingAddress)
{
    if (m_browser)
        m_browser->reloadBrowser(startingAddress);
}

void WindowManager::unloadAllWindows()
{
    if (m_browser)
        m_browser->unloadAllWindows();
    for (qsizetype i = m_openOrder.size() - 1; i >= 0; --i) {
        if (QWidget* window = m_openOrder[i])
            window->close();
    }
    m_openOrder.clear();
}
