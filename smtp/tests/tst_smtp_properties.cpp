#include "AboutForm.h"
#include "ListSplitter.h"
#include "SmtpEventLog.h"
#include "smtp/Smtp.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTimer>

class TestSmtpProperties final : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void splitList_keepsEntriesAsGivenInOrder_data();
    void splitList_keepsEntriesAsGivenInOrder();
    void splitList_moreThanLimit_keepsFirstEntriesAndFlagsOverflow();
    void addressSetters_blankValueIsReportedAndStored_data();
    void addressSetters_blankValueIsReportedAndStored();
    void textSetters_storeUnchangedWithNotice();
    void ccAddress_isTrimmedOfBlanksOnly();
    void sendMail_blankSender_isRefusedAndFlagReset();
    void sendMail_lineBreakInHeaderValue_isRefusedBeforeConnecting_data();
    void sendMail_lineBreakInHeaderValue_isRefusedBeforeConnecting();
    void attachmentFile_blankAfterPaths_keepsOldTextWithoutNotice();
    void attachmentFile_nonText_isRefused();
    void lists_over100Entries_reportErrorAndKeepText_data();
    void lists_over100Entries_reportErrorAndKeepText();
    void portAndTimeout_outOfRange_areRefused();
    void writeProperties_givesTheEightValues();
    void readProperties_loadsStraightWithoutNoticesOrSend();
    void readProperties_wrongType_loadsNothing();
    void initProperties_showsAboutBoxBeforeBusyFalse();
    void face_isFixed36By36();
};

void TestSmtpProperties::splitList_keepsEntriesAsGivenInOrder_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("sender");
    QTest::addColumn<QStringList>("expected");
    const QStringList three{QStringLiteral("a@x.org"), QStringLiteral("b@y.org"), QStringLiteral("c@z.org")};
    QTest::newRow("three") << "a@x.org;b@y.org;c@z.org" << "" << three;
    QTest::newRow("trailing separator") << "a@x.org;b@y.org;c@z.org;" << "" << three;
    QTest::newRow("blanks stay next to separators")
        << "a@x.org ; b@y.org" << "" << QStringList{QStringLiteral("a@x.org "), QStringLiteral(" b@y.org")};
    QTest::newRow("sender dropped, rest unchanged") << "a@x.org;me@x.org;c@z.org" << "me@x.org"
                                                    << QStringList{QStringLiteral("a@x.org"), QStringLiteral("c@z.org")};
    QTest::newRow("sender comparison is exact") << "Me@x.org" << "me@x.org" << QStringList{QStringLiteral("Me@x.org")};
    QTest::newRow("only the sender") << "me@x.org" << "me@x.org" << QStringList{};
    QTest::newRow("empty entries dropped") << ";a@x.org;;b@y.org" << ""
                                           << QStringList{QStringLiteral("a@x.org"), QStringLiteral("b@y.org")};
}

void TestSmtpProperties::splitList_keepsEntriesAsGivenInOrder()
{
    QFETCH(QString, text);
    QFETCH(QString, sender);
    QFETCH(QStringList, expected);
    const SplitResult result = splitList(text, Smtp::MaxListEntries, sender);
    QCOMPARE(result.entries, expected);
    QVERIFY(!result.overflow);
}

void TestSmtpProperties::splitList_moreThanLimit_keepsFirstEntriesAndFlagsOverflow()
{
    QStringList entries;
    for (int i = 0; i < 101; ++i)
        entries.append(QStringLiteral("file%1").arg(i));
    const SplitResult exact = splitList(entries.mid(0, 100).join(QLatin1Char(';')), 100);
    QCOMPARE(exact.entries.size(), 100);
    QVERIFY(!exact.overflow);
    const SplitResult over = splitList(entries.join(QLatin1Char(';')), 100);
    QVERIFY(over.overflow);
    QCOMPARE(over.entries, entries.mid(0, 100));
}

void TestSmtpProperties::addressSetters_blankValueIsReportedAndStored_data()
{
    QTest::addColumn<QByteArray>("property");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("expectedError");
    for (const char* name : {"MailServerDomain", "MailTo", "MailFrom"}) {
        const QString error = QStringLiteral("Please fill %1 property").arg(QLatin1String(name));
        QTest::addRow("%s empty", name) << QByteArray(name) << QString() << error;
        QTest::addRow("%s blanks", name) << QByteArray(name) << QStringLiteral("   ") << error;
        QTest::addRow("%s filled", name) << QByteArray(name) << QStringLiteral(" a@b.org ") << QString();
    }
}

