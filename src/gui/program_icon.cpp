#include "gui/program_icon.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

namespace ks::gui {

// Drawn on a 64-unit square, as the SVG file is.
QPixmap ProgramPixmap(int size) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(size / 64.0, size / 64.0);

    QLinearGradient body(0, 4, 0, 60);
    body.setColorAt(0, QColor(0x2d6cc0));
    body.setColorAt(1, QColor(0x163a6b));
    painter.setPen(Qt::NoPen);
    painter.setBrush(body);
    painter.drawRoundedRect(QRectF(4, 4, 56, 56), 12, 12);

    painter.setBrush(Qt::white);
    painter.drawPolygon(QPolygonF({QPointF(15, 20), QPointF(15, 44), QPointF(34, 32)}));

    QPen wave(Qt::white, 4, Qt::SolidLine, Qt::RoundCap);
    painter.setPen(wave);
    painter.setBrush(Qt::NoBrush);
    // Arcs of 90 degrees around the play sign's tip, angles in 1/16 degree.
    painter.drawArc(QRectF(22, 22, 20, 20), -45 * 16, 90 * 16);
    painter.drawArc(QRectF(15, 15, 34, 34), -45 * 16, 90 * 16);

    painter.setPen(QPen(Qt::white, 2));
    painter.setBrush(QColor(0xf29d1e));
    painter.drawEllipse(QPointF(49, 49), 7, 7);
    return pixmap;
}

QIcon ProgramIcon() {
    QIcon icon;
    for (const int size : {16, 24, 32, 48, 64, 128}) {
        icon.addPixmap(ProgramPixmap(size));
    }
    return icon;
}

}  // namespace ks::gui
