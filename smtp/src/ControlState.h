// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: LGPL-2.1-or-later
#pragma once

#include <QString>
#include <QStringList>

// The fields of one control instance, shared by the property layer, the
// dialogue and the message writer. Lists hold at most Smtp::MaxListEntries.
struct ControlState {
    bool sendFlag = false;
    QString mailServerDomain;
    QString mailTo;
    QString ccAddress;
    QString mailFrom;
    QString subject;
    QString message;
    QString attachmentFile;
    int mailServerPort = 25;
    int replyTimeoutSeconds = 300;

    // Off, the dialogue is the plain HELO dialogue of old, byte for byte.
    enum class Security { None, StartTls, Tls };
    Security security = Security::None;
    QString userName;
    QString password; // never shown, logged or saved
    QString caFile;
    int handshakeTimeoutSeconds = 30;
    // The server's last EHLO offered 8BITMIME (RFC 6152); false on the plain dialogue.
    bool eightBitMime = false;

    bool hasAttachments = false;
    QStringList attachmentList;
    bool openingBoundaryPending = false;
    bool isLastAttachment = false;

    bool ccPending = false;
    QStringList ccList;
    int ccCursor = 0;

    bool mimeHeaderPending = false;
    // Which command follows the next 250 reply; kept across sends on purpose.
    enum Step { None = 0, MailFrom = 1, RcptTo = 2, Data = 3, Quit = 4 };
    int dialogueStep = None;
};

#include <atomic>

// Instances alive in this library, for DllCanUnloadNow.
inline std::atomic<int>& liveControlInstances()
{
    static std::atomic<int> count{0};
    return count;
}
