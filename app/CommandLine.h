// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>
#include <QUrl>

struct CommandLine {
    bool console = false;
    bool demo = false;
    // --demo edgar: the sample feed instead of the sample page.
    bool demoFeed = false;
    bool start = false;
    bool help = false;
    bool version = false;
    QUrl url;
    QString error;
    QString helpText;

    // Reads the options; unknown options and a bad --url leave a message in error.
    static CommandLine parse(const QStringList& arguments);
};

// Neither an X nor a Wayland display is there to show windows on.
bool noDisplayAvailable();
