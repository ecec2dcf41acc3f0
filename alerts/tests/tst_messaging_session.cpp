// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "alerts/MailSwitch.h"
#include "alerts/MapiChannel.h"
#include "monitor/MainPanel.h"
#include "platform/MessagingSession.h"
#include "platform/UserPrompt.h"
#include "testsupport/FakeClock.h"
#include "testsupport/LogLines.h"
#include "testsupport/RecordingPrompt.h"
#include "testsupport/ScratchSettings.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

using namespace Qt::StringLiterals;

namespace {
bool writeScript(const QString& path, const QString& body, bool executable = true)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write("#!/bin/sh\n" + body.toUtf8() + '\n') < 0)
        return false;
    file.close();
    return !executable || file.setPermissions(file.permissions() | QFile::ExeOwner | QFile::ExeGroup | QFile::ExeOther);
}

// A directory put first on PATH (or made the whole PATH) while the object lives, for shell scripts
// standing in for sendmail and xdg-email.
class FakePrograms final {
public:
    explicit FakePrograms(bool wholePath = false)
        : m_oldPath(qgetenv("PATH"))
    {
        qputenv("PATH", QFile::encodeName(m_dir.path()) + (wholePath ? QByteArray() : ':' + m_oldPath));
    }
    ~FakePrograms() { qputenv("PATH", m_oldPath); }
    Q_DISABLE_COPY_MOVE(FakePrograms)

    QString path(const QString& name) const { return m_dir.filePath(name); }
    bool write(const QString& name, const QString& body, bool executable = true)
    {
        return writeScript(path(name), body, executable);
    }
    QByteArray recorded(const QString& file) const
    {
        QFile f(path(file));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

private:
    QTemporaryDir m_dir;
    QByteArray m_oldPath;
};

// Leaves NAME.args (one argument a line) and NAME.stdin beside itself.
const QString Recorder = u"printf '%s\\n' \"$@\" > \"$0.args\"\ncat > \"$0.stdin\""_s;
const QString FailingSendmail = u"cat > /dev/null\necho 'mail hub unreachable' >&2\necho 'retry later' >&2\nexit 75"_s;
const QString FailedLine = u"Error # 1011 sendmail exited with status 75: mail hub unreachable retry later"_s;

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

// A logged-on session and a new message to one named, not yet resolved, recipient.
struct Outgoing {
    explicit Outgoing(const QString& address, const SendmailOptions& options = {})
        : session(options)
    {
        if (!session.Logon(false, false, nullptr) || !(message = session.addMessage(nullptr)))
            return;
        recipient = message->addRecipient(nullptr);
        recipient->setName(address);
    }
    SendmailSession session;
    std::unique_ptr<MessagingMessage> message;
    MessagingRecipient* recipient = nullptr;
};

} // namespace

class MessagingSessionTest : public QObject {
    Q_OBJECT
    QByteArray m_display, m_wayland;

private Q_SLOTS:
    // Without a display a dialog send pipes to sendmail; rows that want one set it.
    void init()
    {
        m_display = qgetenv("DISPLAY");
        m_wayland = qgetenv("WAYLAND_DISPLAY");
        qunsetenv("DISPLAY");
        qunsetenv("WAYLAND_DISPLAY");
    }
    void cleanup()
    {
        for (const auto& [name, value] : {std::pair{"DISPLAY", m_display}, std::pair{"WAYLAND_DISPLAY", m_wayland}}) {
            if (value.isEmpty())
                qunsetenv(name);
            else
                qputenv(name, value);
        }
    }