void TestSmtpProperties::addressSetters_blankValueIsReportedAndStored()
{
    QFETCH(QByteArray, property);
    QFETCH(QString, value);
    QFETCH(QString, expectedError);
    Smtp control;
    SmtpEventLog log(control);
    QVERIFY(control.setProperty(property.constData(), value));
    QCOMPARE(control.property(property.constData()).toString(), value);
    if (expectedError.isEmpty())
        QCOMPARE(log.events, QStringList{QStringLiteral("Notice:") + QString::fromLatin1(property)});
    else
        QCOMPARE(log.events, QStringList{QStringLiteral("Error:") + expectedError});
}

void TestSmtpProperties::textSetters_storeUnchangedWithNotice()
{
    Smtp control;
    SmtpEventLog log(control);
    control.setSubject(QStringLiteral("  IPO: x "));
    control.setMessage(QString());
    QCOMPARE(control.Subject(), QStringLiteral("  IPO: x "));
    QCOMPARE(log.events, (QStringList{QStringLiteral("Notice:Subject"), QStringLiteral("Notice:Message")}));
}

void TestSmtpProperties::ccAddress_isTrimmedOfBlanksOnly()
{
    Smtp control;
    SmtpEventLog log(control);
    control.setCCAddress(QStringLiteral("  a@x.org ; b@y.org\t "));
    QCOMPARE(control.CCAddress(), QStringLiteral("a@x.org ; b@y.org\t"));
    control.setCCAddress(QStringLiteral("   "));
    QCOMPARE(control.CCAddress(), QString());
    QCOMPARE(log.events, (QStringList{QStringLiteral("Notice:CCAddress"), QStringLiteral("Notice:CCAddress")}));
}

void TestSmtpProperties::sendMail_blankSender_isRefusedAndFlagReset()
{
    Smtp control;
    control.setMailFrom(QStringLiteral("   "));
    SmtpEventLog log(control);
    control.setSendMail(true);
    QCOMPARE(control.SendMail(), false);
    QCOMPARE(log.events, (QStringList{QStringLiteral("Notice:SendMail"), QStringLiteral("Error:Mail from can't be blank !!"),
                                      QStringLiteral("Notice:SendMail")}));
}

void TestSmtpProperties::sendMail_lineBreakInHeaderValue_isRefusedBeforeConnecting_data()
{
    QTest::addColumn<QByteArray>("property");
    QTest::addColumn<QString>("value");
    QTest::newRow("MailFrom CRLF") << QByteArray("MailFrom") << QStringLiteral("a@x.org>\r\nRCPT TO:<victim@y.org");
    QTest::newRow("MailTo LF") << QByteArray("MailTo") << QStringLiteral("b@y.org\nDATA");
    QTest::newRow("Subject CR") << QByteArray("Subject") << QStringLiteral("hi\rBcc: victim@y.org");
    QTest::newRow("copy recipient") << QByteArray("CCAddress") << QStringLiteral("c@z.org;d@z.org\r\nX: y");
    QTest::newRow("server name") << QByteArray("MailServerDomain") << QStringLiteral("127.0.0.1\r\nMAIL FROM:<x>");
}

void TestSmtpProperties::sendMail_lineBreakInHeaderValue_isRefusedBeforeConnecting()
{
    QFETCH(QByteArray, property);
    QFETCH(QString, value);
    Smtp control;
    control.setMailServerDomain(QStringLiteral("127.0.0.1"));
    control.setMailFrom(QStringLiteral("a@x.org"));
    control.setMailTo(QStringLiteral("b@y.org"));
    control.setProperty(property.constData(), value);
    SmtpEventLog log(control);
    control.setSendMail(true);
    QCOMPARE(control.SendMail(), false);
    QCOMPARE(log.mainEvents().size(), 1);
    QVERIFY2(log.mainEvents().first().contains(QString::fromLatin1(property)), qPrintable(log.mainEvents().first()));
    QVERIFY(log.withPrefix(QStringLiteral("Status:")).isEmpty());
}

