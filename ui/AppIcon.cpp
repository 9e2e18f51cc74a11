// The application icon: a speech balloon with a "p", drawn at any size (16
// and 32 pixels in the window, larger for the installed icon theme). GUI
// thread (QPixmap needs the GUI application).
#include "ui/AppIcon.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

QPixmap DrawApplicationIcon(int size) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(size / 16.0, size / 16.0);

    QPainterPath balloon;
    balloon.addRoundedRect(QRectF(0.5, 0.5, 15, 11.5), 3, 3);
    QPainterPath tail;
    tail.moveTo(4, 11);
    tail.lineTo(3, 15.5);
    tail.lineTo(8, 11);
    tail.closeSubpath();
    painter.setPen(QPen(QColor(0x1f, 0x4e, 0x8c), 1));
    painter.setBrush(QColor(0x4a, 0x8a, 0xd8));
    painter.drawPath(balloon.united(tail));

    QFont font;
    font.setBold(true);
    font.setPixelSize(11);
    painter.setFont(font);
    painter.setPen(Qt::white);
    painter.drawText(QRectF(0.5, -0.5, 15, 11.5), Qt::AlignCenter, QStringLiteral("p"));
    return pixmap;
}

QIcon MakeApplicationIcon() {
    QIcon icon;
    icon.addPixmap(DrawApplicationIcon(16));
    icon.addPixmap(DrawApplicationIcon(32));
    return icon;
}
