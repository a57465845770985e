// The trust score ring: a faint full track, the gauge arc from the top running clockwise, and
// the score in the middle, all in the colour of the score's level.
#include "app/ui/ScoreBadge.h"

#include "app/ui/Style.h"

#include <algorithm>
#include <cmath>

#include <QPainter>

namespace vantrel::ui {

ScoreBadge::ScoreBadge(const TrustScore& trust, double size, QWidget* parent)
    : QWidget(parent), score_(trust.score), level_(trust.level), size_(size) {
    setFixedSize(sizeHint());
    setAccessibleName(QStringLiteral("Trust score %1 out of 100").arg(score_));
}

QColor ScoreBadge::color() const {
    return levelColor(level_);
}

QSize ScoreBadge::sizeHint() const {
    const int side = std::max(1, static_cast<int>(std::lround(size_)));
    return {side, side};
}

void ScoreBadge::paintEvent(QPaintEvent*) {
    const QColor ink = color();
    const double side = std::min(width(), height());
    const double lineWidth = side * 0.1;
    // The ring's centre line, so that the whole stroke stays inside the frame.
    const QRectF ring(
        QPointF((width() - side) / 2 + lineWidth / 2, (height() - side) / 2 + lineWidth / 2),
        QSizeF(side - lineWidth, side - lineWidth));

    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(faded(ink, 0.18), lineWidth, Qt::SolidLine, Qt::FlatCap));
    p.drawEllipse(ring);

    // Qt counts angles in sixteenths of a degree, anticlockwise from 3 o'clock. A score of 0 has
    // no gauge at all: a round-capped arc of zero length would still show as a dot.
    const int span = static_cast<int>(std::lround(std::clamp(fraction(), 0.0, 1.0) * 360 * 16));
    if (span > 0) {
        p.setPen(QPen(ink, lineWidth, Qt::SolidLine, Qt::RoundCap));
        p.drawArc(ring, 90 * 16, -span);
    }

    p.setPen(ink);
    p.setFont(sizedFont(side * 0.36, QFont::Bold, true));
    p.drawText(rect(), Qt::AlignCenter, QString::number(score_));
}

} // namespace vantrel::ui
