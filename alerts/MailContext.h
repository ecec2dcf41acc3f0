// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

class ActionLog;
class AlertChannel;
struct Alert;
class MailSwitch;
class Settings;
class UserPrompt;

// What the mail channels work with: the switch they share, the action log, message
// boxes and the settings.
struct MailContext {
    MailSwitch& mailSwitch;
    ActionLog& log;
    UserPrompt& prompt;
    Settings& settings;
};

// A setup window's start-up rule: e-mail alerts are on through this channel.
bool emailAlertsOnThrough(const MailContext& mail, const AlertChannel& channel);

// A setup window's ON/OFF button: alerts on through channel, or off for every channel,
// with the log line.
void switchEmailAlerts(const MailContext& mail, AlertChannel& channel, bool on);

// The local-mail logoff: alerts off, the channel choice kept, nothing logged.
void stopEmailAlerts(const MailContext& mail);

// The wizard's "Name new offerings in the subject", saved; off by default so the
// subject stays "IPO: " and the body the ticker list alone.
bool namesNewOfferings(const MailContext& mail);
void setNamesNewOfferings(const MailContext& mail, bool on);

// The wizard's "Switch e-mail alerts on when Offerwatch starts", saved; off by default.
bool mailAtStart(const MailContext& mail);
void setMailAtStart(const MailContext& mail, bool on);
// The channel e-mail alerts last went on through ("SMTP", "MAPI"), or an empty text.
QString lastMailSystem(const MailContext& mail);

// An alert's subject, the first line of its body ("" or "New: ...\n") and its text, as
// mail sends them: what came from a page folded to one line per line, so that nothing
// in it can end a header line or be refused as one.
struct MailLines {
    QString subject;
    QString firstLine;
    QString text;
};
MailLines mailLines(const MailContext& mail, const Alert& alert);

// The alert's text with control, separator and bidi characters as blanks. A ticker list
// is one line; another alert's text keeps its own line ends between folded lines.
QString foldedAlertText(const Alert& alert);
