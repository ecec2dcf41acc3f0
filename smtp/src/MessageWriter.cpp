// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: LGPL-2.1-or-later
#include "MessageWriter.h"

#include "ControlState.h"
#include "MailText.h"
#include "SmtpSocket.h"
#include "smtp/Smtp.h"

#include <QDateTime>
#include <QFile>
#include <QRegularExpression>
#include <QUuid>

namespace {
const QString CrLf = QStringLiteral("\r\n");
constexpr char Boundary[] = "0-1804289383-931972773=:22216";
constexpr qsizetype GroupSize = 57; // bytes per 76-character Base64 line
constexpr qsizetype ReadChunk = GroupSize * 4096;
constexpr qsizetype FlushThreshold = 256 * 1024;
// Written but not yet sent bytes above which reading waits for the connection.
constexpr qint64 HighWater = 2 * 1024 * 1024;

QByteArray boundaryLine(bool closing)
{
    return QByteArray("--") + Boundary + (closing ? "--\r\n" : "\r\n");
}
} // namespace

MessageWriter::MessageWriter(Smtp& control, ControlState& state, SmtpSocket& socket,
                             std::function<void(bool written)> contentEnded)
    : m_control(control)
    , m_state(state)
    , m_socket(socket)
    , m_contentEnded(std::move(contentEnded))
{
}

QString MessageWriter::mimePrelude()
{
    return prelude(QStringLiteral("Content-Type: text/plain; charset=\"iso-8859-1\"\r\n"
                                  "Content-Transfer-Encoding: 7bit\r\n"));
}

QString MessageWriter::prelude(const QString& textHeaders)
{
    // The empty line after the header lines is needed: the boundary line
    // "--0-...=:22216" has the form of a header field, so without it a reader
    // takes the text part's lines as headers of the mail and loses the text.
    return QStringLiteral("MIME-Version: 1.0\r\n"
                          "Content-Type:multipart/mixed; boundary =\"%1\"\r\n"
                          "X-Mailer: Viza.ZAZ Smtp Control Version: 1.06\r\n"
                          "X-Developer: The Offerwatch developers\r\n"
                          "\r\n"
                          "--%1\r\n"
                          "%2"
                          "\r\n")
        .arg(QLatin1String(Boundary), textHeaders);
}

namespace {
// The text of the message without the multipart prelude an earlier copy put in front.
QString bodyText(const ControlState& state)
{
    const QString prelude = MessageWriter::mimePrelude();
    return state.message.startsWith(prelude) ? state.message.mid(prelude.size()) : state.message;
}

bool subjectIsPlain(const QString& subject)
{
    return MailText::isAscii(subject) && subject.size() + 8 <= MailText::MaxLineOctets;
}

QString transferEncodingName(MessageWriter::BodyEncoding encoding)
{
    switch (encoding) {
    case MessageWriter::BodyEncoding::EightBit:
        return QStringLiteral("8bit");
    case MessageWriter::BodyEncoding::QuotedPrintable:
        return QStringLiteral("quoted-printable");
    default:
        return QStringLiteral("7bit");
    }
}
} // namespace

MessageWriter::BodyEncoding MessageWriter::bodyEncoding(const ControlState& state)
{
    const QString text = bodyText(state);
    const bool asciiText = MailText::isAscii(text);
    // One byte per character: Latin-1 is how the text goes out as it always has.
    if (asciiText && subjectIsPlain(state.subject) && MailText::linesFit(text.toLatin1()))
        return BodyEncoding::Plain;
    if (!MailText::linesFit(text.toUtf8()))
        return BodyEncoding::QuotedPrintable;
    if (asciiText)
        return BodyEncoding::SevenBit;
    // 8bit data only to a server that said it takes it (RFC 6152).
    return state.eightBitMime ? BodyEncoding::EightBit : BodyEncoding::QuotedPrintable;
}

QByteArray MessageWriter::wireText(const QString& text)
{
    return wireBytes(text.toLatin1());
}

QByteArray MessageWriter::wireBytes(const QByteArray& in)
{
    QByteArray out;
    out.reserve(in.size() + in.size() / 16 + 2);
    bool lineStart = true;
    for (qsizetype i = 0; i < in.size(); ++i) {
        const char c = in[i];
        if (c == '\r' || c == '\n') {
            out.append("\r\n");
            if (c == '\r' && i + 1 < in.size() && in[i + 1] == '\n')
                ++i;
            lineStart = true;
            continue;
        }
        if (lineStart && c == '.')
            out.append('.');
        out.append(c);
        lineStart = false;
    }
    return out;
}

