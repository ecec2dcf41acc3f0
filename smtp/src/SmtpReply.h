// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: LGPL-2.1-or-later
#pragma once

#include "smtp/SmtpExport.h"

#include <QByteArray>
#include <QList>

// One complete server reply: all its lines as received and its code.
struct SMTP_EXPORT SmtpReply {
    QByteArray text;
    int code = 0; // 0 when the last line does not start with a code
};

// Collects server bytes into complete replies (RFC 5321 section 4.2): a reply
// may arrive split over several segments, and a multi-line reply ("250-...")
// ends only with the line whose code is followed by a blank or by the line end.
class SMTP_EXPORT ReplyAssembler final {
public:
    // A reply that would grow past this is answered as garbage, cut at this
    // size, rather than buffered without bound.
    static constexpr qsizetype MaxReplySize = 64 * 1024;

    QList<SmtpReply> feed(const QByteArray& bytes);
    void clear() { m_pending.clear(); }
    bool hasPartial() const { return !m_pending.isEmpty(); }

    // The code of a final reply line: its leading digits when a blank or the
    // line end follows them, else 0.
    static int lineCode(QByteArrayView line);

private:
    // Moves every complete reply out of the buffer.
    void takeReplies(QList<SmtpReply>& replies);

    QByteArray m_pending;
};
