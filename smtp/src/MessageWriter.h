// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: LGPL-2.1-or-later
#pragma once

#include "smtp/SmtpExport.h"

#include "smtp/Base64.h"

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

class Smtp;
class SmtpSocket;
struct ControlState;

// Writes the message content after the server's 354: header lines, the text,
// the MIME attachment parts and the end-of-data marker, raising the status
// events on the way.
class SMTP_EXPORT MessageWriter final {
public:
    // contentEnded(true) follows the end-of-data marker; contentEnded(false)
    // follows content that failed and closed the connection itself.
    MessageWriter(Smtp& control, ControlState& state, SmtpSocket& socket,
                  std::function<void(bool written)> contentEnded = {});
    Q_DISABLE_COPY_MOVE(MessageWriter)

    // Writes the content; attachments follow as the connection drains
    // (resume), and the end-of-data marker after the last one.
    void writeContent();
    void resume();
    // Drops what is left to write: the connection is gone or replaced.
    void abort();

    // How the text goes out. Plain is the mail of old, byte for byte: no MIME header
    // of its own, one byte per character. The others are UTF-8 text with MIME headers,
    // for a subject or text outside ASCII or a line longer than RFC 5322 allows.
    enum class BodyEncoding { Plain, SevenBit, EightBit, QuotedPrintable };
    static BodyEncoding bodyEncoding(const ControlState& state);

    // The multipart prelude that is put in front of the text once.
    static QString mimePrelude();
    // The text as it goes on the wire: every line end CR LF (a lone CR or LF
    // could end the data early on a lenient server), dot-stuffed (RFC 5321
    // section 4.5.2), one byte per character.
    static QByteArray wireText(const QString& text);
    static QByteArray wireBytes(const QByteArray& bytes);
    // The file name after the last "/" or "\", so no local path leaks into the mail.
    static QString extractFileName(const QString& path);
    // "Date:" and "Message-ID:" values (RFC 5322 section 3.6).
    static QString dateValue();
    static QString messageIdValue(const QString& mailFrom);

private:
    static QString prelude(const QString& textHeaders);
    void writeHeader(const QString& line);
    void writeText(BodyEncoding encoding);
    void write(const QByteArray& bytes);
    void flush();
    void finishContent();
    void startAttachment();
    void continueAttachment();
    void nextAttachment();
    void failAttachment();
    bool connectionReplaced() const;

    Smtp& m_control;
    ControlState& m_state;
    SmtpSocket& m_socket;
    std::function<void(bool written)> m_contentEnded;
    QByteArray m_out;
    Base64 m_codec;
    QStringList m_attachments;
    qsizetype m_next = 0; // index of the attachment being written or next
    std::unique_ptr<QFile> m_file;
    QByteArray m_group; // read bytes not yet encoded, less than one line
    bool m_active = false;
    bool m_failed = false; // this content closed the connection itself
    quint64 m_connection = 0; // the connection this content belongs to
};
