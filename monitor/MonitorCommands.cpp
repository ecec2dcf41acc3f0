// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "monitor/Monitor.h"

#include "platform/ConsoleCommands.h"

void Monitor::addConsoleCommands(ConsoleCommands& c)
{
    // A disabled button does nothing when clicked; its command says so instead.
    c.addCommand(QStringLiteral("start"), false, [this, &c](const QString&) {
        if (m_panel.startEnabled())
            Command1_Click();
        else
            c.refuse(QStringLiteral("'start': monitoring is running already; nothing changed"));
    });
    c.addCommand(QStringLiteral("stop"), false, [this, &c](const QString&) {
        if (m_panel.stopEnabled())
            Command2_Click();
        else
            c.refuse(QStringLiteral("'stop': monitoring is stopped already; nothing changed"));
    });
    c.addCommand(QStringLiteral("check"), false, [this, &c](const QString&) {
        if (!mnuCheckNow_Click())
            c.refuse(QStringLiteral("'check': monitoring is not waiting for its next cycle; nothing changed"));
    });
    c.addCommand(QStringLiteral("alarm"), false, [this](const QString&) { Command5_Click(); });
    c.addCommand(QStringLiteral("browser"), false, [this](const QString&) { Command4_Click(); });
    QStringList minutes;
    for (const int choice : intervalChoices())
        minutes << QString::number(choice);
    QStringList shortestFirst(minutes.crbegin(), minutes.crend());
    c.setArgumentValues(QStringLiteral("interval"), shortestFirst.join(u'|'));
    c.addCommand(QStringLiteral("interval"), true, [this, &c, minutes](const QString& arg) {
        bool ok = false;
        const int chosen = arg.trimmed().toInt(&ok);
        if (!ok || !intervalChoices().contains(chosen)) {
            c.refuse(QStringLiteral("interval must be one of %1; nothing changed").arg(minutes.join(u", ")));
            return;
        }
        List2_Click(chosen);
    });
    c.addCommand(QStringLiteral("exclude on"), false, [this](const QString&) { Check1_Click(true); });
    c.addCommand(QStringLiteral("exclude off"), false, [this](const QString&) { Check1_Click(false); });
    c.addCommand(QStringLiteral("minimize"), false, [this](const QString&) { Form_Resize(WindowState::Minimized); });
    c.addCommand(QStringLiteral("restore"), false, [this](const QString&) { Form_Resize(WindowState::Normal); });
    c.addCommand(QStringLiteral("wizard"), false, [this](const QString&) { Command3_Click(); });
    c.addCommand(QStringLiteral("view log"), false, [this](const QString&) { mnuIPOlog_Click(); });
    c.addCommand(QStringLiteral("delete log"), false, [this](const QString&) { mnuDelLog_Click(); });
    c.addCommand(QStringLiteral("about"), false, [this](const QString&) { mnuAbout_Click(); });
    c.addCommand(QStringLiteral("show"), false, [this, &c](const QString&) { c.print(statusLine()); });
    c.addCommand(QStringLiteral("exit"), false, [this](const QString&) { Form_Unload(); });
}

QString Monitor::statusLine() const
{
    return QStringLiteral("status: colour=%1 tickers=\"%2\" email=\"%3\" alarm=\"%4\"")
        .arg(StatusColour::name(m_panel.statusColour()), m_panel.tickerText(), m_panel.emailCaption(),
             m_panel.alarmCaption());
}
