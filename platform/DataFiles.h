// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>

// Where the program finds its own data files, the help file and the alarm sound, by
// one rule: the current directory first (where the user keeps the log of this run and
// may keep a copy of their own), then the installed data folder, then the program's
// own folder (how a build tree finds them).
namespace DataFiles {

// The folders in the order they are searched, the first being firstFolder.
QStringList searchFolders(const QString& firstFolder);

// The first readable file called bareName in folders, or an empty text.
QString locateIn(const QString& bareName, const QStringList& folders);

// The file to open for bareName, looked for from firstFolder on; when there is none,
// the path in firstFolder, so that whoever opens it says which file is missing.
QString pathFor(const QString& bareName, const QString& firstFolder);

} // namespace DataFiles
