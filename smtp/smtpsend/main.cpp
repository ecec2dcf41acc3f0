// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: LGPL-2.1-or-later
// smtpsend: sends standard input as a mail through the smtp control.
#include "SendJob.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QStringDecoder>
#include <QRegularExpression>

#include <cstdio>
#include <optional>

namespace {
// "host", "host:port", "[v6]" or "[v6]:port"; the port is 0 when not given.
std::optional<std::pair<QString, int>> parseServer(const QString& text)
{
    static const QRegularExpression pattern(QStringLiteral(R"(^(?:\[([^\]]+)\]|([^:\[\]]+))(?::(\d{1,5}))?$)"));
    const QRegularExpressionMatch match = pattern.match(text);
    if (!match.hasMatch())
        return std::nullopt;
    const QString host = match.captured(1).isEmpty() ? match.captured(2) : match.captured(1);
    int port = 0;
    if (match.hasCaptured(3)) {
        port = match.captured(3).toInt();
        if (port < 1 || port > 65535)
            return std::nullopt;
    }
    return std::make_pair(host, port);
}

// Addresses travel as one byte per character; taking the bytes as Latin-1 passes
// them through unchanged whatever their encoding.
QString asBytes(const QString& argument)
{
    return QString::fromLatin1(argument.toLocal8Bit());
}

// The first line of the file, without its line end; a password never comes from the command line itself.
std::optional<QString> readPasswordFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    QByteArray line = file.readLine(64 * 1024);
    while (line.endsWith('\n') || line.endsWith('\r'))
        line.chop(1);
    return QString::fromUtf8(line);
}

