#include "alerts/MapiChannel.h"
#include "monitor/ActionLog.h"
#include "monitor/MainPanel.h"
#include "monitor/RunState.h"
#include "platform/MessagingSession.h"
#include "platform/SettingsStore.h"
#include "platform/UserPrompt.h"
#include "testsupport/FakeClock.h"
#include "testsupport/LogLines.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

namespace {
// Shell scripts standing in for sendmail and xdg-email, found first on PATH while
// the object lives. A recording script leaves NAME.args (one argument a line) and
// NAME.stdin beside itself.
class FakePrograms final {
public:
    FakePrograms()
        : m_oldPath(qgetenv("PATH"))
    {
        qputenv("PATH", QFile::encodeName(m_dir.path()) + ':' + m_oldPath);
    }
    ~FakePrograms() { qputenv("PATH", m_oldPath); }
    Q_DISABLE_COPY_MOVE(FakePrograms)

    QString write(const QString& name, const QString& body)
    {
        QFile file(path(name));
        if (!file.open(QIODevice::WriteOnly))
            return {};
        file.write("#!/bin/sh\n" + body.toUtf8() + '\n');
        file.close();
        file.setPermissions(file.permissions() | QFile::ExeOwner | QFile::ExeGroup | QFile::ExeOther);
        return file.fileName();
    }
    QString writeRecorder(const QString& name)
    {
        const QString out = path(name);
        return write(name, QStringLiteral("printf '%s\\n' \"$@\" > '%1.args'\ncat > '%1.stdin'").arg(out));
    }
    QString path(const QString& name) const { return m_dir.filePath(name); }
    QByteArray recorded(const QString& name, const QString& suffix) const
    {
        QFile file(path(name) + suffix);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

private:
    QTemporaryDir m_dir;
    QByteArray m_oldPath;
};

const QString FailingSendmail = QStringLiteral("cat > /dev/null\necho 'mail hub unreachable' >&2\necho 'retry later' >&2\nexit 75");

struct ParsedMail {
    QList<QByteArray> headers; // unfolded
    QByteArray body;
    QList<QByteArray> named(const QByteArray& name) const
    {
        QList<QByteArray> values;
        for (const QByteArray& line : headers) {
            if (line.startsWith(name + ": "))
                values << line.mid(name.size() + 2);
        }
        return values;
    }
};

ParsedMail parseMail(const QByteArray& message)
{
    ParsedMail mail;
    const qsizetype end = message.indexOf("\n\n");
    for (const QByteArray& line : message.left(end).split('\n')) {
        if (line.startsWith(' ') && !mail.headers.isEmpty())
            mail.headers.last() += line;
        else
            mail.headers << line;
    }
    mail.body = message.mid(end + 2);
    return mail;
}

QByteArray decodeQuotedPrintable(QByteArray text)
{
    text.replace("=\n", "");
    QByteArray out;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text.at(i) == '=' && i + 2 < text.size()) {
            out += char(text.mid(i + 1, 2).toInt(nullptr, 16));
            i += 2;
        } else {
            out += text.at(i);
        }
    }
    return out;
}

QString decodeEncodedWords(const QByteArray& value)
{
    QByteArray bytes;
    for (QByteArray word : value.split(' ')) {
        if (!word.startsWith("=?UTF-8?B?") || !word.endsWith("?="))
            return QString::fromUtf8(value);
        bytes += QByteArray::fromBase64(word.mid(10).chopped(2));
    }
    return QString::fromUtf8(bytes);
}

class NoPrompt final : public UserPrompt {
public:
    void critical(const QString&, const QString&) override {}
};

std::unique_ptr<MessagingMessage> messageTo(SendmailSession& session, const QString& address,
                                            MessagingRecipient** recipientOut = nullptr)
{
    auto message = session.addMessage(nullptr);
    if (!message)
        return nullptr;
    MessagingRecipient* recipient = message->addRecipient(nullptr);
    recipient->setName(address);
    if (recipientOut)
        *recipientOut = recipient;
    return message;
}
} // namespace

class MessagingSessionTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();
    void logon_findsSendmail_data();
    void logon_findsSendmail();
    void loggedOff_refusesLogoffAndMessages();
    void send_pipesOneWellFormedMessage_data();
    void send_pipesOneWellFormedMessage();
    void resolve_acceptsOnlyOneMailbox_data();
    void resolve_acceptsOnlyOneMailbox();
    void send_refusesUnresolvedOrMissingRecipient();
    void send_failingSendmailGivesStatusAndText();
    void send_hangingSendmailIsKilledAtTheLimit();
    void send_dialogOpensComposerOnlyWithDisplay_data();
    void send_dialogOpensComposerOnlyWithDisplay();
    void channel_logsNumbersAndDescriptions_data();
    void channel_logsNumbersAndDescriptions();
    void channel_thirdSendmailFailureForcesLogoffAndRelogon();

private:
    QByteArray m_display;
    QByteArray m_wayland;
};

void MessagingSessionTest::init()
{
    m_display = qgetenv("DISPLAY");
    m_wayland = qgetenv("WAYLAND_DISPLAY");
    qunsetenv("DISPLAY");
    qunsetenv("WAYLAND_DISPLAY");
}

void MessagingSessionTest::cleanup()
{
    for (const auto& [name, value] : {std::pair{"DISPLAY", m_display}, std::pair{"WAYLAND_DISPLAY", m_wayland}}) {
        if (value.isEmpty())
            qunsetenv(name);
        else
            qputenv(name, value);
    }
}

void MessagingSessionTest::logon_findsSendmail_data()
{
    QTest::addColumn<QString>("onPath");   // "", "executable", "plain file"
    QTest::addColumn<QString>("fallback"); // "", "executable", "plain file"
    QTest::addColumn<QString>("found");    // "path", "fallback", or an error number
    QTest::newRow("on PATH") << "executable" << "executable" << "path";
    QTest::newRow("PATH entry not executable, fallback used") << "plain file" << "executable" << "fallback";
    QTest::newRow("only the fallback") << "" << "executable" << "fallback";
    QTest::newRow("nowhere") << "" << "" << "1003";
    QTest::newRow("fallback not executable") << "" << "plain file" << "1004";
}

void MessagingSessionTest::logon_findsSendmail()
{
    QFETCH(QString, onPath);
    QFETCH(QString, fallback);
    QFETCH(QString, found);
    QTemporaryDir pathDir;
    QTemporaryDir fallbackDir;
    const QByteArray oldPath = qgetenv("PATH");
    qputenv("PATH", QFile::encodeName(pathDir.path()));
    const auto place = [](const QString& file, const QString& kind) {
        if (kind.isEmpty())
            return;
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("#!/bin/sh\nexit 0\n");
        f.close();
        if (kind == QLatin1String("executable"))
            f.setPermissions(f.permissions() | QFile::ExeOwner);
    };
    place(pathDir.filePath(QStringLiteral("sendmail")), onPath);
    place(fallbackDir.filePath(QStringLiteral("sendmail")), fallback);

    SendmailSession session({fallbackDir.filePath(QStringLiteral("sendmail")), 5000});
    MessagingError error;
    const bool ok = session.Logon(true, true, &error);
    qputenv("PATH", oldPath);

    if (found == QLatin1String("path") || found == QLatin1String("fallback")) {
        QVERIFY2(ok, qPrintable(error.description));
        QCOMPARE(session.program(), (found == QLatin1String("path") ? pathDir : fallbackDir).filePath(QStringLiteral("sendmail")));
    } else {
        QVERIFY(!ok);
        QCOMPARE(error.number, found.toInt());
        QVERIFY(error.description.contains(fallbackDir.filePath(QStringLiteral("sendmail"))));
        QVERIFY(session.program().isEmpty());
    }
}

void MessagingSessionTest::loggedOff_refusesLogoffAndMessages()
{
    FakePrograms programs;
    programs.writeRecorder(QStringLiteral("sendmail"));
    SendmailSession session;
    MessagingError error;
    QVERIFY(!session.Logoff(&error));
    QCOMPARE(error.number, int(MessagingErrorNumber::NotLoggedOn));
    QVERIFY(!session.addMessage(&error));
    QVERIFY(session.Logon(false, false, &error));
    QVERIFY(session.addMessage(&error));
    QVERIFY(session.Logoff(&error));
    error = {};
    QVERIFY(!session.Logoff(&error));
    QCOMPARE(error.number, int(MessagingErrorNumber::NotLoggedOn));
}

