#include "platform/UserPrompt.h"

#include <cstdio>

void ConsolePrompt::critical(const QString& title, const QString& text)
{
    // A quoted server reply ends in its own line break; the console line has one already.
    QString body = text;
    while (body.endsWith(QLatin1Char('\n')) || body.endsWith(QLatin1Char('\r')))
        body.chop(1);
    const QByteArray line = QStringLiteral("offerwatch: %1: %2\n").arg(title, body).toLocal8Bit();
    std::fputs(line.constData(), stderr);
    std::fflush(stderr);
}