void TestSmtpProperties::attachmentFile_blankAfterPaths_keepsOldTextWithoutNotice()
{
    Smtp control;
    SmtpEventLog log(control);
    control.setAttachmentFile(QStringLiteral("  /tmp/a.txt;/tmp/b.txt "));
    QCOMPARE(control.AttachmentFile(), QVariant(QStringLiteral("/tmp/a.txt;/tmp/b.txt")));
    QCOMPARE(control.AttachmentFile().typeId(), QMetaType::QString);
    control.setAttachmentFile(QStringLiteral("  "));
    QCOMPARE(control.AttachmentFile().toString(), QStringLiteral("/tmp/a.txt;/tmp/b.txt"));
    QCOMPARE(log.events, QStringList{QStringLiteral("Notice:AttachmentFile")});
}

void TestSmtpProperties::attachmentFile_nonText_isRefused()
{
    Smtp control;
    control.setAttachmentFile(QStringLiteral("/tmp/a.txt"));
    SmtpEventLog log(control);
    QVERIFY(control.setProperty("AttachmentFile", QVariant(QStringList{QStringLiteral("x"), QStringLiteral("y")})));
    QCOMPARE(log.mainEvents().size(), 1);
    QVERIFY(log.mainEvents().first().startsWith(QLatin1String("Error:AttachmentFile")));
    QCOMPARE(control.AttachmentFile().toString(), QStringLiteral("/tmp/a.txt"));
}

void TestSmtpProperties::lists_over100Entries_reportErrorAndKeepText_data()
{
    QTest::addColumn<QByteArray>("property");
    QTest::addColumn<int>("entries");
    QTest::addColumn<bool>("refused");
    QTest::newRow("100 copies") << QByteArray("CCAddress") << 100 << false;
    QTest::newRow("101 copies") << QByteArray("CCAddress") << 101 << true;
    QTest::newRow("100 files") << QByteArray("AttachmentFile") << 100 << false;
    QTest::newRow("101 files") << QByteArray("AttachmentFile") << 101 << true;
}

void TestSmtpProperties::lists_over100Entries_reportErrorAndKeepText()
{
    QFETCH(QByteArray, property);
    QFETCH(int, entries);
    QFETCH(bool, refused);
    QStringList list;
    for (int i = 0; i < entries; ++i)
        list.append(QStringLiteral("entry%1").arg(i));
    const QString text = list.join(QLatin1Char(';'));
    Smtp control;
    SmtpEventLog log(control);
    control.setProperty(property.constData(), text);
    QCOMPARE(control.property(property.constData()).toString(), text);
    QStringList expected{QStringLiteral("Notice:") + QString::fromLatin1(property)};
    if (refused)
        expected.append(QStringLiteral("Error:%1 lists more than 100 entries; only the first 100 are kept")
                            .arg(QString::fromLatin1(property)));
    QCOMPARE(log.events, expected);
}

void TestSmtpProperties::portAndTimeout_outOfRange_areRefused()
{
    Smtp control;
    QCOMPARE(control.MailServerPort(), 25);
    QCOMPARE(control.ReplyTimeout(), 300);
    SmtpEventLog log(control);
    for (int port : {0, 65536, -25})
        control.setMailServerPort(port);
    control.setReplyTimeout(0);
    QCOMPARE(control.MailServerPort(), 25);
    QCOMPARE(control.ReplyTimeout(), 300);
    QCOMPARE(log.withPrefix(QStringLiteral("Error:")).size(), 4);
    control.setMailServerPort(2525);
    control.setReplyTimeout(5);
    QCOMPARE(control.MailServerPort(), 2525);
    QCOMPARE(control.ReplyTimeout(), 5);
}

