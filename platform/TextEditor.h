// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// Opens a text file in the desktop's viewer and returns at once. The path goes to the
// viewer as one argument, blanks and all. Whatever goes wrong (no viewer, no file)
// is the viewer's to report or nobody's: callers go on regardless.
void LaunchTextEditor(const QString& path);