void MessagingSessionTest::send_pipesOneWellFormedMessage_data()
{
    QTest::addColumn<QString>("subject");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expectedSubject");
    QTest::addColumn<QString>("expectedBody");

    QTest::newRow("alert") << "IPO: " << " ABCD-O  EFGH-C  " << "IPO: " << " ABCD-O  EFGH-C  \n";
    QTest::newRow("subject with header injection") << "Hi\r\nBcc: victim@example.org\nX-Evil: 1" << "t"
                                                   << "Hi Bcc: victim@example.org X-Evil: 1" << "t\n";
    QTest::newRow("line ends normalised, dot line kept") << "s" << "a\r\nb\rc\n.\nd\r\n" << "s" << "a\nb\nc\n.\nd\n";
    QTest::newRow("body cannot add headers") << "s" << "\nBcc: victim@example.org" << "s"
                                             << "\nBcc: victim@example.org\n";
    QTest::newRow("non-ASCII") << QString::fromUtf8("B\u00f6rse \u20ac 1") << QString::fromUtf8("Gr\u00fc\u00dfe\n")
                               << QString::fromUtf8("B\u00f6rse \u20ac 1") << QString::fromUtf8("Gr\u00fc\u00dfe\n");
    QTest::newRow("long subject and body line") << QString(300, QChar(0x00e9)) << QString(1500, QLatin1Char('A'))
                                                << QString(300, QChar(0x00e9)) << QString(1500, QLatin1Char('A')) + "\n";
}

void MessagingSessionTest::send_pipesOneWellFormedMessage()
{
    QFETCH(QString, subject);
    QFETCH(QString, text);
    QFETCH(QString, expectedSubject);
    QFETCH(QString, expectedBody);
    FakePrograms programs;
    programs.writeRecorder(QStringLiteral("sendmail"));
    SendmailSession session;
    MessagingError error;
    QVERIFY(session.Logon(false, false, &error));
    auto message = session.addMessage(&error);
    QVERIFY(message);
    message->setSubject(subject);
    message->setText(text);
    MessagingRecipient* recipient = message->addRecipient(&error);
    QVERIFY(recipient);
    recipient->setName(QStringLiteral("investor3@example.com"));
    QVERIFY(recipient->Resolve(&error));
    QVERIFY(message->Update(&error));
    QVERIFY2(message->Send(false, &error), qPrintable(error.description));

    QCOMPARE(programs.recorded(QStringLiteral("sendmail"), QStringLiteral(".args")), QByteArray("-t\n-oi\n"));
    const QByteArray raw = programs.recorded(QStringLiteral("sendmail"), QStringLiteral(".stdin"));
    QVERIFY(!raw.contains('\r'));
    for (const QByteArray& line : raw.left(raw.indexOf("\n\n")).split('\n'))
        QVERIFY2(line.size() <= 998 && !line.startsWith("Bcc") && !line.startsWith("X-Evil"), line.constData());
    const ParsedMail mail = parseMail(raw);
    QCOMPARE(mail.named("To"), QList<QByteArray>{"investor3@example.com"});
    QCOMPARE(mail.named("Subject").size(), 1);
    QCOMPARE(decodeEncodedWords(mail.named("Subject").first()), expectedSubject);
    QCOMPARE(mail.named("MIME-Version"), QList<QByteArray>{"1.0"});
    QCOMPARE(mail.named("Content-Type"), QList<QByteArray>{"text/plain; charset=UTF-8"});
    QVERIFY(QDateTime::fromString(QString::fromLatin1(mail.named("Date").value(0)), Qt::RFC2822Date).isValid());
    QVERIFY(QRegularExpression(QStringLiteral("^<[^<>@ ]+@[^<>@ ]+>$"))
                .match(QString::fromLatin1(mail.named("Message-ID").value(0)))
                .hasMatch());
    const QByteArray encoding = mail.named("Content-Transfer-Encoding").value(0);
    QByteArray body = mail.body;
    if (encoding == "quoted-printable") {
        for (const QByteArray& line : body.split('\n'))
            QVERIFY(line.size() <= 76);
        body = decodeQuotedPrintable(body);
    } else {
        QCOMPARE(encoding, QByteArray("8bit"));
    }
    QCOMPARE(QString::fromUtf8(body), expectedBody);
}

