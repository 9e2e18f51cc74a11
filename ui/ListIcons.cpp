// ListIcons: 16 x 16 pictures painted with QPainter on a transparent pixmap;
// the views paint theirs once and keep them. GUI thread.
#include "ui/ListIcons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QPolygonF>

namespace {

constexpr int kSize = 16;

QPixmap Blank() {
    QPixmap pixmap(kSize, kSize);
    pixmap.fill(Qt::transparent);
    return pixmap;
}

void DrawSheet(QPainter& painter) {
    // A page with a folded corner and a few lines of writing.
    QPolygonF page;
    page << QPointF(3.5, 1.5) << QPointF(10.5, 1.5) << QPointF(13.5, 4.5) << QPointF(13.5, 14.5)
         << QPointF(3.5, 14.5);
    painter.setPen(QPen(QColor(80, 80, 80), 1));
    painter.setBrush(Qt::white);
    painter.drawPolygon(page);
    painter.drawLine(QPointF(10.5, 1.5), QPointF(10.5, 4.5));
    painter.drawLine(QPointF(10.5, 4.5), QPointF(13.5, 4.5));
    painter.setPen(QPen(QColor(120, 140, 200), 1));
    for (int y = 6; y <= 12; y += 2)
        painter.drawLine(QPointF(5.5, y + 0.5), QPointF(11.5, y + 0.5));
}

void DrawLightning(QPainter& painter, qreal scale, QPointF offset) {
    QPolygonF bolt;
    const QPointF points[] = {{9, 0}, {3, 9}, {7, 9}, {5, 16}, {13, 6}, {9, 6}, {11, 0}};
    for (const QPointF& point : points)
        bolt << offset + point * scale;
    painter.setPen(QPen(QColor(160, 110, 0), 1));
    painter.setBrush(QColor(255, 215, 0));
    painter.drawPolygon(bolt);
}

QPixmap Sheet(bool withBolt) {
    QPixmap pixmap = Blank();
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    DrawSheet(painter);
    if (withBolt)
        DrawLightning(painter, 0.6, QPointF(7, 6));
    return pixmap;
}

QPixmap Bolt() {
    QPixmap pixmap = Blank();
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    DrawLightning(painter, 1.0, QPointF(0, 0));
    return pixmap;
}

QPixmap FolderPixmap(bool open) {
    QPixmap pixmap = Blank();
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    const QColor edge(150, 110, 20);
    painter.setPen(QPen(edge, 1));
    // The back with its tab.
    QPolygonF back;
    back << QPointF(1.5, 3.5) << QPointF(6.5, 3.5) << QPointF(7.5, 5.5) << QPointF(14.5, 5.5)
         << QPointF(14.5, 13.5) << QPointF(1.5, 13.5);
    painter.setBrush(QColor(230, 180, 60));
    painter.drawPolygon(back);
    QPolygonF front;
    if (open)
        front << QPointF(3.5, 7.5) << QPointF(15.5, 7.5) << QPointF(13.5, 13.5)
              << QPointF(1.5, 13.5);
    else
        front << QPointF(1.5, 6.5) << QPointF(14.5, 6.5) << QPointF(14.5, 13.5)
              << QPointF(1.5, 13.5);
    painter.setBrush(QColor(250, 215, 100));
    painter.drawPolygon(front);
    return pixmap;
}

} // namespace

namespace listicons {

QIcon ThreadIconAt(int index) {
    switch (index) {
    case kSheetLightning:
        return QIcon(Sheet(true));
    case kLightning:
        return QIcon(Bolt());
    default:
        return QIcon(Sheet(false));
    }
}

QIcon Folder() {
    QIcon folder;
    folder.addPixmap(FolderPixmap(false), QIcon::Normal);
    folder.addPixmap(FolderPixmap(true), QIcon::Selected);
    return folder;
}

} // namespace listicons