int usage(const QString& message)
{
    std::fprintf(stderr, "smtpsend: %s (see --help)\n", qPrintable(message));
    return 2;
}
} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("smtpsend"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Sends the text on standard input as a mail through the smtp control.\n"
        "Exit status 0 only when the server accepted every copy, 1 when sending failed,\n"
        "2 for a bad command line. See smtpsend(1)."));
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("Show this help."));
    const QCommandLineOption server(QStringLiteral("server"), QStringLiteral("SMTP server, host[:port]."),
                                    QStringLiteral("host[:port]"));
    const QCommandLineOption from(QStringLiteral("from"), QStringLiteral("Sender address."), QStringLiteral("A"));
    const QCommandLineOption to(QStringLiteral("to"), QStringLiteral("Recipient address."), QStringLiteral("B"));
    const QCommandLineOption cc(QStringLiteral("cc"), QStringLiteral("Copy recipients, separated by \";\"."),
                                QStringLiteral("LIST"));
    const QCommandLineOption subject(QStringLiteral("subject"), QStringLiteral("Subject line."),
                                     QStringLiteral("S"));
    const QCommandLineOption attach(QStringLiteral("attach"), QStringLiteral("File to attach; may be repeated."),
                                    QStringLiteral("PATH"));
    const QCommandLineOption timeout(QStringLiteral("timeout"),
                                     QStringLiteral("Seconds to wait for each server reply (default 300)."),
                                     QStringLiteral("S"));
    const QCommandLineOption tls(QStringLiteral("tls"),
                                 QStringLiteral("none (default), starttls, or tls for implicit TLS (default port "
                                                "465). Certificates are always verified."),
                                 QStringLiteral("MODE"), QStringLiteral("none"));
    const QCommandLineOption user(QStringLiteral("user"),
                                  QStringLiteral("Log in with this name (AUTH PLAIN or LOGIN; needs --tls)."),
                                  QStringLiteral("NAME"));
    const QCommandLineOption passwordEnv(QStringLiteral("password-env"),
                                         QStringLiteral("Take the login password from environment variable VAR."),
                                         QStringLiteral("VAR"));
    const QCommandLineOption passwordFile(QStringLiteral("password-file"),
                                          QStringLiteral("Take the login password from the first line of FILE."),
                                          QStringLiteral("FILE"));
    const QCommandLineOption cafile(QStringLiteral("cafile"),
                                    QStringLiteral("Also trust the CA certificates in this PEM file."),
                                    QStringLiteral("FILE"));
    const QCommandLineOption version(QStringLiteral("version"), QStringLiteral("Show the version and exit."));
    const QCommandLineOption verbose(QStringLiteral("verbose"), QStringLiteral("Print the SMTP dialogue."));
    const QCommandLineOption timing(QStringLiteral("timing"),
                                    QStringLiteral("Print when each copy was accepted, from the start."));
    parser.addOptions({server, from, to, cc, subject, attach, timeout, tls, user, passwordEnv, passwordFile, cafile,
                       verbose, timing, version, help});
    if (!parser.parse(QCoreApplication::arguments()))
        return usage(parser.errorText());
    if (parser.isSet(help)) {
        // The parser would name the program by the path it was started with.
        const QString text = QStringLiteral("Usage: smtpsend [options] < message\n")
            + parser.helpText().section(QLatin1Char('\n'), 1);
        std::fputs(text.toLocal8Bit().constData(), stdout);
        return 0;
    }
    if (parser.isSet(version)) {
        std::puts("smtpsend " SMTPSEND_VERSION " (smtp library " SMTP_LIBRARY_VERSION ")");
        return 0;
    }

    if (!parser.positionalArguments().isEmpty())
        return usage(QStringLiteral("unexpected argument \"%1\"").arg(parser.positionalArguments().first()));
    for (const QCommandLineOption* required : {&server, &from, &to}) {
        if (parser.value(*required).trimmed().isEmpty())
            return usage(QStringLiteral("--%1 is required").arg(required->names().first()));
    }
    SendJob::Mail mail;
    const auto hostPort = parseServer(parser.value(server));
    if (!hostPort)
        return usage(QStringLiteral("--server must be host or host:port with a port from 1 to 65535"));
    mail.security = parser.value(tls);
    if (!QStringList{"none", "starttls", "tls"}.contains(mail.security))
        return usage(QStringLiteral("--tls must be none, starttls or tls"));
    mail.host = hostPort->first;
    mail.port = hostPort->second;
    if (mail.port == 0)
        mail.port = mail.security == QLatin1String("tls") ? 465 : Smtp::DefaultPort;
    mail.userName = parser.value(user);
    mail.caFile = parser.value(cafile);
    if (parser.isSet(passwordEnv) && parser.isSet(passwordFile))
        return usage(QStringLiteral("give --password-env or --password-file, not both"));
    if (parser.isSet(passwordEnv)) {
        const QByteArray name = parser.value(passwordEnv).toLocal8Bit();
        if (!qEnvironmentVariableIsSet(name.constData()))
            return usage(QStringLiteral("environment variable %1 is not set").arg(parser.value(passwordEnv)));
        mail.password = qEnvironmentVariable(name.constData());
    } else if (parser.isSet(passwordFile)) {
        const std::optional<QString> password = readPasswordFile(parser.value(passwordFile));
        if (!password)
            return usage(QStringLiteral("cannot read the password file %1").arg(parser.value(passwordFile)));
        mail.password = *password;
    }
    if (!mail.userName.isEmpty() && !parser.isSet(passwordEnv) && !parser.isSet(passwordFile))
        return usage(QStringLiteral("--user needs --password-env or --password-file"));
    mail.from = asBytes(parser.value(from));
    mail.to = asBytes(parser.value(to));
    mail.cc = asBytes(parser.value(cc));
    mail.subject = parser.value(subject);
    for (const QString& path : parser.values(attach)) {
        if (path.contains(QLatin1Char(';')))
            return usage(QStringLiteral("attachment path \"%1\" contains \";\", which separates paths").arg(path));
        mail.attachments.append(path);
    }
    if (parser.isSet(timeout)) {
        bool ok = false;
        mail.replyTimeoutSeconds = parser.value(timeout).toInt(&ok);
        if (!ok || mail.replyTimeoutSeconds < 1)
            return usage(QStringLiteral("--timeout must be a whole number of seconds, at least 1"));
    }
    QFile input;
    if (!input.open(stdin, QIODevice::ReadOnly))
        return usage(QStringLiteral("cannot read standard input"));
    // The text goes out as UTF-8; other bytes would arrive as replacement characters.
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    mail.message = utf8.decode(input.readAll());
    if (utf8.hasError())
        return usage(QStringLiteral("standard input is not UTF-8 text; nothing was sent"));

    SendJob job(mail, parser.isSet(verbose), parser.isSet(timing));
    QObject::connect(&job, &SendJob::finished, &app, &QCoreApplication::exit);
    job.start();
    return app.exec();
}