void MessagingSessionTest::resolve_acceptsOnlyOneMailbox_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("plain") << "investor3@example.com" << true;
    QTest::newRow("dots, plus, subdomain") << "first.last+ipo@mail.example.co.uk" << true;
    QTest::newRow("pager gateway") << "5551234.987654@paging.example" << true;
    QTest::newRow("surrounding blanks") << "  investor3@example.com\t" << true;
    QTest::newRow("non-ASCII") << QString::fromUtf8("j\u00f6rg@b\u00f6rse.example") << true;
    QTest::newRow("empty") << "" << false;
    QTest::newRow("CR LF and a header") << "a@example.com\r\nBcc: victim@example.org" << false;
    QTest::newRow("trailing LF") << "a@example.com\n" << false;
    QTest::newRow("trailing CR") << "a@example.com\r" << false;
    QTest::newRow("two addresses, comma") << "a@example.com,b@example.com" << false;
    QTest::newRow("two addresses, blank") << "a@example.com b@example.com" << false;
    QTest::newRow("display name") << "Investor <a@example.com>" << false;
    QTest::newRow("no at sign") << "investor" << false;
    QTest::newRow("no local part") << "@example.com" << false;
    QTest::newRow("no domain") << "a@" << false;
    QTest::newRow("two at signs") << "a@b@example.com" << false;
    QTest::newRow("double dot") << "a..b@example.com" << false;
    QTest::newRow("looks like an option") << "-oQ/tmp@example.com" << false;
    QTest::newRow("domain label with hyphen edge") << "a@-example.com" << false;
    QTest::newRow("empty domain label") << "a@example..com" << false;
    QTest::newRow("control character") << QStringLiteral("a\x01@example.com") << false;
    QTest::newRow("too long local part") << QString(65, QLatin1Char('a')) + "@example.com" << false;
}

void MessagingSessionTest::resolve_acceptsOnlyOneMailbox()
{
    QFETCH(QString, name);
    QFETCH(bool, accepted);
    FakePrograms programs;
    programs.writeRecorder(QStringLiteral("sendmail"));
    SendmailSession session;
    QVERIFY(session.Logon(false, false, nullptr));
    MessagingRecipient* recipient = nullptr;
    auto message = messageTo(session, name, &recipient);
    MessagingError error;
    QCOMPARE(recipient->Resolve(&error), accepted);
    if (accepted) {
        QVERIFY(message->Send(false, &error));
        QCOMPARE(parseMail(programs.recorded(QStringLiteral("sendmail"), QStringLiteral(".stdin"))).named("To"),
                 QList<QByteArray>{name.trimmed().toUtf8()});
    } else {
        QCOMPARE(error.number, int(MessagingErrorNumber::InvalidAddress));
        QVERIFY(!error.description.isEmpty());
        QVERIFY(!error.description.contains(QLatin1Char('\n')) && !error.description.contains(QLatin1Char('\r')));
        QCOMPARE(message->Send(false, &error), false);
        QCOMPARE(error.number, int(MessagingErrorNumber::RecipientNotResolved));
        QVERIFY(programs.recorded(QStringLiteral("sendmail"), QStringLiteral(".stdin")).isEmpty());
    }
}

void MessagingSessionTest::send_refusesUnresolvedOrMissingRecipient()
{
    FakePrograms programs;
    programs.writeRecorder(QStringLiteral("sendmail"));
    SendmailSession session;
    QVERIFY(session.Logon(false, false, nullptr));
    MessagingError error;

    auto bare = session.addMessage(nullptr);
    QVERIFY(!bare->Send(false, &error));
    QCOMPARE(error.number, int(MessagingErrorNumber::NoRecipient));

    MessagingRecipient* recipient = nullptr;
    auto message = messageTo(session, QStringLiteral("a@example.com"), &recipient);
    QVERIFY(!message->addRecipient(&error));
    QCOMPARE(error.number, int(MessagingErrorNumber::RecipientExists));
    QVERIFY(recipient->Resolve(&error));
    // Renaming after the check must not slip a header past it.
    recipient->setName(QStringLiteral("a@example.com\nBcc: victim@example.org"));
    QVERIFY(!message->Send(false, &error));
    QCOMPARE(error.number, int(MessagingErrorNumber::RecipientNotResolved));
    QVERIFY(!error.description.contains(QLatin1Char('\n')));
    QVERIFY(programs.recorded(QStringLiteral("sendmail"), QStringLiteral(".stdin")).isEmpty());
}

