// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: LGPL-2.1-or-later
#pragma once

#include "smtp/SmtpExport.h"

#include <QString>
#include <QStringList>

// Splits the ";"-separated copy-recipient and attachment lists.
struct SMTP_EXPORT SplitResult {
    QStringList entries; // at most the limit, in the order given
    bool overflow = false; // more entries than the limit were given
};

// Entries are taken as they stand (not trimmed); empty entries are dropped.
// When dropEntry is not empty, entries equal to it (exact, case-sensitive)
// are dropped: a sender gets no copy of its own mail.
SMTP_EXPORT SplitResult splitList(const QString& text, int limit, const QString& dropEntry = {});
