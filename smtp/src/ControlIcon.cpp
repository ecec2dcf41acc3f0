// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: LGPL-2.1-or-later
#include "ControlIcon.h"

#include <QPainter>
#include <QPainterPath>

QPixmap controlIcon(int size)
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal margin = size / 8.0;
    const QRectF body(margin, size / 4.0, size - 2 * margin, size / 2.0);
    painter.setPen(QPen(QColor(40, 40, 120), qMax(1.0, size / 18.0)));
    painter.setBrush(QColor(250, 240, 200));
    painter.drawRect(body);
    QPainterPath flap;
    flap.moveTo(body.topLeft());
    flap.lineTo(body.center().x(), body.center().y() + body.height() / 8.0);
    flap.lineTo(body.topRight());
    painter.drawPath(flap);
    return pixmap;
}
