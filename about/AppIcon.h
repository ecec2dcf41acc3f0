// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QIcon>

// The program's icon in every size the icon theme has, for the windows. Taken from
// the program itself rather than the theme, so that it shows from the build tree too.
QIcon appIcon();