void MessagingSessionTest::send_failingSendmailGivesStatusAndText()
{
    FakePrograms programs;
    programs.write(QStringLiteral("sendmail"), FailingSendmail);
    SendmailSession session;
    QVERIFY(session.Logon(false, false, nullptr));
    MessagingRecipient* recipient = nullptr;
    auto message = messageTo(session, QStringLiteral("a@example.com"), &recipient);
    QVERIFY(recipient->Resolve(nullptr));
    MessagingError error;
    QVERIFY(!message->Send(false, &error));
    QCOMPARE(error.number, int(MessagingErrorNumber::SendmailFailed));
    QCOMPARE(error.description, QStringLiteral("sendmail exited with status 75: mail hub unreachable retry later"));
}

void MessagingSessionTest::send_hangingSendmailIsKilledAtTheLimit()
{
    FakePrograms programs;
    programs.write(QStringLiteral("sendmail"), QStringLiteral("exec sleep 30"));
    SendmailSession session({QStringLiteral("/nonexistent/sendmail"), 1000});
    QVERIFY(session.Logon(false, false, nullptr));
    MessagingRecipient* recipient = nullptr;
    auto message = messageTo(session, QStringLiteral("a@example.com"), &recipient);
    QVERIFY(recipient->Resolve(nullptr));
    MessagingError error;
    QElapsedTimer timer;
    timer.start();
    QVERIFY(!message->Send(false, &error));
    QVERIFY(timer.elapsed() < 10000);
    QCOMPARE(error.number, int(MessagingErrorNumber::SendmailTimedOut));
    QCOMPARE(error.description, QStringLiteral("sendmail did not finish within 1 s"));
}

void MessagingSessionTest::send_dialogOpensComposerOnlyWithDisplay_data()
{
    QTest::addColumn<QByteArray>("variable");
    QTest::addColumn<bool>("showDialog");
    QTest::addColumn<bool>("composer");
    QTest::newRow("no display") << QByteArray() << true << false;
    QTest::newRow("X display") << QByteArray("DISPLAY") << true << true;
    QTest::newRow("Wayland display") << QByteArray("WAYLAND_DISPLAY") << true << true;
    QTest::newRow("display, no dialog asked") << QByteArray("DISPLAY") << false << false;
}

void MessagingSessionTest::send_dialogOpensComposerOnlyWithDisplay()
{
    QFETCH(QByteArray, variable);
    QFETCH(bool, showDialog);
    QFETCH(bool, composer);
    FakePrograms programs;
    programs.writeRecorder(QStringLiteral("sendmail"));
    programs.write(QStringLiteral("xdg-email"),
                   QStringLiteral("printf '%s\\n' \"$@\" > '%1.args'").arg(programs.path(QStringLiteral("xdg-email"))));
    if (!variable.isEmpty())
        qputenv(variable.constData(), "test-display:0");
    SendmailSession session;
    QVERIFY(session.Logon(false, false, nullptr));
    MessagingRecipient* recipient = nullptr;
    auto message = messageTo(session, QStringLiteral("a@example.com"), &recipient);
    message->setSubject(QStringLiteral("Offerwatch\nTest"));
    message->setText(QStringLiteral("line 1\nline 2"));
    QVERIFY(recipient->Resolve(nullptr));
    MessagingError error;
    QVERIFY2(message->Send(showDialog, &error), qPrintable(error.description));

    if (composer) {
        QTRY_COMPARE_WITH_TIMEOUT(programs.recorded(QStringLiteral("xdg-email"), QStringLiteral(".args")),
                                  QByteArray("--subject\nOfferwatch Test\n--body\nline 1\nline 2\na@example.com\n"), 10000);
        QVERIFY(!QFile::exists(programs.path(QStringLiteral("sendmail.stdin"))));
    } else {
        QVERIFY(QFile::exists(programs.path(QStringLiteral("sendmail.stdin"))));
        QVERIFY(!QFile::exists(programs.path(QStringLiteral("xdg-email.args"))));
    }
}

