// The edges that the windows' flat palettes take from two standard controls under Qt's Fusion
// style (the style of the offscreen platform and of desktops without a style of their own): the
// edge of an unchecked check box is drawn in a shade of the window colour, which the dark
// appearance makes as dark as the box; the scroll bar's handle is drawn in the button colour,
// which the light appearance makes as pale as its groove. This style draws both back in.
#pragma once

#include <QProxyStyle>

namespace vantrel::ui {

class ControlEdges final : public QProxyStyle {
  public:
    using QProxyStyle::QProxyStyle;

    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                       const QWidget* widget) const override;
    void drawComplexControl(ComplexControl control, const QStyleOptionComplex* option,
                            QPainter* painter, const QWidget* widget) const override;

  private:
    bool fusion() const;
};

// The style the windows give their check boxes and scroll bars: one for the application, over
// the application's own style, made on first use.
QStyle* controlStyle();

} // namespace vantrel::ui
