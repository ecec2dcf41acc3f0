// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// The keys of the mail settings that survive a restart, and what a first run shows.
// The placeholders name no real mailbox or host.
namespace MailSettings {
inline const QString SmtpTo = QStringLiteral("SMTP.to");
inline const QString SmtpGateway = QStringLiteral("SMTP.gateway");
inline const QString SmtpFrom = QStringLiteral("SMTP.from");
inline const QString MapiTo = QStringLiteral("MAPI.to");
inline const QString SmtpSecurity = QStringLiteral("SMTP.security");
inline const QString SmtpUser = QStringLiteral("SMTP.user");

inline const QString DefaultSmtpTo = QStringLiteral("investor1@example.com");
inline const QString DefaultSmtpGateway = QStringLiteral("mailhost.example");
inline const QString DefaultSmtpFrom = QStringLiteral("investor2@example.com");
inline const QString DefaultMapiTo = QStringLiteral("investor3@example.com");
} // namespace MailSettings