    void logon_findsSendmail_data()
    {
        QTest::addColumn<QString>("onPath");   // "", "executable", "plain file"
        QTest::addColumn<QString>("fallback"); // the same, at the fallback path
        QTest::addColumn<QString>("found");    // "path", "fallback", or an error number
        QTest::newRow("on PATH") << "executable"
                                 << "executable"
                                 << "path";
        QTest::newRow("PATH entry not executable, fallback used") << "plain file"
                                                                  << "executable"
                                                                  << "fallback";
        QTest::newRow("nowhere") << ""
                                 << ""
                                 << "1003";
        QTest::newRow("fallback not executable") << ""
                                                 << "plain file"
                                                 << "1004";
    }
    void logon_findsSendmail()
    {
        QFETCH(QString, onPath);
        QFETCH(QString, fallback);
        QFETCH(QString, found);
        FakePrograms path(true);
        QTemporaryDir fallbackDir;
        const QString fallbackFile = fallbackDir.filePath(u"sendmail"_s);
        QVERIFY(onPath.isEmpty() || path.write(u"sendmail"_s, u"exit 0"_s, onPath == "executable"_L1));
        QVERIFY(fallback.isEmpty() || writeScript(fallbackFile, u"exit 0"_s, fallback == "executable"_L1));

        SendmailSession session({fallbackFile, 5000});
        MessagingError error;
        const bool ok = session.Logon(true, true, &error);
        if (found.startsWith(u'1')) {
            QVERIFY(!ok);
            QCOMPARE(error.number, found.toInt());
            QVERIFY(error.description.contains(fallbackFile));
        } else {
            QVERIFY2(ok, qPrintable(error.description));
            QCOMPARE(session.program(), found == "path"_L1 ? path.path(u"sendmail"_s) : fallbackFile);
            QVERIFY(session.addMessage(&error));
            QVERIFY(session.Logoff(&error));
        }
        // Logged off or never logged on: no new message, no logoff.
        QVERIFY(session.program().isEmpty());
        error = {};
        QVERIFY(!session.addMessage(&error));
        QCOMPARE(error.number, int(MessagingErrorNumber::NotLoggedOn));
        error = {};
        QVERIFY(!session.Logoff(&error));
        QCOMPARE(error.number, int(MessagingErrorNumber::NotLoggedOn));
    }

    void send_pipesOneWellFormedMessage_data()
    {
        QTest::addColumn<QString>("subject");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expectedSubject");
        QTest::addColumn<QString>("expectedBody");
        QTest::newRow("alert") << "IPO: "
                               << " ABCD-O  EFGH-C  "
                               << "IPO: "
                               << " ABCD-O  EFGH-C  \n";
        QTest::newRow("header injection") << "Hi\r\nBcc: victim@example.org\nX-Evil: 1"
                                          << "\nBcc: victim@example.org"
                                          << "Hi Bcc: victim@example.org X-Evil: 1"
                                          << "\nBcc: victim@example.org\n";
        QTest::newRow("line ends, non-ASCII, dot line")
            << u"B\u00f6rse \u20ac 1"_s << u"Gr\u00fc\u00dfe\r\nb\rc\n.\nd\r\n"_s << u"B\u00f6rse \u20ac 1"_s
            << u"Gr\u00fc\u00dfe\nb\nc\n.\nd\n"_s;
        QTest::newRow("long subject and body line") << QString(300, QChar(0x00e9)) << QString(1500, u'A')
                                                    << QString(300, QChar(0x00e9)) << QString(1500, u'A') + u'\n';
    }
    void send_pipesOneWellFormedMessage()
    {
        QFETCH(QString, subject);
        QFETCH(QString, text);
        QFETCH(QString, expectedSubject);
        QFETCH(QString, expectedBody);
        FakePrograms programs;
        QVERIFY(programs.write(u"sendmail"_s, Recorder));
        Outgoing out(u"investor3@example.com"_s);
        QVERIFY(out.recipient);
        out.message->setSubject(subject);
        out.message->setText(text);
        MessagingError error;
        QVERIFY(out.recipient->Resolve(&error) && out.message->Update(&error));
        QVERIFY2(out.message->Send(false, &error), qPrintable(error.description));

        QCOMPARE(programs.recorded(u"sendmail.args"_s), QByteArray("-t\n-oi\n"));
        const QByteArray raw = programs.recorded(u"sendmail.stdin"_s);
        QVERIFY(!raw.contains('\r'));
        for (const QByteArray& line : raw.left(raw.indexOf("\n\n")).split('\n'))
            QVERIFY2(line.size() <= 998 && !line.startsWith("Bcc") && !line.startsWith("X-Evil"), line.constData());
        QCOMPARE(header(raw, "To"), QList<QByteArray>{"investor3@example.com"});
        QCOMPARE(header(raw, "Subject").size(), 1);
        QCOMPARE(header(raw, "MIME-Version"), QList<QByteArray>{"1.0"});
        QCOMPARE(header(raw, "Content-Type"), QList<QByteArray>{"text/plain; charset=UTF-8"});
        QVERIFY(QDateTime::fromString(QString::fromLatin1(header(raw, "Date").value(0)), Qt::RFC2822Date).isValid());
        QVERIFY(QRegularExpression(u"^<[^<>@ ]+@[^<>@ ]+>$"_s)
                    .match(QString::fromLatin1(header(raw, "Message-ID").value(0)))
                    .hasMatch());
        if (header(raw, "Content-Transfer-Encoding") == QList<QByteArray>{"quoted-printable"}) {
            for (const QByteArray& line : raw.mid(raw.indexOf("\n\n") + 2).split('\n'))
                QVERIFY(line.size() <= 76);
        } else {
            QCOMPARE(header(raw, "Content-Transfer-Encoding"), QList<QByteArray>{"8bit"});
        }
        QCOMPARE(decodedByPython(raw), (QStringList{expectedSubject, expectedBody}));
    }

