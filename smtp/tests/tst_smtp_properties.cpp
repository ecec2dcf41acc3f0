// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: LGPL-2.1-or-later
#include "SmtpTestKit.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTimer>

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
        for (const char* name : {"MailServerDomain", "MailTo", "MailFrom"}) {
            QTest::addRow("%s blanks", name) << QByteArray(name) << QVariantList{"   "} << "   "
                                             << QStringList{QStringLiteral("Error:Please fill %1 property").arg(QLatin1String(name))};
            QTest::addRow("%s filled", name) << QByteArray(name) << QVariantList{" a@b.org "} << " a@b.org "
                                             << QStringList{QStringLiteral("Notice:") + QLatin1String(name)};
        }
        const QString tooMany = QStringLiteral("Error:%1 lists more than 100 entries; only the first 100 are kept");
        const QString outOfRange = QStringLiteral("Error:%1 must be between 1 and %2, not %3");
        QTest::newRow("Subject as given") << QByteArray("Subject") << QVariantList{"  IPO: x "} << "  IPO: x " << QStringList{"Notice:Subject"};
        QTest::newRow("CCAddress trimmed of blanks only") << QByteArray("CCAddress") << QVariantList{"  a@x.org ; b@y.org\t "}
                                                          << "a@x.org ; b@y.org\t" << QStringList{"Notice:CCAddress"};
        QTest::newRow("CCAddress blanks clear it") << QByteArray("CCAddress") << QVariantList{"a@x.org", "   "} << ""
                                                   << QStringList{"Notice:CCAddress", "Notice:CCAddress"};
        QTest::newRow("101 copies") << QByteArray("CCAddress") << QVariantList{numberedList(101)} << numberedList(101)
                                    << QStringList{"Notice:CCAddress", tooMany.arg("CCAddress")};
        QTest::newRow("AttachmentFile trimmed, blanks keep it") << QByteArray("AttachmentFile") << QVariantList{" /tmp/a;/tmp/b ", "  "}
                                                               << "/tmp/a;/tmp/b" << QStringList{"Notice:AttachmentFile"};
        QTest::newRow("AttachmentFile not a text")
            << QByteArray("AttachmentFile") << QVariantList{"/tmp/a.txt", QStringList{"x", "y"}} << "/tmp/a.txt"
            << QStringList{"Notice:AttachmentFile", "Error:AttachmentFile takes one text of file paths separated by \";\""};
        QTest::newRow("101 files") << QByteArray("AttachmentFile") << QVariantList{numberedList(101)} << numberedList(101)
                                   << QStringList{"Notice:AttachmentFile", tooMany.arg("AttachmentFile")};
        // A number out of range keeps the default.
        for (const auto& [name, value, top, kept] : {std::tuple("MailServerPort", 0, "65535", "25"), {"MailServerPort", 65536, "65535", "25"},
                                                     {"ReplyTimeout", 0, "86400 seconds", "300"}, {"TlsHandshakeTimeout", 0, "86400 seconds", "30"}})
            QTest::addRow("%s %d", name, value) << QByteArray(name) << QVariantList{value} << kept
                                                << QStringList{outOfRange.arg(name, top, QString::number(value))};
        QTest::newRow("Security unknown") << QByteArray("Security") << QVariantList{"tls", "ssl"} << "tls"
                                          << QStringList{"Notice:Security", "Error:Security must be none, starttls or tls, not \"ssl\""};
        QTest::newRow("Password never read back") << QByteArray("Password") << QVariantList{"secret"} << "" << QStringList{"Notice:Password"};
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
        const QString lineBreak = QStringLiteral("%1 contains a line break; the mail is not sent");
        const QString control = QStringLiteral("%1 contains the control character %2; the mail is not sent");
        QTest::newRow("blank sender") << QByteArray("MailFrom") << "   " << "Mail from can't be blank !!";
        QTest::newRow("MailFrom CR LF") << QByteArray("MailFrom") << "a@x.org>\r\nRCPT TO:<victim@y.org" << lineBreak.arg("MailFrom");
        QTest::newRow("MailTo LF") << QByteArray("MailTo") << "b@y.org\nDATA" << lineBreak.arg("MailTo");
        QTest::newRow("Subject CR") << QByteArray("Subject") << "hi\rBcc: victim@y.org" << lineBreak.arg("Subject");
        QTest::newRow("copy recipient") << QByteArray("CCAddress") << "c@z.org;d@z.org\r\nX: y" << lineBreak.arg("CCAddress");
        QTest::newRow("server name") << QByteArray("MailServerDomain") << "127.0.0.1\r\nMAIL FROM:<x>" << lineBreak.arg("MailServerDomain");
        // Inside the angle brackets of an address nothing may end the path.
        QTest::newRow("MailTo NUL") << QByteArray("MailTo") << QStringLiteral("b@y.org\0x") << control.arg("MailTo", "0x00");
        QTest::newRow("MailFrom tab") << QByteArray("MailFrom") << "a@x.org\tSIZE=1" << control.arg("MailFrom", "0x09");
        QTest::newRow("copy recipient DEL") << QByteArray("CCAddress") << "c@z.org;d\x7f@z.org" << control.arg("CCAddress", "0x7f");
        QTest::newRow("MailTo ESMTP parameter") << QByteArray("MailTo") << "c@d> NOTIFY=NEVER"
                                                << "MailTo contains \">\"; the mail is not sent";
        QTest::newRow("quote in a file name") << QByteArray("AttachmentFile") << "/tmp/a\"b.txt"
                                              << "The attachment file name \"a\"b.txt\" contains a line break or a double "
                                                 "quote; the mail is not sent";
        QTest::newRow("login without TLS") << QByteArray("UserName") << "joe"
                                           << "A login is never sent over an unencrypted connection: set Security to "
                                              "starttls or tls; the mail is not sent";
        QTest::newRow("NUL in the password") << QByteArray("Password") << QStringLiteral("a\0b")
                                             << "UserName or Password contains a NUL character; the mail is not sent";
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

    // Saved values load as they are, or not at all; the login and TLS settings are no part of them.
    void readProperties_loadsStraightOrNothing()
    {
        Smtp control;
        SmtpEventLog log(control);
        const QVariantMap bag{{"AttachmentFile", " /tmp/a "}, {"SendMail", true}, {"MailServerDomain", "  "},
                              {"MailTo", "to@x.org"}, {"CCAddress", " a;b "}, {"MailFrom", "from@x.org"},
                              {"Subject", "S"}, {"Message", "M"}};
        QVERIFY(control.ReadProperties(bag));
        for (auto it = bag.cbegin(); it != bag.cend(); ++it)
            QCOMPARE(control.property(it.key().toLatin1().constData()), it.value());
        QTest::qWait(50);
        QCOMPARE(log.events, QStringList()); // no checks, no notices, no send
        QVERIFY(!control.ReadProperties({{"Subject", "new"}, {"SendMail", "yes"}}));
        QVERIFY(!control.ReadProperties({{"MailTo", QVariantList{1, 2}}}));
        QCOMPARE(log.withPrefix(QStringLiteral("Error:")).size(), 2);
        control.setSecurity(QStringLiteral("tls"));
        control.setUserName(QStringLiteral("joe"));
        control.setPassword(QStringLiteral("secret"));
        control.setCaFile(QStringLiteral("/tmp/ca.pem"));
        QCOMPARE(control.WriteProperties(), bag);
    }

    void initProperties_showsAboutBoxBeforeBusyFalse()
    {
        Smtp control;
        control.setSubject(QStringLiteral("old"));
        SmtpEventLog log(control);
        QString title;
        QString version;
        QPoint offCentre(-1, -1);
        QStringList eventsWhileShown{"not shown"};
        QTimer::singleShot(100, this, [&] {
            QWidget* box = QApplication::activeModalWidget();
            QVERIFY(box);
            title = box->windowTitle();
            version = box->findChild<QLabel*>(QStringLiteral("Label3"))->text();
            offCentre = box->frameGeometry().center() - box->screen()->geometry().center();
            eventsWhileShown = log.events;
            box->findChild<QPushButton*>(QStringLiteral("Command1"))->click();
        });
        control.InitProperties();
        QCOMPARE(title, QStringLiteral("Smtp  ActiveX Control"));
        QCOMPARE(version, QStringLiteral("Version : 1.0.6"));
        QVERIFY2(qAbs(offCentre.x()) <= 1 && qAbs(offCentre.y()) <= 1, "the About box is not centred");
        QCOMPARE(eventsWhileShown, QStringList());
        QCOMPARE(log.events, QStringList{"BusyState(false)"});
        QCOMPARE(control.Subject(), QString());
    }
};

QTEST_MAIN(TestSmtpProperties)
#include "tst_smtp_properties.moc"