QString MessageWriter::extractFileName(const QString& path)
{
    const qsizetype cut = std::max(path.lastIndexOf(QLatin1Char('\\')), path.lastIndexOf(QLatin1Char('/')));
    return path.mid(cut + 1);
}

QString MessageWriter::dateValue()
{
    return QDateTime::currentDateTime().toString(Qt::RFC2822Date);
}

QString MessageWriter::messageIdValue(const QString& mailFrom)
{
    static const QRegularExpression domainPattern(QStringLiteral("^[A-Za-z0-9.-]+$"));
    QString domain = mailFrom.trimmed().section(QLatin1Char('@'), -1);
    if (!mailFrom.contains(QLatin1Char('@')) || !domainPattern.match(domain).hasMatch())
        domain = QStringLiteral("localhost");
    return QLatin1Char('<') + QUuid::createUuid().toString(QUuid::WithoutBraces) + QLatin1Char('@') + domain
        + QLatin1Char('>');
}

void MessageWriter::write(const QByteArray& bytes)
{
    m_out.append(bytes);
    if (m_out.size() >= FlushThreshold)
        flush();
}

void MessageWriter::flush()
{
    if (!connectionReplaced())
        m_socket.write(m_out);
    m_out.resize(0); // keeps the buffer for the next piece
}

// An event handler of the host may start a new send, or the writer itself
// may have closed the connection after a failure; nothing more goes out then.
bool MessageWriter::connectionReplaced() const
{
    return m_socket.generation() != m_connection;
}

void MessageWriter::writeHeader(const QString& line)
{
    const QString text = line + CrLf;
    write(text.toLatin1());
    Q_EMIT m_control.ConnectionStatus(text);
}

void MessageWriter::writeContent()
{
    ControlState& s = m_state;
    abort();
    m_connection = m_socket.generation();
    m_failed = false;
    writeHeader(QStringLiteral("Reply-To:") + s.mailFrom);
    writeHeader(QStringLiteral("From:") + s.mailFrom);
    writeHeader(QStringLiteral("To:") + s.mailTo);
    if (s.ccPending)
        writeHeader(QStringLiteral("CC:") + s.ccAddress);
    const BodyEncoding encoding = bodyEncoding(s);
    if (subjectIsPlain(s.subject))
        writeHeader(QStringLiteral("Subject:") + s.subject);
    else
        writeHeader(QStringLiteral("Subject: ") + QString::fromLatin1(MailText::encodedWords(s.subject, "\r\n")));
    writeHeader(QStringLiteral("Date: ") + dateValue());
    writeHeader(QStringLiteral("Message-ID: ") + messageIdValue(s.mailFrom));

    if (s.hasAttachments && s.mimeHeaderPending)
        s.message = mimePrelude() + s.message;
    // The prelude carries its own header lines; any other text needs the
    // empty line that ends the header block, or its first line may be read
    // as a header and the body lost.
    if (!s.message.startsWith(mimePrelude())) {
        if (encoding != BodyEncoding::Plain) {
            writeHeader(QStringLiteral("MIME-Version: 1.0"));
            writeHeader(QStringLiteral("Content-Type: text/plain; charset=UTF-8"));
            writeHeader(QStringLiteral("Content-Transfer-Encoding: ") + transferEncodingName(encoding));
        }
        write("\r\n");
    }

    Q_EMIT m_control.ConnectionStatus(QStringLiteral("Sending message to SMTP server...") + CrLf);
    Q_EMIT m_control.ConnectionStatus(QString());
    writeText(encoding);
    Q_EMIT m_control.ConnectionStatus(QStringLiteral("Message has been sent to SMTP server...") + CrLf);
    Q_EMIT m_control.ConnectionStatus(QString());

    if (s.openingBoundaryPending)
        write("\r\n");
    if (!s.hasAttachments) {
        finishContent();
        return;
    }
    Q_EMIT m_control.ConnectionStatus(QStringLiteral("Sending attachment(s) to SMTP server...") + CrLf);
    Q_EMIT m_control.ConnectionStatus(QString());
    Q_EMIT m_control.BusyState(true);
    write("\r\n");
    // The host may reassign the list from inside an event; work on a copy.
    m_attachments = s.attachmentList;
    m_next = 0;
    m_active = true;
    resume();
}

