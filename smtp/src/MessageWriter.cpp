#include "MessageWriter.h"

#include "ControlState.h"
#include "SmtpSocket.h"
#include "smtp/Base64.h"
#include "smtp/Smtp.h"

#include <QDateTime>
#include <QFile>
#include <QRegularExpression>
#include <QUuid>

namespace {
const QString CrLf = QStringLiteral("\r\n");
constexpr char Boundary[] = "0-1804289383-931972773=:22216";
constexpr qsizetype GroupSize = 57; // bytes per 76-character Base64 line
constexpr qsizetype ReadChunk = GroupSize * 1150;
constexpr qsizetype FlushThreshold = 256 * 1024;

QByteArray boundaryLine(bool closing)
{
    return QByteArray("--") + Boundary + (closing ? "--\r\n" : "\r\n");
}
} // namespace

MessageWriter::MessageWriter(Smtp& control, ControlState& state, SmtpSocket& socket)
    : m_control(control)
    , m_state(state)
    , m_socket(socket)
{
}

QString MessageWriter::mimePrelude()
{
    return QStringLiteral("MIME-Version: 1.0\r\n"
                          "Content-Type:multipart/mixed; boundary =\"%1\"\r\n"
                          "X-Mailer: Viza.ZAZ Smtp Control Version: 1.06\r\n"
                          "X-Developer: The Offerwatch developers\r\n"
                          "--%1\r\n"
                          "Content-Type: text/plain; charset=\"iso-8859-1\"\r\n"
                          "Content-Transfer-Encoding: 7bit\r\n"
                          "\r\n")
        .arg(QLatin1String(Boundary));
}

QByteArray MessageWriter::wireText(const QString& text)
{
    const QByteArray in = text.toLatin1();
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
    m_out.clear();
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
    m_connection = m_socket.generation();
    m_out.clear();
    writeHeader(QStringLiteral("Reply-To:") + s.mailFrom);
    writeHeader(QStringLiteral("From:") + s.mailFrom);
    writeHeader(QStringLiteral("To:") + s.mailTo);
    if (s.ccPending)
        writeHeader(QStringLiteral("CC:") + s.ccAddress);
    writeHeader(QStringLiteral("Subject:") + s.subject);
    writeHeader(QStringLiteral("Date: ") + dateValue());
    writeHeader(QStringLiteral("Message-ID: ") + messageIdValue(s.mailFrom));

    const QString prelude = mimePrelude();
    if (s.hasAttachments && s.mimeHeaderPending)
        s.message = prelude + s.message;
    // The prelude carries its own header lines; any other text needs the
    // empty line that ends the header block, or its first line may be read
    // as a header and the body lost.
    if (!s.message.startsWith(prelude))
        write("\r\n");

    Q_EMIT m_control.ConnectionStatus(QStringLiteral("Sending message to SMTP server...") + CrLf);
    Q_EMIT m_control.ConnectionStatus(QString());
    write(wireText(s.message));
    Q_EMIT m_control.ConnectionStatus(QStringLiteral("Message has been sent to SMTP server...") + CrLf);
    Q_EMIT m_control.ConnectionStatus(QString());

    if (s.openingBoundaryPending)
        write("\r\n");
    if (s.hasAttachments) {
        Q_EMIT m_control.ConnectionStatus(QStringLiteral("Sending attachment(s) to SMTP server...") + CrLf);
        Q_EMIT m_control.ConnectionStatus(QString());
        Q_EMIT m_control.BusyState(true);
        write("\r\n");
        // The host may reassign the list from inside an event; work on a copy.
        const QStringList attachments = s.attachmentList;
        const int count = int(attachments.size());
        if (count == 1) {
            s.isLastAttachment = true;
            sendAttachment(attachments.first(), count);
        } else {
            for (int k = 0; k < count; ++k) {
                if (k == count - 1)
                    s.isLastAttachment = true;
                sendAttachment(attachments[k], count);
                s.openingBoundaryPending = false;
            }
        }
    }
    write("\r\n");
    write(".\r\n");
    const bool replaced = connectionReplaced();
    flush();
    if (!replaced)
        s.dialogueStep = ControlState::Quit;
}

void MessageWriter::sendAttachment(const QString& path, int attachmentCount)
{
    if (connectionReplaced() || !m_socket.isConnected()) {
        Q_EMIT m_control.Error(QStringLiteral("Socket closed.."));
        return;
    }
    const Base64 codec;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        failAttachment();
        return;
    }
    if (m_state.openingBoundaryPending)
        write(boundaryLine(false));

    const QString name = extractFileName(path);
    const QString disposition = attachmentCount == 1 ? QStringLiteral("inline") : QStringLiteral("attachment");
    QString header = QStringLiteral("Content-Type: application; Name =\"%1\"\r\n"
                                    "Content-Transfer-Encoding: base64\r\n"
                                    "Content-Description: %1\r\n"
                                    "Content-Disposition: %2; filename =\"%1\"\r\n"
                                    "\r\n")
                         .arg(name, disposition);
    write(header.toLatin1());

    QByteArray group;
    for (;;) {
        const QByteArray chunk = file.read(ReadChunk);
        if (chunk.isEmpty() && (file.error() != QFileDevice::NoError || !file.atEnd())) {
            failAttachment();
            return;
        }
        if (chunk.isEmpty())
            break;
        group.append(chunk);
        qsizetype used = 0;
        for (; used + GroupSize <= group.size(); used += GroupSize) {
            write(codec.Encode(QByteArrayView(group).sliced(used, GroupSize)));
            write("\r\n");
        }
        group.remove(0, used);
    }
    write(codec.Encode(group));
    write("\r\n");
    write("\r\n");
    if (m_state.isLastAttachment) {
        write(boundaryLine(true));
        write("\r\n");
    } else {
        write(boundaryLine(false));
    }
    file.close();
    Q_EMIT m_control.ConnectionStatus(QStringLiteral("Attachment: ") + path + QStringLiteral(" has been sent ") + CrLf);
}

void MessageWriter::failAttachment()
{
    Q_EMIT m_control.Error(QStringLiteral("Error occured during encoding process"));
    m_control.clearSendFlag();
    // What was written of the part still reaches the server before the close.
    flush();
    if (!connectionReplaced())
        m_socket.close();
}
