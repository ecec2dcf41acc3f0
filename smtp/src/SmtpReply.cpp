// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: LGPL-2.1-or-later
#include "SmtpReply.h"

#include <algorithm>
#include <cctype>

namespace {
bool isContinuationLine(QByteArrayView line)
{
    return line.size() >= 4 && std::isdigit(static_cast<unsigned char>(line[0]))
        && std::isdigit(static_cast<unsigned char>(line[1])) && std::isdigit(static_cast<unsigned char>(line[2]))
        && line[3] == '-';
}
} // namespace

int ReplyAssembler::lineCode(QByteArrayView line)
{
    int code = 0;
    qsizetype i = 0;
    while (i < line.size() && i < 9 && std::isdigit(static_cast<unsigned char>(line[i]))) {
        code = code * 10 + (line[i] - '0');
        ++i;
    }
    if (i == 0)
        return 0;
    if (i == line.size() || line[i] == ' ' || line[i] == '\r' || line[i] == '\n')
        return code;
    return 0;
}

QList<SmtpReply> ReplyAssembler::feed(const QByteArray& bytes)
{
    QList<SmtpReply> replies;
    // One read may bring any amount: it is taken in slices no larger than the room left,
    // so that neither the buffer nor any reply, whole or cut off, passes MaxReplySize.
    for (qsizetype at = 0; at < bytes.size();) {
        const qsizetype slice = std::min(bytes.size() - at, MaxReplySize - m_pending.size());
        m_pending.append(bytes.constData() + at, slice);
        at += slice;
        takeReplies(replies);
        // A full buffer can only end in a reply larger than allowed.
        if (m_pending.size() == MaxReplySize) {
            replies.append({m_pending, 0});
            m_pending.clear();
        }
    }
    return replies;
}

void ReplyAssembler::takeReplies(QList<SmtpReply>& replies)
{
    qsizetype replyStart = 0;
    qsizetype lineStart = 0;
    for (;;) {
        const qsizetype lineEnd = m_pending.indexOf('\n', lineStart);
        if (lineEnd < 0)
            break;
        const QByteArrayView line = QByteArrayView(m_pending).sliced(lineStart, lineEnd - lineStart);
        lineStart = lineEnd + 1;
        if (isContinuationLine(line))
            continue;
        replies.append({m_pending.sliced(replyStart, lineStart - replyStart), lineCode(line)});
        replyStart = lineStart;
    }
    m_pending.remove(0, replyStart);
}
