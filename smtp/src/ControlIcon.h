// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: LGPL-2.1-or-later
#pragma once

#include <QPixmap>

// The control's picture: an envelope, drawn so that no image file has to ship.
QPixmap controlIcon(int size);
