// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/CommandLine.h"
#include "app/ConsoleSession.h"
#include "app/Program.h"
#include "about/AppIcon.h"

#include <QApplication>

#include <cstdio>
#include <unistd.h>

int main(int argc, char* argv[])
{
    ConsoleSession::takeQtMessages();
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    CommandLine options = CommandLine::parse(arguments);
    if (!options.error.isEmpty()) {
        ConsoleSession::printError(options.error + QStringLiteral(" (see --help)"));
        return 2;
    }
    if (options.help) {
        std::fputs(options.helpText.toLocal8Bit().constData(), stdout);
        return 0;
    }
    if (options.version) {
        std::printf("offerwatch %s\n", OFFERWATCH_VERSION);
        return 0;
    }
    if (!options.console && noDisplayAvailable()) {
        options.console = true;
        ConsoleSession::printError(QStringLiteral("no display found; running in console mode"));
    }
    // Windows are still created in the console, only never shown; they need no display.
    if (options.console && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (qEnvironmentVariableIsEmpty("QTWEBENGINE_DISABLE_SANDBOX") && geteuid() == 0)
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Offerwatch"));
    QApplication::setOrganizationName(QStringLiteral("Offerwatch"));
    QApplication::setApplicationVersion(QStringLiteral(OFFERWATCH_VERSION));
    QApplication::setQuitOnLastWindowClosed(false);
    // Window managers and docks match the windows to the menu entry by this name; the
    // icon is every window's own, for those that do not look the entry up.
    QGuiApplication::setDesktopFileName(QStringLiteral(OFFERWATCH_APP_ID));
    QApplication::setWindowIcon(appIcon());

    Program program(options);
    int exitStatus = 0;
    if (!program.start(&exitStatus))
        return exitStatus;
    const int status = QApplication::exec();
    return status != 0 ? status : program.exitStatus();
}