    void resolve_acceptsOnlyOneMailbox_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("dots, plus, subdomain") << "first.last+ipo@mail.example.co.uk" << true;
        QTest::newRow("surrounding blanks") << "  investor3@example.com\t" << true;
        QTest::newRow("non-ASCII") << u"j\u00f6rg@b\u00f6rse.example"_s << true;
        QTest::newRow("empty") << "" << false;
        QTest::newRow("CR LF and a header") << "a@example.com\r\nBcc: victim@example.org" << false;
        QTest::newRow("trailing LF") << "a@example.com\n" << false;
        QTest::newRow("two addresses, comma") << "a@example.com,b@example.com" << false;
        QTest::newRow("display name") << "Investor <a@example.com>" << false;
        QTest::newRow("no local part") << "@example.com" << false;
        QTest::newRow("no domain") << "a@" << false;
        QTest::newRow("double dot") << "a..b@example.com" << false;
        QTest::newRow("empty domain label") << "a@example..com" << false;
        QTest::newRow("domain label with hyphen edge") << "a@-example.com" << false;
        QTest::newRow("looks like an option") << "-oQ/tmp@example.com" << false;
        QTest::newRow("control character") << u"a\x01@example.com"_s << false;
        QTest::newRow("too long local part") << QString(65, u'a') + u"@example.com"_s << false;
    }
    void resolve_acceptsOnlyOneMailbox()
    {
        QFETCH(QString, name);
        QFETCH(bool, accepted);
        FakePrograms programs;
        QVERIFY(programs.write(u"sendmail"_s, Recorder));
        Outgoing out(name);
        QVERIFY(out.recipient);
        MessagingError error;
        QCOMPARE(out.recipient->Resolve(&error), accepted);
        if (accepted) {
            QVERIFY(out.message->Send(false, &error));
            QCOMPARE(header(programs.recorded(u"sendmail.stdin"_s), "To"), QList<QByteArray>{name.trimmed().toUtf8()});
            return;
        }
        QCOMPARE(error.number, int(MessagingErrorNumber::InvalidAddress));
        QVERIFY(!error.description.isEmpty() && !error.description.contains(u'\n') &&
                !error.description.contains(u'\r'));
        QVERIFY(!out.message->Send(false, &error));
        QCOMPARE(error.number, int(MessagingErrorNumber::RecipientNotResolved));
        QVERIFY(!QFile::exists(programs.path(u"sendmail.stdin"_s)));
    }

    void send_refusesMissingSecondOrRenamedRecipient()
    {
        FakePrograms programs;
        QVERIFY(programs.write(u"sendmail"_s, Recorder));
        Outgoing out(u"a@example.com"_s);
        MessagingError error;
        QVERIFY(!out.session.addMessage(nullptr)->Send(false, &error));
        QCOMPARE(error.number, int(MessagingErrorNumber::NoRecipient));
        QVERIFY(!out.message->addRecipient(&error));
        QCOMPARE(error.number, int(MessagingErrorNumber::RecipientExists));
        QVERIFY(out.recipient->Resolve(&error));
        // Renaming after the check must not slip a header past it.
        out.recipient->setName(u"a@example.com\nBcc: victim@example.org"_s);
        QVERIFY(!out.message->Send(false, &error));
        QCOMPARE(error.number, int(MessagingErrorNumber::RecipientNotResolved));
        QVERIFY(!error.description.contains(u'\n'));
        QVERIFY(!QFile::exists(programs.path(u"sendmail.stdin"_s)));
    }

    void send_dialogOpensComposerOnlyWithDisplay_data()
    {
        QTest::addColumn<QByteArray>("variable");
        QTest::addColumn<bool>("showDialog");
        QTest::addColumn<bool>("composer");
        QTest::newRow("no display") << QByteArray() << true << false;
        QTest::newRow("X display") << QByteArray("DISPLAY") << true << true;
        QTest::newRow("Wayland display") << QByteArray("WAYLAND_DISPLAY") << true << true;
        QTest::newRow("display, no dialog asked") << QByteArray("DISPLAY") << false << false;
    }
    void send_dialogOpensComposerOnlyWithDisplay()
    {
        QFETCH(QByteArray, variable);
        QFETCH(bool, showDialog);
        QFETCH(bool, composer);
        FakePrograms programs;
        QVERIFY(programs.write(u"sendmail"_s, Recorder));
        QVERIFY(programs.write(u"xdg-email"_s, Recorder));
        if (!variable.isEmpty())
            qputenv(variable.constData(), "test-display:0");
        Outgoing out(u"a@example.com"_s);
        QVERIFY(out.recipient && out.recipient->Resolve(nullptr));
        out.message->setSubject(u"Offerwatch\nTest"_s);
        out.message->setText(u"line 1\nline 2"_s);
        MessagingError error;
        QVERIFY2(out.message->Send(showDialog, &error), qPrintable(error.description));
        if (composer)
            QTRY_COMPARE_WITH_TIMEOUT(programs.recorded(u"xdg-email.args"_s),
                                      QByteArray("--subject\nOfferwatch Test\n--body\nline 1\nline 2\na@example.com\n"),
                                      10000);
        QCOMPARE(QFile::exists(programs.path(u"sendmail.stdin"_s)), !composer);
        QCOMPARE(QFile::exists(programs.path(u"xdg-email.args"_s)), composer);
    }

    // The local-mail channel over a real session: TEST, then the given number of alerts. A failing
    // sendmail reports its status and error text, a hanging one is killed at the time limit.
    void channel_logsNumbersAndDescriptions_data()
    {
        QTest::addColumn<QString>("script"); // the stand-in sendmail; none at all when empty
        QTest::addColumn<QString>("recipient");
        QTest::addColumn<int>("alerts");
        QTest::addColumn<QStringList>("lines");
        const QString ok = u"email: logon OK"_s, test = u"email: test email sent"_s, timeout = u"email: timeout"_s;
        const QString pager = u"pager@paging.example"_s;
        QTest::newRow("delivered") << Recorder << pager << 0 << QStringList{ok, test};
        QTest::newRow("third failure") << FailingSendmail << pager << 2
                                       << QStringList{ok,
                                                      timeout,
                                                      FailedLine,
                                                      test,
                                                      timeout,
                                                      FailedLine,
                                                      u"email: sent mapi"_s,
                                                      timeout,
                                                      FailedLine,
                                                      u"email: 3 send errors-triggering logoff"_s,
                                                      u"email: logoff OK"_s,
                                                      u"email: attempting to re-logon"_s,
                                                      u"email: re-logon OK"_s,
                                                      u"email: sent mapi"_s};
        QTest::newRow("sendmail hangs past the time limit")
            << u"exec sleep 30"_s << pager << 0
            << QStringList{ok, timeout, u"Error # 1010 sendmail did not finish within 2 s"_s, test};
        QTest::newRow("line break in the recipient")
            << Recorder << pager + u"\r\nBcc: victim@example.org"_s << 0
            << QStringList{ok, timeout, u"Error # 1008 the recipient address contains a line break"_s, test};
        QTest::newRow("no sendmail") << QString() << pager << 0
                                     << QStringList{u"email: logon error"_s,
                                                    u"Error # 1003 no sendmail program on PATH nor at "
                                                    "/nonexistent/sendmail; install a mail transfer agent"_s};
    }
    void channel_logsNumbersAndDescriptions()
    {
        QFETCH(QString, script);
        QFETCH(QString, recipient);
        QFETCH(int, alerts);
        QFETCH(QStringList, lines);
        FakePrograms programs(script.isEmpty());
        QVERIFY(script.isEmpty() || programs.write(u"sendmail"_s, script));
        FakeClock clock;
        MailSwitch mailSwitch;
        ActionLog log(clock);
        RecordingPrompt prompt;
        ScratchSettings settings;
        settings->setText(Setting::MapiTo, recipient);
        MapiChannel channel({mailSwitch, log, prompt, *settings},
                            SendmailSession::factory({u"/nonexistent/sendmail"_s, 2000}));
        QElapsedTimer timer;
        timer.start();
        channel.press(MapiChannel::Button::Logon);
        channel.press(MapiChannel::Button::Test);
        for (int n = 0; n < alerts; ++n) {
            channel.setMapiSubject(u"IPO: "_s);
            channel.setMapiText(u" ABCD-O  "_s);
            channel.setMapiShowDialog(false);
            channel.SendMapiMail();
            log.LogAction(u"email: sent mapi"_s);
        }
        QCOMPARE(screenMessages(*log.screen()), lines);
        QVERIFY(timer.elapsed() < 10'000);
        if (lines.size() == 2 && !script.isEmpty()) {
            const QByteArray raw = programs.recorded(u"sendmail.stdin"_s);
            QCOMPARE(header(raw, "To"), QList<QByteArray>{recipient.toUtf8()});
            QCOMPARE(header(raw, "Subject"), QList<QByteArray>{"Offerwatch Test"});
            QVERIFY(raw.endsWith("\n\nThis is the text of the Offerwatch email test\n"));
        }
    }
};

QTEST_GUILESS_MAIN(MessagingSessionTest)
#include "tst_messaging_session.moc"