void MessagingSessionTest::channel_logsNumbersAndDescriptions_data()
{
    QTest::addColumn<QString>("script"); // "", "record", "fail"
    QTest::addColumn<QString>("recipient");
    QTest::addColumn<QStringList>("lines");
    const QString ok = QStringLiteral("email: logon OK");
    const QString sent = QStringLiteral("email: test email sent");
    const QString timeout = QStringLiteral("email: timeout");
    QTest::newRow("delivered") << "record" << "pager@paging.example" << QStringList{ok, sent};
    QTest::newRow("sendmail fails")
        << "fail" << "pager@paging.example"
        << QStringList{ok, timeout, QStringLiteral("Error # 1011 sendmail exited with status 75: mail hub unreachable retry later"), sent};
    QTest::newRow("line break in the recipient")
        << "record" << "pager@paging.example\r\nBcc: victim@example.org"
        << QStringList{ok, timeout, QStringLiteral("Error # 1008 the recipient address contains a line break"), sent};
    QTest::newRow("no sendmail")
        << "" << "pager@paging.example"
        << QStringList{QStringLiteral("email: logon error"),
                       QStringLiteral("Error # 1003 no sendmail program on PATH nor at /nonexistent/sendmail; install a mail transfer agent")};
}

void MessagingSessionTest::channel_logsNumbersAndDescriptions()
{
    QFETCH(QString, script);
    QFETCH(QString, recipient);
    QFETCH(QStringList, lines);
    FakePrograms programs;
    const QByteArray oldPath = qgetenv("PATH");
    if (script.isEmpty())
        qputenv("PATH", QFile::encodeName(programs.path(QString())));
    else if (script == QLatin1String("record"))
        programs.writeRecorder(QStringLiteral("sendmail"));
    else
        programs.write(QStringLiteral("sendmail"), FailingSendmail);

    FakeClock clock;
    RunState state;
    MainPanel panel;
    ActionLog log(clock);
    NoPrompt prompt;
    MemorySettingsStore settings;
    settings.write(QStringLiteral("MAPI.to"), recipient);
    MapiChannel channel(state, panel, log, prompt, settings,
                        SendmailSession::factory({QStringLiteral("/nonexistent/sendmail"), 5000}));
    channel.press(MapiChannel::Button::Command1);
    channel.press(MapiChannel::Button::Command3);
    qputenv("PATH", oldPath);

    QCOMPARE(screenMessages(*log.screen()), lines);
    if (lines.size() == 2 && script == QLatin1String("record")) {
        const ParsedMail mail = parseMail(programs.recorded(QStringLiteral("sendmail"), QStringLiteral(".stdin")));
        QCOMPARE(mail.named("To"), QList<QByteArray>{recipient.toUtf8()});
        QCOMPARE(mail.named("Subject"), QList<QByteArray>{"Offerwatch Test"});
        QCOMPARE(mail.body, QByteArray("This is the text of the Offerwatch email test\n"));
    }
}

void MessagingSessionTest::channel_thirdSendmailFailureForcesLogoffAndRelogon()
{
    FakePrograms programs;
    programs.write(QStringLiteral("sendmail"), FailingSendmail);
    FakeClock clock;
    RunState state;
    MainPanel panel;
    ActionLog log(clock);
    NoPrompt prompt;
    MemorySettingsStore settings;
    MapiChannel channel(state, panel, log, prompt, settings, SendmailSession::factory());
    channel.press(MapiChannel::Button::Command1);
    channel.press(MapiChannel::Button::Command2);
    for (int n = 0; n < 3; ++n) {
        channel.setMapiSubject(QStringLiteral("IPO: "));
        channel.setMapiText(QStringLiteral(" ABCD-O  "));
        channel.setMapiShowDialog(false);
        channel.SendMapiMail();
        log.LogAction(QStringLiteral("email: sent mapi"));
    }
    const QString errorLine =
        QStringLiteral("Error # 1011 sendmail exited with status 75: mail hub unreachable retry later");
    const QStringList failed{QStringLiteral("email: timeout"), errorLine, QStringLiteral("email: sent mapi")};
    const QStringList expected =
        QStringList{QStringLiteral("email: logon OK"), QStringLiteral("email: ON")} + failed + failed
        + QStringList{QStringLiteral("email: timeout"), errorLine,
                               QStringLiteral("email: 3 send errors-triggering logoff"),
                               QStringLiteral("email: logoff OK"), QStringLiteral("email: attempting to re-logon"),
                               QStringLiteral("email: re-logon OK"), QStringLiteral("email: sent mapi")};
    QCOMPARE(screenMessages(*log.screen()), expected);
    QVERIFY(!state.EmailOn);
    QCOMPARE(panel.emailCaption(), QStringLiteral("Email OFF"));
    QVERIFY(channel.logonEnabled());
}

QTEST_GUILESS_MAIN(MessagingSessionTest)
#include "tst_messaging_session.moc"
