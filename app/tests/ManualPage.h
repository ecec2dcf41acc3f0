// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QFile>
#include <QRegularExpression>
#include <QStringList>

// Reading the manual page in packaging/man, so that the console tests can hold the
// program's own lists of options and commands against what the page documents.
namespace ManualPage {

// The page's text, with roff's escaped hyphens made plain; empty when unreadable.
inline QString read(const QString& name)
{
    QFile file(qEnvironmentVariable("OFFERWATCH_SOURCE_DIR") + QStringLiteral("/packaging/man/") + name);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll()).replace(QStringLiteral("\\-"), QStringLiteral("-"));
}

// The tag lines of a section: the line after each .TP, and each .TQ's next line.
inline QStringList tags(const QString& page, const QString& section)
{
    const QStringList lines = page.split(QLatin1Char('\n'));
    QStringList result;
    bool inside = false;
    for (qsizetype i = 0; i + 1 < lines.size(); ++i) {
        if (lines[i].startsWith(QLatin1String(".SH ")))
            inside = lines[i].mid(4).remove(QLatin1Char('"')) == section;
        else if (inside && (lines[i] == QLatin1String(".TP") || lines[i] == QLatin1String(".TQ")))
            result << lines[i + 1];
    }
    return result;
}

// The command a tag line names: the bold words, without an argument in italics
// (".BI \"smtp server\" \" text\"" names "smtp server", ".B exclude on" "exclude on").
inline QString commandOf(const QString& tagLine)
{
    QString rest;
    if (tagLine.startsWith(QLatin1String(".B ")))
        rest = tagLine.mid(3).trimmed();
    else if (tagLine.startsWith(QLatin1String(".BI ")))
        rest = tagLine.mid(4).trimmed();
    else
        return {};
    if (rest.startsWith(QLatin1Char('"')))
        return rest.mid(1).section(QLatin1Char('"'), 0, 0);
    return tagLine.startsWith(QLatin1String(".BI ")) ? rest.section(QLatin1Char(' '), 0, 0) : rest;
}

} // namespace ManualPage
