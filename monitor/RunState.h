// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// Values of one run shared by the main window, the poll cycle and the browser view. Nothing here is saved: every run starts from these defaults.
struct RunState {
    QString BuildInfo = QStringLiteral(" Last Compile: April 2, 2000 - Build 179");
    QString LogFilePath;
    bool AlarmOn = false;
    bool BrowserOn = true;
    bool BrowserOnSaved = true;
    bool PageFetched = false;
    bool PageFetchedSaved = false;
};
