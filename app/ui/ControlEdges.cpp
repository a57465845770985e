// Fusion's own drawing first, then the missing edge over it: a 1 px frame round the unchecked
// box in the dark appearance, a tinted, rounded handle in the light one.
#include "app/ui/ControlEdges.h"

#include "app/ui/Style.h"

#include <algorithm>

#include <QApplication>
#include <QPainter>
#include <QPointer>
#include <QStyleFactory>
#include <QStyleOption>

namespace vantrel::ui {

bool ControlEdges::fusion() const {
    return baseStyle()->name().compare(QLatin1String("fusion"), Qt::CaseInsensitive) == 0;
}

void ControlEdges::drawPrimitive(PrimitiveElement element, const QStyleOption* option,
                                 QPainter* painter, const QWidget* widget) const {
    QProxyStyle::drawPrimitive(element, option, painter, widget);
    if (element != PE_IndicatorCheckBox || !(option->state & State_Off) || !colors().dark ||
        !fusion()) {
        return;
    }
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing, false);
    painter->setBrush(Qt::NoBrush);
    painter->setPen(QPen(faded(colors().primary, 0.45), 1));
    painter->drawRect(option->rect.adjusted(0, 0, -1, -1));
    painter->restore();
}

void ControlEdges::drawComplexControl(ComplexControl control, const QStyleOptionComplex* option,
                                      QPainter* painter, const QWidget* widget) const {
    QProxyStyle::drawComplexControl(control, option, painter, widget);
    if (control != CC_ScrollBar || colors().dark || !fusion()) {
        return;
    }
    const QRect handle = subControlRect(control, option, SC_ScrollBarSlider, widget);
    if (handle.isEmpty()) {
        return;
    }
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    painter->setPen(Qt::NoPen);
    painter->setBrush(faded(colors().primary, 0.3));
    const QRectF inner = QRectF(handle).adjusted(2, 2, -2, -2);
    const double radius = std::min(inner.width(), inner.height()) / 2;
    painter->drawRoundedRect(inner, radius, radius);
    painter->restore();
}

QStyle* controlStyle() {
    static QPointer<QStyle> style;
    if (style == nullptr) {
        style = new ControlEdges(QStyleFactory::create(QApplication::style()->name()));
        style->setParent(qApp);
    }
    return style;
}

} // namespace vantrel::ui
