// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: LGPL-2.1-or-later
#include "SmtpTestKit.h"

// The control's properties and the checks made before any connection.
class TestSmtpProperties final : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void setters_storeAndReport_data()
    {
        QTest::addColumn<QByteArray>("property");
        QTest::addColumn<QVariantList>("values"); // set in turn
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QStringList>("events");
        const auto row = [](const QByteArray& name, const char* property, const QVariantList& values,
                            const QString& stored, const QStringList& events) {
            QTest::newRow(name.constData()) << QByteArray(property) << values << stored << events;
        };
        for (const char* name : {"MailServerDomain", "MailTo", "MailFrom"}) {
            row(name + QByteArray(" blanks"), name, {"   "}, "   ",
                {QStringLiteral("Error:Please fill %1 property").arg(QLatin1String(name))});
            row(name + QByteArray(" filled"), name, {" a@b.org "}, " a@b.org ", {"Notice:" + QLatin1String(name)});
        }
        const QString tooMany = QStringLiteral("Error:%1 lists more than 100 entries; only the first 100 are kept");
        const QString outOfRange = QStringLiteral("Error:%1 must be between 1 and %2, not %3");
        row("CCAddress trimmed of blanks only", "CCAddress", {"  a@x.org ; b@y.org\t "}, "a@x.org ; b@y.org\t",
            {"Notice:CCAddress"});
        row("CCAddress blanks clear it", "CCAddress", {"a@x.org", "   "}, "", {"Notice:CCAddress", "Notice:CCAddress"});
        row("101 copies", "CCAddress", {numberedList(101)}, numberedList(101),
            {"Notice:CCAddress", tooMany.arg("CCAddress")});
        row("AttachmentFile trimmed, blanks keep it", "AttachmentFile", {" /tmp/a;/tmp/b ", "  "}, "/tmp/a;/tmp/b",
            {"Notice:AttachmentFile"});
        row("AttachmentFile not a text", "AttachmentFile", {"/tmp/a.txt", QStringList{"x", "y"}}, "/tmp/a.txt",
            {"Notice:AttachmentFile", "Error:AttachmentFile takes one text of file paths separated by \";\""});
        // A number out of range keeps the default.
        for (const auto& [name, value, top, kept] : {std::tuple("MailServerPort", 0, "65535", "25"),
                                                     {"MailServerPort", 65536, "65535", "25"},
                                                     {"ReplyTimeout", 0, "86400 seconds", "300"},
                                                     {"TlsHandshakeTimeout", 0, "86400 seconds", "30"}})
            row(name + QByteArray::number(value), name, {value}, kept,
                {outOfRange.arg(name, top, QString::number(value))});
        row("Security unknown", "Security", {"tls", "ssl"}, "tls",
            {"Notice:Security", "Error:Security must be none, starttls or tls, not \"ssl\""});
        row("Password never read back", "Password", {"secret"}, "", {"Notice:Password"});
    }
    void setters_storeAndReport()
    {
        QFETCH(QByteArray, property);
        QFETCH(QVariantList, values);
        QFETCH(QString, stored);
        QFETCH(QStringList, events);
        Smtp control;
        SmtpEventLog log(control);
        for (const QVariant& value : values)
            QVERIFY(control.setProperty(property.constData(), value));
        QCOMPARE(control.property(property.constData()).toString(), stored);
        QCOMPARE(log.events, events);
    }

    void sendMail_unsafeOrBlankValue_isRefusedBeforeConnecting_data()
    {
        QTest::addColumn<QByteArray>("property");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("error");
        const auto row = [](const char* name, const char* property, const QString& value, const QString& error) {
            QTest::newRow(name) << QByteArray(property) << value << error;
        };
        const QString lineBreak = QStringLiteral("%1 contains a line break; the mail is not sent");
        const QString control = QStringLiteral("%1 contains the control character %2; the mail is not sent");
        row("blank sender", "MailFrom", "   ", "Mail from can't be blank !!");
        row("MailFrom CR LF", "MailFrom", "a@x.org>\r\nRCPT TO:<victim@y.org", lineBreak.arg("MailFrom"));
        row("MailTo LF", "MailTo", "b@y.org\nDATA", lineBreak.arg("MailTo"));
        row("Subject CR", "Subject", "hi\rBcc: victim@y.org", lineBreak.arg("Subject"));
        row("copy recipient", "CCAddress", "c@z.org;d@z.org\r\nX: y", lineBreak.arg("CCAddress"));
        row("server name", "MailServerDomain", "127.0.0.1\r\nMAIL FROM:<x>", lineBreak.arg("MailServerDomain"));
        // Inside the angle brackets of an address nothing may end the path.
        row("MailTo NUL", "MailTo", QStringLiteral("b@y.org\0x"), control.arg("MailTo", "0x00"));
        row("MailTo ESMTP parameter", "MailTo", "c@d> NOTIFY=NEVER", "MailTo contains \">\"; the mail is not sent");
        row("quote in a file name", "AttachmentFile", "/tmp/a\"b.txt",
            "The attachment file name \"a\"b.txt\" contains a line break or a double quote; the mail is not sent");
        row("login without TLS", "UserName", "joe",
            "A login is never sent over an unencrypted connection: set Security to starttls or tls; the mail is not "
            "sent");
        row("NUL in the password", "Password", QStringLiteral("a\0b"),
            "UserName or Password contains a NUL character; the mail is not sent");
    }
    void sendMail_unsafeOrBlankValue_isRefusedBeforeConnecting()
    {
        QFETCH(QByteArray, property);
        QFETCH(QString, value);
        QFETCH(QString, error);
        Smtp control;
        control.setMailServerDomain(QStringLiteral("127.0.0.1"));
        control.setMailFrom(QStringLiteral("a@x.org"));
        control.setMailTo(QStringLiteral("b@y.org"));
        control.setProperty(property.constData(), value);
        SmtpEventLog log(control);
        control.setSendMail(true);
        QCOMPARE(control.SendMail(), false);
        QCOMPARE(log.events, (QStringList{"Notice:SendMail", "Error:" + error, "Notice:SendMail"}));
    }
};

QTEST_GUILESS_MAIN(TestSmtpProperties)
#include "tst_smtp_properties.moc"
