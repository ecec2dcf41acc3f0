// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/DataFiles.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace DataFiles {

QStringList searchFolders(const QString& firstFolder)
{
    QStringList folders{firstFolder, QStringLiteral(OFFERWATCH_DATADIR)};
    if (QCoreApplication::instance())
        folders.append(QCoreApplication::applicationDirPath());
    return folders;
}

QString locateIn(const QString& bareName, const QStringList& folders)
{
    for (const QString& folder : folders) {
        const QFileInfo candidate(QDir(folder).filePath(bareName));
        if (candidate.isFile() && candidate.isReadable())
            return candidate.absoluteFilePath();
    }
    return {};
}

QString pathFor(const QString& bareName, const QString& firstFolder)
{
    const QString found = locateIn(bareName, searchFolders(firstFolder));
    return found.isEmpty() ? QDir(firstFolder).filePath(bareName) : found;
}

} // namespace DataFiles