void TestSmtpProperties::writeProperties_givesTheEightValues()
{
    Smtp control;
    control.setAttachmentFile(QStringLiteral(" /tmp/a "));
    control.setMailServerDomain(QStringLiteral("mail.example.org"));
    control.setMailTo(QStringLiteral("to@example.org"));
    control.setCCAddress(QStringLiteral("cc@example.org"));
    control.setMailFrom(QStringLiteral("from@example.org"));
    control.setSubject(QStringLiteral("S"));
    control.setMessage(QStringLiteral("M"));
    const QVariantMap expected{{QStringLiteral("AttachmentFile"), QStringLiteral("/tmp/a")},
                               {QStringLiteral("SendMail"), false},
                               {QStringLiteral("MailServerDomain"), QStringLiteral("mail.example.org")},
                               {QStringLiteral("MailTo"), QStringLiteral("to@example.org")},
                               {QStringLiteral("CCAddress"), QStringLiteral("cc@example.org")},
                               {QStringLiteral("MailFrom"), QStringLiteral("from@example.org")},
                               {QStringLiteral("Subject"), QStringLiteral("S")},
                               {QStringLiteral("Message"), QStringLiteral("M")}};
    QCOMPARE(control.WriteProperties(), expected);
}

void TestSmtpProperties::readProperties_loadsStraightWithoutNoticesOrSend()
{
    Smtp control;
    SmtpEventLog log(control);
    const QVariantMap bag{{QStringLiteral("SendMail"), true},
                          {QStringLiteral("MailServerDomain"), QStringLiteral("  ")},
                          {QStringLiteral("MailFrom"), QStringLiteral("from@example.org")},
                          {QStringLiteral("CCAddress"), QStringLiteral(" a;b ")}};
    QVERIFY(control.ReadProperties(bag));
    QCOMPARE(control.SendMail(), true);
    QCOMPARE(control.MailServerDomain(), QStringLiteral("  "));
    QCOMPARE(control.CCAddress(), QStringLiteral(" a;b "));
    QCOMPARE(control.MailTo(), QString());
    QCOMPARE(control.AttachmentFile().toString(), QString());
    QTest::qWait(50);
    QCOMPARE(log.events, QStringList());
    QCOMPARE(control.WriteProperties().value(QStringLiteral("SendMail")), QVariant(true));
}

void TestSmtpProperties::readProperties_wrongType_loadsNothing()
{
    Smtp control;
    control.setSubject(QStringLiteral("kept"));
    SmtpEventLog log(control);
    QVERIFY(!control.ReadProperties({{QStringLiteral("Subject"), QStringLiteral("new")},
                                     {QStringLiteral("SendMail"), QStringLiteral("yes")}}));
    QVERIFY(!control.ReadProperties({{QStringLiteral("MailTo"), QVariantList{1, 2}}}));
    QCOMPARE(control.Subject(), QStringLiteral("kept"));
    QCOMPARE(log.withPrefix(QStringLiteral("Error:")).size(), 2);
}

void TestSmtpProperties::initProperties_showsAboutBoxBeforeBusyFalse()
{
    Smtp control;
    control.setSubject(QStringLiteral("old"));
    SmtpEventLog log(control);
    QString title;
    QString version;
    QPoint offCentre(-1, -1);
    QStringList eventsWhileShown;
    QTimer::singleShot(100, this, [&] {
        QWidget* box = QApplication::activeModalWidget();
        QVERIFY(box);
        title = box->windowTitle();
        version = box->findChild<QLabel*>(QStringLiteral("Label3"))->text();
        const QRect screen = box->screen()->geometry();
        offCentre = box->frameGeometry().center() - screen.center();
        eventsWhileShown = log.events;
        box->findChild<QPushButton*>(QStringLiteral("Command1"))->click();
    });
    control.InitProperties();
    QCOMPARE(title, QStringLiteral("Smtp  ActiveX Control"));
    QCOMPARE(version, QStringLiteral("Version : 1.0.6"));
    QVERIFY2(qAbs(offCentre.x()) <= 1 && qAbs(offCentre.y()) <= 1, "the About box is not centred");
    QCOMPARE(eventsWhileShown, QStringList());
    QCOMPARE(log.events, QStringList{QStringLiteral("BusyState(false)")});
    QCOMPARE(control.Subject(), QString());
}

void TestSmtpProperties::face_isFixed36By36()
{
    Smtp control;
    QWidget host;
    QWidget* face = control.createFace(&host);
    QVERIFY(face);
    QCOMPARE(face->parentWidget(), &host);
    face->resize(200, 100);
    QCOMPARE(face->size(), QSize(36, 36));
    QVERIFY(face->findChild<QLabel*>(QStringLiteral("Picture1")));
}

QTEST_MAIN(TestSmtpProperties)
#include "tst_smtp_properties.moc"
