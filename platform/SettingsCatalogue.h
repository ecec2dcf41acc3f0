// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QStringView>

// One value of the settings file: its key as it stands in the file ("Watch/url" lives
// in [Watch]; a key without "/", such as "SMTP.to", in [General]), what kind of value it
// holds, and what a first run reads. Files written by earlier versions use these same keys.
struct SettingKey {
    enum class Type {
        Text,
        OnOff, // "on" or "off"; anything else reads as the default
        Count, // a whole number from 0; anything else reads as the default
    };
    QStringView key;
    QStringView defaultValue;
    Type type;
    // The default is worked out where the value is read (it follows another setting or
    // what the desktop offers); the read passes it.
    bool defaultFollowsOthers = false;
};

// Every setting the program keeps, in one table. The placeholders name no real mailbox or host.
namespace Setting {
using T = SettingKey::Type;
// What is watched and how its page is read.
inline constexpr SettingKey WatchUrl{u"Watch/url", u"", T::Text};
inline constexpr SettingKey WatchSource{u"Watch/source", u"broker", T::Text};
inline constexpr SettingKey WatchPattern{u"Watch/pattern", u"", T::Text};
inline constexpr SettingKey WatchContact{u"Watch/contact", u"", T::Text};
inline constexpr SettingKey WatchForms{u"Watch/forms", u"S-1, F-1", T::Text};
inline constexpr SettingKey WatchFailAlert{u"Watch/failAlert", u"3", T::Count};
// On for the feed and pattern sources, off for the broker's page, until the user chooses.
inline constexpr SettingKey WatchRemember{u"Watch/remember", u"", T::OnOff, true};
// Mail alerts: what every mail channel shares.
// On for the feed and pattern sources, off for the broker's page, until the user chooses.
inline constexpr SettingKey NameNewInSubject{u"Alerts/nameNewInSubject", u"", T::OnOff, true};
inline constexpr SettingKey MailAtStart{u"Alerts/mailAtStart", u"off", T::OnOff};
// The channel e-mail alerts last went on through ("SMTP", "MAPI").
inline constexpr SettingKey MailSystem{u"Alerts/mailSystem", u"", T::Text};
// SMTP alerts. The password is in the keyring, never here.
inline constexpr SettingKey SmtpTo{u"SMTP.to", u"investor1@example.com", T::Text};
inline constexpr SettingKey SmtpGateway{u"SMTP.gateway", u"mailhost.example", T::Text};
inline constexpr SettingKey SmtpFrom{u"SMTP.from", u"investor2@example.com", T::Text};
inline constexpr SettingKey SmtpSecurity{u"SMTP.security", u"none", T::Text};
inline constexpr SettingKey SmtpUser{u"SMTP.user", u"", T::Text};
// Local mail alerts.
inline constexpr SettingKey MapiTo{u"MAPI.to", u"investor3@example.com", T::Text};
// Desktop notifications: on where the desktop shows them, until the user chooses.
inline constexpr SettingKey Notifications{u"Alerts/notifications", u"", T::OnOff, true};
// Push alerts. Whether a token waits in the keyring; the token itself never goes into the file.
inline constexpr SettingKey Push{u"Alerts/push", u"off", T::OnOff};
inline constexpr SettingKey PushUrl{u"Alerts/pushUrl", u"", T::Text};
inline constexpr SettingKey PushKind{u"Alerts/pushKind", u"ntfy", T::Text};
inline constexpr SettingKey PushToken{u"Alerts/pushToken", u"off", T::OnOff};
// The main window.
inline constexpr SettingKey MinimizeToTray{u"Window/minimizeToTray", u"off", T::OnOff};

inline constexpr SettingKey All[] = {WatchUrl,      WatchSource,  WatchPattern, WatchContact, WatchForms,
                                     WatchFailAlert, WatchRemember, NameNewInSubject, MailAtStart, MailSystem,
                                     SmtpTo,        SmtpGateway,  SmtpFrom,     SmtpSecurity, SmtpUser,
                                     MapiTo,        Notifications, Push,        PushUrl,      PushKind,
                                     PushToken,     MinimizeToTray};
} // namespace Setting
