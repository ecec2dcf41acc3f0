// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/MessagingSession.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

using namespace Qt::StringLiterals;

namespace {
// Leaves NAME.args (one argument a line) and NAME.stdin beside itself.
const QString Recorder = u"printf '%s\\n' \"$@\" > \"$0.args\"\ncat > \"$0.stdin\""_s;

// The values of one header field of a message as sendmail got it, continuation lines joined.
QList<QByteArray> header(const QByteArray& raw, const QByteArray& name)
{
    QList<QByteArray> values;
    bool inField = false;
    for (const QByteArray& line : raw.left(raw.indexOf("\n\n")).split('\n')) {
        if (inField && line.startsWith(' '))
            values.last() += line;
        else if ((inField = line.startsWith(name + ": ")))
            values << line.mid(name.size() + 2);
    }
    return values;
}

// Subject and text as Python's email package (policy default) decodes the message.
QStringList decodedByPython(const QByteArray& raw)
{
    QProcess python;
    python.start(u"/usr/bin/python3"_s,
                 {u"-c"_s, u"import email, email.policy, json, sys\n"
                           "m = email.message_from_bytes(sys.stdin.buffer.read(), policy=email.policy.default)\n"
                           "json.dump([str(m['Subject']), m.get_content()], sys.stdout)"_s});
    python.write(raw);
    python.closeWriteChannel();
    if (!python.waitForFinished(30000) || python.exitCode() != 0)
        return {QString::fromUtf8(python.readAllStandardError())};
    QStringList decoded;
    for (const QJsonValue value : QJsonDocument::fromJson(python.readAllStandardOutput()).array())
        decoded << value.toString();
    return decoded;
}

// Shell scripts standing in for sendmail and xdg-email, first on PATH while the object lives, a logged-on
// session and a new message to one named, not yet resolved, recipient.
struct Outgoing {
    explicit Outgoing(const QString& address, const QString& sendmail = Recorder)
    {
        qputenv("PATH", QFile::encodeName(dir.path()) + ':' + oldPath);
        if (!write(u"sendmail"_s, sendmail) || !write(u"xdg-email"_s, Recorder) ||
            !session.Logon(false, false, nullptr) || !(message = session.addMessage(nullptr)))
            return;
        recipient = message->addRecipient(nullptr);
        recipient->setName(address);
    }
    ~Outgoing() { qputenv("PATH", oldPath); }
    bool write(const QString& name, const QString& body)
    {
        QFile file(dir.filePath(name));
        return file.open(QIODevice::WriteOnly) && file.write("#!/bin/sh\n" + body.toUtf8() + '\n') > 0 &&
               file.setPermissions(file.permissions() | QFile::ExeOwner);
    }
    QByteArray recorded(const QString& name) const
    {
        QFile file(dir.filePath(name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    QTemporaryDir dir;
    const QByteArray oldPath = qgetenv("PATH");
    SendmailSession session{{u"/nonexistent/sendmail"_s, 2000}};
    std::unique_ptr<MessagingMessage> message;
    MessagingRecipient* recipient = nullptr;
};
} // namespace

class MessagingSessionTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // Without a display a dialog send pipes to sendmail; rows that want one set it.
    void init()
    {
        qunsetenv("DISPLAY");
        qunsetenv("WAYLAND_DISPLAY");
    }

    void send_pipesOneWellFormedMessage_data()
    {
        QTest::addColumn<QString>("subject");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("decoded"); // subject and text
        QTest::newRow("header injection")
            << u"Hi\r\nBcc: victim@example.org\nX-Evil: 1"_s << u"\nBcc: victim@example.org"_s
            << QStringList{u"Hi Bcc: victim@example.org X-Evil: 1"_s, u"\nBcc: victim@example.org\n"_s};
        QTest::newRow("line ends, non-ASCII, dot line")
            << u"B\u00f6rse \u20ac 1"_s << u"Gr\u00fc\u00dfe\r\nb\rc\n.\nd\r\n"_s
            << QStringList{u"B\u00f6rse \u20ac 1"_s, u"Gr\u00fc\u00dfe\nb\nc\n.\nd\n"_s};
        QTest::newRow("long subject and body line")
            << QString(300, QChar(0x00e9)) << QString(1500, u'A')
            << QStringList{QString(300, QChar(0x00e9)), QString(1500, u'A') + u'\n'};
    }
    void send_pipesOneWellFormedMessage()
    {
        QFETCH(QString, subject);
        QFETCH(QString, text);
        Outgoing out(u"j\u00f6rg.last+ipo@b\u00f6rse.example.co.uk"_s);
        QVERIFY(out.recipient);
        out.message->setSubject(subject);
        out.message->setText(text);
        MessagingError error;
        QVERIFY(out.recipient->Resolve(&error) && out.message->Update(&error));
        QVERIFY2(out.message->Send(false, &error), qPrintable(error.description));

        QCOMPARE(out.recorded(u"sendmail.args"_s), QByteArray("-t\n-oi\n"));
        const QByteArray raw = out.recorded(u"sendmail.stdin"_s);
        QVERIFY(!raw.contains('\r'));
        for (const QByteArray& line : raw.left(raw.indexOf("\n\n")).split('\n'))
            QVERIFY2(line.size() <= 998 && !line.startsWith("Bcc") && !line.startsWith("X-Evil"), line.constData());
        QCOMPARE(header(raw, "To") + header(raw, "Content-Type"),
                 (QList<QByteArray>{"j\xc3\xb6rg.last+ipo@b\xc3\xb6rse.example.co.uk", "text/plain; charset=UTF-8"}));
        QCOMPARE(header(raw, "Subject").size(), 1);
        QVERIFY(QDateTime::fromString(QString::fromLatin1(header(raw, "Date").value(0)), Qt::RFC2822Date).isValid());
        QVERIFY(QRegularExpression(u"^<[^<>@ ]+@[^<>@ ]+>$"_s)
                    .match(QString::fromLatin1(header(raw, "Message-ID").value(0)))
                    .hasMatch());
        const bool quoted = header(raw, "Content-Transfer-Encoding") == QList<QByteArray>{"quoted-printable"};
        QVERIFY(quoted || header(raw, "Content-Transfer-Encoding") == QList<QByteArray>{"8bit"});
        for (const QByteArray& line : raw.mid(raw.indexOf("\n\n") + 2).split('\n'))
            QVERIFY(!quoted || line.size() <= 76);
        QTEST(decodedByPython(raw), "decoded");
    }

    // One mailbox, nothing that sendmail could take for a header or an option.
    void mailboxAddressProblem_acceptsOnlyOneMailbox()
    {
        QCOMPARE(mailboxAddressProblem(u"j\u00f6rg.last+ipo@b\u00f6rse.example.co.uk"_s), QString());
        for (const QString& address :
             {QString(), u"a@example.com\r\nBcc: victim@example.org"_s, u"a@example.com,b@example.com"_s,
              u"a..b@example.com"_s, u"-oQ/tmp@example.com"_s, QString(65, u'a') + u"@example.com"_s})
            QVERIFY2(!mailboxAddressProblem(address).isEmpty(), qPrintable(address));
    }

    // A refused name, or one changed after the check, never reaches sendmail.
    void send_unresolvedRecipient_isRefused()
    {
        for (const bool renamed : {false, true}) {
            const QString injected = u"a@example.com\r\nBcc: victim@example.org"_s;
            Outgoing out(renamed ? u"a@example.com"_s : injected);
            QVERIFY(out.recipient);
            MessagingError error;
            QCOMPARE(out.recipient->Resolve(&error), renamed);
            QVERIFY(renamed || error.number == int(MessagingErrorNumber::InvalidAddress));
            out.recipient->setName(injected);
            QVERIFY(!out.message->Send(false, &error));
            QCOMPARE(error.number, int(MessagingErrorNumber::RecipientNotResolved));
            QVERIFY(!error.description.contains(u'\n') && !error.description.contains(u'\r'));
            QVERIFY(!QFile::exists(out.dir.filePath(u"sendmail.stdin"_s)));
        }
    }

    // A dialog send opens the desktop's composer when there is a display, else it pipes to
    // sendmail; a sendmail that fails is named with its status and error text, one that hangs is killed.
    void send_reachesComposerOrSendmail_data()
    {
        QTest::addColumn<QString>("sendmail");
        QTest::addColumn<QByteArray>("display");
        QTest::addColumn<bool>("showDialog");
        QTest::addColumn<QString>("outcome"); // "composer", "sendmail", or the error's number and text
        QTest::newRow("no display") << Recorder << QByteArray() << true << u"sendmail"_s;
        QTest::newRow("X display") << Recorder << QByteArray("DISPLAY") << true << u"composer"_s;
        QTest::newRow("Wayland display") << Recorder << QByteArray("WAYLAND_DISPLAY") << true << u"composer"_s;
        QTest::newRow("display, no dialog asked") << Recorder << QByteArray("DISPLAY") << false << u"sendmail"_s;
        QTest::newRow("sendmail refuses")
            << u"cat > /dev/null\necho 'mail hub unreachable' >&2\necho 'retry later' >&2\nexit 75"_s << QByteArray()
            << false << u"1011 sendmail exited with status 75: mail hub unreachable retry later"_s;
        QTest::newRow("sendmail hangs") << u"exec sleep 30"_s << QByteArray() << false
                                        << u"1010 sendmail did not finish within 2 s"_s;
    }
    void send_reachesComposerOrSendmail()
    {
        QFETCH(QString, sendmail);
        QFETCH(QByteArray, display);
        QFETCH(bool, showDialog);
        QFETCH(QString, outcome);
        if (!display.isEmpty())
            qputenv(display.constData(), "test-display:0");
        Outgoing out(u"a@example.com"_s, sendmail);
        QVERIFY(out.recipient && out.recipient->Resolve(nullptr));
        out.message->setSubject(u"Offerwatch\nTest"_s);
        out.message->setText(u"line 1\nline 2"_s);
        MessagingError error;
        QElapsedTimer timer;
        timer.start();
        const bool sent = out.message->Send(showDialog, &error);
        QVERIFY(timer.elapsed() < 10'000);
        if (outcome == u"composer"_s)
            QTRY_COMPARE_WITH_TIMEOUT(out.recorded(u"xdg-email.args"_s),
                                      QByteArray("--subject\nOfferwatch Test\n--body\nline 1\nline 2\na@example.com\n"),
                                      10000);
        const QString happened = QFile::exists(out.dir.filePath(u"xdg-email.args"_s))   ? u"composer"_s
                                 : QFile::exists(out.dir.filePath(u"sendmail.stdin"_s)) ? u"sendmail"_s
                                                                                        : u"nothing"_s;
        QCOMPARE(sent ? happened : u"%1 %2"_s.arg(error.number).arg(error.description), outcome);
    }
};

QTEST_GUILESS_MAIN(MessagingSessionTest)
#include "tst_messaging_session.moc"