void MessageWriter::writeText(BodyEncoding encoding)
{
    const ControlState& s = m_state;
    if (encoding == BodyEncoding::Plain) {
        write(wireText(s.message));
        return;
    }
    if (s.message.startsWith(mimePrelude())) {
        write(wireText(prelude(QStringLiteral("Content-Type: text/plain; charset=UTF-8\r\n"
                                              "Content-Transfer-Encoding: %1\r\n")
                                   .arg(transferEncodingName(encoding)))));
    }
    const QByteArray text = MailText::withLfLineEnds(bodyText(s).toUtf8());
    write(wireBytes(encoding == BodyEncoding::QuotedPrintable ? MailText::quotedPrintable(text, "\n") : text));
}

void MessageWriter::finishContent()
{
    m_active = false;
    write("\r\n");
    write(".\r\n");
    const bool replaced = connectionReplaced();
    flush();
    if (!replaced)
        m_state.dialogueStep = ControlState::Quit;
    // Content of a connection the host has replaced is dropped in resume() and never gets here.
    if (m_contentEnded)
        m_contentEnded(!replaced);
}

void MessageWriter::abort()
{
    m_active = false;
    m_file.reset();
    m_out.resize(0);
}

// Attachments are written as the connection drains, so that a large file
// is never held in memory whole and reading overlaps sending.
void MessageWriter::resume()
{
    while (m_active) {
        if (connectionReplaced() && !m_failed) {
            abort();
            return;
        }
        if (!m_failed && m_socket.bytesToWrite() + m_out.size() >= HighWater) {
            flush();
            return;
        }
        if (!m_file) {
            if (m_next >= m_attachments.size()) {
                finishContent();
                return;
            }
            startAttachment();
        } else {
            continueAttachment();
        }
    }
}

void MessageWriter::startAttachment()
{
    const QString& path = m_attachments.at(m_next);
    const qsizetype count = m_attachments.size();
    if (m_next == count - 1)
        m_state.isLastAttachment = true;
    if (connectionReplaced() || !m_socket.isConnected()) {
        Q_EMIT m_control.Error(QStringLiteral("Socket closed.."));
        nextAttachment();
        return;
    }
    auto file = std::make_unique<QFile>(path);
    if (!file->open(QIODevice::ReadOnly)) {
        failAttachment();
        nextAttachment();
        return;
    }
    m_file = std::move(file);
    m_group.resize(0);
    if (m_state.openingBoundaryPending)
        write(boundaryLine(false));
    const QString name = extractFileName(path);
    const QString disposition = count == 1 ? QStringLiteral("inline") : QStringLiteral("attachment");
    const QString header = QStringLiteral("Content-Type: application; Name =\"%1\"\r\n"
                                          "Content-Transfer-Encoding: base64\r\n"
                                          "Content-Description: %1\r\n"
                                          "Content-Disposition: %2; filename =\"%1\"\r\n"
                                          "\r\n")
                               .arg(name, disposition);
    write(header.toLatin1());
}

void MessageWriter::continueAttachment()
{
    const QByteArray chunk = m_file->read(ReadChunk);
    if (chunk.isEmpty() && (m_file->error() != QFileDevice::NoError || !m_file->atEnd())) {
        failAttachment();
        nextAttachment();
        return;
    }
    if (!chunk.isEmpty()) {
        m_group.append(chunk);
        qsizetype used = 0;
        for (; used + GroupSize <= m_group.size(); used += GroupSize) {
            m_codec.EncodeAppend(QByteArrayView(m_group).sliced(used, GroupSize), m_out);
            m_out.append("\r\n");
        }
        m_group.remove(0, used);
        if (m_out.size() >= FlushThreshold)
            flush();
        return;
    }
    // The last, shorter line; empty when the size is a multiple of 57.
    m_codec.EncodeAppend(m_group, m_out);
    write("\r\n\r\n");
    if (m_state.isLastAttachment)
        write(boundaryLine(true) + "\r\n");
    else
        write(boundaryLine(false));
    m_file.reset();
    Q_EMIT m_control.ConnectionStatus(QStringLiteral("Attachment: ") + m_attachments.at(m_next)
                                      + QStringLiteral(" has been sent ") + CrLf);
    nextAttachment();
}

void MessageWriter::nextAttachment()
{
    m_file.reset();
    if (m_attachments.size() > 1)
        m_state.openingBoundaryPending = false;
    ++m_next;
}

void MessageWriter::failAttachment()
{
    m_failed = true;
    Q_EMIT m_control.Error(QStringLiteral("Error occured during encoding process"));
    m_control.clearSendFlag();
    // What was written of the part still reaches the server before the close.
    flush();
    if (!connectionReplaced())
        m_socket.close();
}
