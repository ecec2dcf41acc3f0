#pragma once

#include <QPixmap>

// The control's picture: an envelope, drawn so that no image file has to ship.
QPixmap controlIcon(int size);
