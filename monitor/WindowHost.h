// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// The windows that the main window opens. A run without windows leaves them out;
// the main window's logic does not care whether anything is shown.
class WindowHost {
public:
    virtual ~WindowHost() = default;

    virtual void showMailWizard() = 0;
    virtual void showWatchSettings() = 0;
    virtual void showAboutBox() = 0;
    // The browser view: shown, hidden, or unloaded and loaded again on an address.
    virtual void showBrowser() = 0;
    virtual void hideBrowser() = 0;
    virtual void reloadBrowser(const QString& startingAddress) = 0;
    // Unloads every open window, the most recently opened first.
    virtual void unloadAllWindows() = 0;
};
