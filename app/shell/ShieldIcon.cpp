#include "app/shell/ShieldIcon.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace vantrel {
namespace {

// A shield in a 24 × 24 box: flat top with rounded shoulders, sides curving to a point.
QPainterPath shield() {
    QPainterPath path;
    path.moveTo(12, 2.5);
    path.cubicTo(14.8, 4.2, 17.6, 5.0, 20.5, 5.0);
    path.lineTo(20.5, 11.0);
    path.cubicTo(20.5, 16.0, 17.0, 19.6, 12, 21.5);
    path.cubicTo(7.0, 19.6, 3.5, 16.0, 3.5, 11.0);
    path.lineTo(3.5, 5.0);
    path.cubicTo(6.4, 5.0, 9.2, 4.2, 12, 2.5);
    path.closeSubpath();
    return path;
}

QPixmap draw(int size, bool alert, const QColor& ink) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(size / 24.0, size / 24.0);
    if (alert) {
        const QColor orange(0xE8, 0x59, 0x0C);
        painter.fillPath(shield(), orange);
        painter.setPen(QPen(Qt::white, 2.4, Qt::SolidLine, Qt::RoundCap));
        painter.drawLine(QPointF(12, 7.5), QPointF(12, 12.8));
        painter.setPen(Qt::NoPen);
        painter.setBrush(Qt::white);
        painter.drawEllipse(QPointF(12, 16.4), 1.4, 1.4);
    } else {
        painter.setPen(QPen(ink, 1.8, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        painter.drawPath(shield());
        QPainterPath check;
        check.moveTo(8.3, 11.8);
        check.lineTo(11.0, 14.5);
        check.lineTo(15.9, 9.0);
        painter.drawPath(check);
    }
    return pixmap;
}

} // namespace

QIcon shieldIcon(bool alert, const QColor& ink) {
    QIcon icon;
    for (const int size : {16, 22, 24, 32, 48, 64}) {
        icon.addPixmap(draw(size, alert, ink));
    }
    return icon;
}

} // namespace vantrel
