// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/CommandLine.h"

#include <QCommandLineParser>

CommandLine CommandLine::parse(const QStringList& arguments)
{
    CommandLine options;
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Watches a broker's page of current IPO offerings and alerts on new ones.\n"
        "Works in the current directory: the log ipolog.txt is written there; the help file\n"
        "Offerwatch.txt and the sound are looked for there first, then where they were\n"
        "installed. Without a display it runs in console mode.\n"
        "In console mode, type help for the commands. See offerwatch(1)."));
    const QCommandLineOption console(QStringLiteral("console"),
                                     QStringLiteral("Run without windows; commands on standard input."));
    const QCommandLineOption url(QStringLiteral("url"), QStringLiteral("Poll <url> instead of the offerings page."),
                                 QStringLiteral("url"));
    const QCommandLineOption demo(QStringLiteral("demo"),
                                  QStringLiteral("Serve a sample offerings page on 127.0.0.1 and poll it; "
                                                 "'--demo edgar' serves and polls a sample EDGAR feed."));
    const QCommandLineOption start(QStringLiteral("start"), QStringLiteral("Press START once start-up is done."));
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("Show this help."));
    const QCommandLineOption version({QStringLiteral("v"), QStringLiteral("version")},
                                     QStringLiteral("Show the version."));
    parser.addOptions({console, url, demo, start, help, version});
    // The parser names the program after argv[0], which is not known before the
    // application object exists; the name users type is the right one anyway.
    const QString generated = parser.helpText();
    options.helpText = QStringLiteral("Usage: offerwatch [options]\n") + generated.section(QLatin1Char('\n'), 1);

    if (!parser.parse(arguments)) {
        options.error = parser.errorText();
        return options;
    }
    options.console = parser.isSet(console);
    options.demo = parser.isSet(demo);
    QStringList positional = parser.positionalArguments();
    if (options.demo && !positional.isEmpty() && positional.first() == QLatin1String("edgar")) {
        options.demoFeed = true;
        positional.removeFirst();
    }
    if (!positional.isEmpty()) {
        options.error = QStringLiteral("Unexpected argument '%1'.").arg(positional.first());
        return options;
    }
    options.start = parser.isSet(start);
    options.help = parser.isSet(help);
    options.version = parser.isSet(version);
    if (parser.isSet(url)) {
        options.url = QUrl(parser.value(url), QUrl::StrictMode);
        const QString scheme = options.url.scheme();
        if (!options.url.isValid() || options.url.host().isEmpty()
            || (scheme != QLatin1String("http") && scheme != QLatin1String("https"))) {
            options.error = QStringLiteral("--url needs an http or https address, not '%1'.").arg(parser.value(url));
            options.url.clear();
        }
    }
    if (options.demo && !options.url.isEmpty())
        options.error = QStringLiteral("--demo and --url cannot be used together.");
    return options;
}

bool noDisplayAvailable()
{
    return qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}
