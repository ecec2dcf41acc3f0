#include "platform/TextEditor.h"

#include <QProcess>

void LaunchTextEditor(const QString& path)
{
    QProcess::startDetached(QStringLiteral("xdg-open"), {path});
}
