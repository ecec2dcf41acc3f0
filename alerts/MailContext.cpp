// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "alerts/MailContext.h"

#include "alerts/AlertChannel.h"
#include "alerts/MailSwitch.h"
#include "monitor/ActionLog.h"
#include "monitor/Alert.h"
#include "monitor/WatchSettings.h"
#include "platform/PlainText.h"
#include "platform/Settings.h"

namespace {
// RFC 5322's recommended line length: pagers and phone lock screens show no more.
constexpr qsizetype MaxSubjectLength = 78;
} // namespace

bool emailAlertsOnThrough(const MailContext& mail, const AlertChannel& channel)
{
    return mail.mailSwitch.isOnThrough(channel.name());
}

void switchEmailAlerts(const MailContext& mail, AlertChannel& channel, bool on)
{
    if (on)
        mail.mailSwitch.switchOn(channel.name());
    else
        mail.mailSwitch.switchOff();
    // Remembered for the next start, should the user want alerts on from the start.
    if (on)
        mail.settings.setText(Setting::MailSystem, channel.name());
    mail.log.LogAction(on ? QStringLiteral("email: ON") : QStringLiteral("email: OFF"));
}

void stopEmailAlerts(const MailContext& mail)
{
    mail.mailSwitch.stop();
}

bool namesNewOfferings(const MailContext& mail)
{
    // A feed's or a pattern's list is long and changes a little at a time: there the subject
    // says what is new unless the user said otherwise. The broker's mail stays the design's.
    const bool readsFeedOrPattern = WatchSettings::load(mail.settings).source != WatchSettings::Source::Broker;
    return mail.settings.isOn(Setting::NameNewInSubject, readsFeedOrPattern);
}

void setNamesNewOfferings(const MailContext& mail, bool on)
{
    mail.settings.setOn(Setting::NameNewInSubject, on);
    mail.log.LogAction(on ? QStringLiteral("email: new offerings in the subject ON")
                          : QStringLiteral("email: new offerings in the subject OFF"));
}

bool mailAtStart(const MailContext& mail)
{
    return mail.settings.isOn(Setting::MailAtStart);
}

void setMailAtStart(const MailContext& mail, bool on)
{
    mail.settings.setOn(Setting::MailAtStart, on);
    mail.log.LogAction(on ? QStringLiteral("email: on at start ON") : QStringLiteral("email: on at start OFF"));
}

QString lastMailSystem(const MailContext& mail)
{
    return mail.settings.text(Setting::MailSystem);
}

QString foldedAlertText(const Alert& alert)
{
    if (alert.subject == Alert::TickersSubject)
        return PlainText::folded(alert.text);
    QStringList lines = alert.text.split(QLatin1Char('\n'));
    for (QString& line : lines)
        line = PlainText::folded(line);
    return lines.join(QLatin1Char('\n'));
}

MailLines mailLines(const MailContext& mail, const Alert& alert)
{
    const QString text = foldedAlertText(alert);
    if (alert.newEntries.isEmpty() || alert.subject != Alert::TickersSubject || !namesNewOfferings(mail))
        return {PlainText::folded(alert.subject), QString(), text};
    const QString named = PlainText::folded(alert.newEntries.join(QStringLiteral(", ")));
    QString subject = alert.subject + named;
    if (subject.size() > MaxSubjectLength)
        subject = subject.left(MaxSubjectLength - 3) + QStringLiteral("...");
    return {subject, QStringLiteral("New: ") + named + QLatin1Char('\n'), text};
}
