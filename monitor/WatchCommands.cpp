// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "monitor/WatchSetup.h"

#include "platform/ConsoleCommands.h"

void WatchSetup::addConsoleCommands(ConsoleCommands& c, std::function<QString()> commandLineWatch)
{
    // Each command saves its own value alone, checked first; a refused value changes nothing.
    const auto field = [this, &c](const QString& name, std::function<bool(const QString&)> set) {
        c.addCommand(QStringLiteral("watch ") + name, true, [this, &c, name, set](const QString& text) {
            reload();
            QString error;
            if (!set(text.trimmed()) || !save(&error))
                c.refuse(QStringLiteral("'watch %1': %2 Nothing changed.")
                             .arg(name, error.isEmpty() ? QStringLiteral("use broker, edgar or pattern.") : error));
        });
    };
    field(QStringLiteral("url"), [this](const QString& text) {
        setUrlText(text);
        return true;
    });
    field(QStringLiteral("source"), [this](const QString& text) {
        WatchSettings::Source source;
        if (!WatchSettings::parseSource(text, &source))
            return false;
        setSource(source);
        return true;
    });
    field(QStringLiteral("pattern"), [this](const QString& text) {
        setPattern(text);
        return true;
    });
    c.takeVerbatim(QStringLiteral("watch pattern"));
    field(QStringLiteral("forms"), [this](const QString& text) {
        setFormsText(text);
        return true;
    });
    field(QStringLiteral("contact"), [this](const QString& text) {
        setContact(text);
        return true;
    });
    for (const bool on : {true, false})
        c.addCommand(on ? QStringLiteral("watch remember on") : QStringLiteral("watch remember off"), false,
                     [this, &c, on](const QString&) {
                         reload();
                         setRemember(on);
                         QString error;
                         if (!save(&error))
                             c.refuse(QStringLiteral("'watch remember': %1 Nothing changed.").arg(error));
                     });
    c.addCommand(QStringLiteral("watch try"), false, [this](const QString&) {
        reload();
        tryFetch();
    });
    c.addCommand(QStringLiteral("watch show"), false, [this, &c, commandLineWatch](const QString&) {
        reload();
        c.print(describe());
        if (const QString other = commandLineWatch ? commandLineWatch() : QString(); !other.isEmpty())
            c.print(other);
    });
    connect(this, &WatchSetup::tried, this, [&c](const QString& report) { c.print(report); });
}
