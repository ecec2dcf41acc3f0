// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "browser/BrowserHost.h"

#include "browser/FrmBrowser.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

BrowserHost::BrowserHost(const QWidget* mainWindow, bool windowsVisible)
    : m_mainWindow(mainWindow)
    , m_visible(windowsVisible)
{
}

BrowserHost::~BrowserHost()
{
    unload();
}

void BrowserHost::load()
{
    if (m_view || !m_visible)
        return;
    QRect mainFrame;
    QScreen* screen = QGuiApplication::primaryScreen();
    if (m_mainWindow) {
        mainFrame = m_mainWindow->frameGeometry();
        if (m_mainWindow->screen())
            screen = m_mainWindow->screen();
    }
    const QRect screenArea = screen ? screen->availableGeometry() : QRect();
    m_view = new FrmBrowser(m_startingAddress, mainFrame, screenArea);
    // Closing the view by its close box unloads it; the next show loads it again.
    m_view->setAttribute(Qt::WA_DeleteOnClose);
}

void BrowserHost::unload()
{
    // Deleted at once, not later: a reload puts a fresh view in its place straight away.
    delete m_view.data();
}

void BrowserHost::showBrowser()
{
    load();
    if (m_view)
        m_view->show();
}

void BrowserHost::hideBrowser()
{
    if (m_view)
        m_view->hide();
}

void BrowserHost::reloadBrowser(const QString& startingAddress)
{
    m_startingAddress = startingAddress;
    unload();
    showBrowser();
}

void BrowserHost::unloadAllWindows()
{
    unload();
}
