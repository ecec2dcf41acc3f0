#include "platform/UserPrompt.h"

#include <cstdio>

void ConsolePrompt::critical(const QString& title, const QString& text)
{
    const QByteArray line = QStringLiteral("offerwatch: %1: %2\n").arg(title, text).toLocal8Bit();
    std::fputs(line.constData(), stderr);
    std::fflush(stderr);
}
