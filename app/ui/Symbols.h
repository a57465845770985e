// The artwork of every symbol the windows show, drawn with QPainter paths in a 24-unit box and
// compiled into the program, so no icon theme is needed. Names are the symbol names the window
// descriptions use ("checkmark.shield.fill", "keyboard", "chevron.down", ...).
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include <QColor>
#include <QIcon>
#include <QPixmap>
#include <QWidget>

namespace vantrel::ui {

// Every symbol name that has artwork.
const std::vector<std::string>& symbolNames();
bool hasSymbol(std::string_view name);

// The symbol drawn in `color` in a square of `pixels` device-independent pixels (the size of
// a font of that pixel size's glyph box), sharp at `devicePixelRatio`. An unknown name draws a
// small question mark in a circle, never nothing.
QPixmap symbolPixmap(std::string_view name, const QColor& color, double pixels,
                     double devicePixelRatio = 1.0);
// The same for buttons and menus, at the usual icon sizes.
QIcon symbolIcon(std::string_view name, const QColor& color);

// A symbol as a fixed-size widget; the name or colour can change later.
class SymbolView final : public QWidget {
  public:
    SymbolView(std::string name, QColor color, double pixels, QWidget* parent = nullptr);
    void set(std::string name, QColor color);
    const std::string& name() const { return name_; }
    const QColor& color() const { return color_; }
    QSize sizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    std::string name_;
    QColor color_;
    double pixels_;
};

} // namespace vantrel::ui
