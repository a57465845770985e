// The symbol artwork: one drawing per symbol name in a 24-unit box, stroked or filled in one
// colour, with the marks inside filled shapes cut out so that they read on any background.
#include "app/ui/Symbols.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <numbers>
#include <utility>

#include <QImage>
#include <QPaintEvent>
#include <QPainter>
#include <QPainterPath>

namespace vantrel::ui {
namespace {

constexpr double box = 24.0;

// The pen of outlined symbols, in box units.
constexpr double line = 1.8;

void stroke(QPainter& p, const QPainterPath& path, double width = line) {
    p.strokePath(path, QPen(p.brush(), width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
}

void fill(QPainter& p, const QPainterPath& path) {
    p.fillPath(path, p.brush());
}

// Clears what `draw` paints, so the background shows through.
void cutOut(QPainter& p, const std::function<void()>& draw) {
    const QBrush ink = p.brush();
    p.setCompositionMode(QPainter::CompositionMode_DestinationOut);
    p.setBrush(Qt::black);
    draw();
    p.setCompositionMode(QPainter::CompositionMode_SourceOver);
    p.setBrush(ink);
}

QPainterPath segment(QPointF a, QPointF b) {
    QPainterPath path(a);
    path.lineTo(b);
    return path;
}

QPainterPath polyline(std::initializer_list<QPointF> points) {
    QPainterPath path(*points.begin());
    for (auto it = points.begin() + 1; it != points.end(); ++it) {
        path.lineTo(*it);
    }
    return path;
}

QPainterPath circle(QPointF centre, double radius) {
    QPainterPath path;
    path.addEllipse(centre, radius, radius);
    return path;
}

QPainterPath roundedRect(QRectF rect, double radius) {
    QPainterPath path;
    path.addRoundedRect(rect, radius, radius);
    return path;
}

// A shield: a flat top with rounded shoulders, the sides curving to a point.
QPainterPath shield() {
    QPainterPath path;
    path.moveTo(12, 2.2);
    path.cubicTo(14.8, 4.0, 17.7, 4.8, 20.6, 4.8);
    path.lineTo(20.6, 11.0);
    path.cubicTo(20.6, 16.2, 17.1, 19.8, 12, 21.8);
    path.cubicTo(6.9, 19.8, 3.4, 16.2, 3.4, 11.0);
    path.lineTo(3.4, 4.8);
    path.cubicTo(6.3, 4.8, 9.2, 4.0, 12, 2.2);
    path.closeSubpath();
    return path;
}

QPainterPath checkmark() {
    return polyline({{8.0, 11.9}, {10.9, 14.8}, {16.1, 9.0}});
}

// An upright exclamation mark: a bar from `top` to `bottom` and a dot below it.
void exclamation(QPainter& p, double top, double bottom, double dotY, double width) {
    stroke(p, segment({12, top}, {12, bottom}), width);
    fill(p, circle({12, dotY}, width * 0.6));
}

// A plug seen from the side, its contacts at the top and its cable leaving at the bottom.
void connector(QPainter& p) {
    stroke(p, roundedRect({9.6, 2.6, 4.8, 5.4}, 0.6), 1.5);
    fill(p, roundedRect({11.2, 4.3, 1.6, 1.6}, 0.3));
    fill(p, roundedRect({7.2, 8.0, 9.6, 8.4}, 1.8));
    stroke(p, segment({12, 16.4}, {12, 21.8}), 2.0);
}

QPainterPath gear() {
    constexpr int teeth = 8;
    constexpr double outer = 10.2;
    constexpr double root = 7.6;
    const auto at = [](double radius, double degrees) {
        const double a = degrees * std::numbers::pi / 180;
        return QPointF(12 + radius * std::cos(a), 12 + radius * std::sin(a));
    };
    QPainterPath path;
    for (int i = 0; i < teeth; ++i) {
        const double c = i * 360.0 / teeth;
        const QPointF start = at(root, c - 15);
        if (i == 0) {
            path.moveTo(start);
        } else {
            path.lineTo(start);
        }
        path.lineTo(at(outer, c - 8));
        path.lineTo(at(outer, c + 8));
        path.lineTo(at(root, c + 15));
    }
    path.closeSubpath();
    return path;
}

using Artwork = std::function<void(QPainter&)>;

const std::vector<std::pair<std::string, Artwork>>& artworks() {
    static const std::vector<std::pair<std::string, Artwork>> all{
        {"checkmark.shield.fill",
         [](QPainter& p) {
             fill(p, shield());
             cutOut(p, [&] { stroke(p, checkmark(), 2.3); });
         }},
        {"checkmark.shield",
         [](QPainter& p) {
             stroke(p, shield());
             stroke(p, checkmark());
         }},
        {"exclamationmark.shield.fill",
         [](QPainter& p) {
             fill(p, shield());
             cutOut(p, [&] { exclamation(p, 7.0, 12.6, 16.3, 2.3); });
         }},
        {"shield.lefthalf.filled",
         [](QPainter& p) {
             stroke(p, shield());
             QPainterPath left;
             left.addRect(0, 0, 12, box);
             fill(p, shield().intersected(left));
         }},
        {"xmark.circle.fill",
         [](QPainter& p) {
             fill(p, circle({12, 12}, 10.2));
             cutOut(p, [&] {
                 stroke(p, segment({8.4, 8.4}, {15.6, 15.6}), 2.3);
                 stroke(p, segment({15.6, 8.4}, {8.4, 15.6}), 2.3);
             });
         }},
        {"chevron.up",
         [](QPainter& p) {
             stroke(p, polyline({{5, 16}, {12, 8.5}, {19, 16}}), 2.4);
         }},
        {"chevron.down",
         [](QPainter& p) {
             stroke(p, polyline({{5, 8.5}, {12, 16}, {19, 8.5}}), 2.4);
         }},
        {"gearshape",
         [](QPainter& p) {
             stroke(p, gear(), 1.6);
             stroke(p, circle({12, 12}, 3.2), 1.6);
         }},
        {"ellipsis.circle",
         [](QPainter& p) {
             stroke(p, circle({12, 12}, 9.6));
             for (const double x : {7.6, 12.0, 16.4}) {
                 fill(p, circle({x, 12}, 1.45));
             }
         }},
        {"keyboard",
         [](QPainter& p) {
             stroke(p, roundedRect({2.2, 5.6, 19.6, 12.8}, 2.4), 1.6);
             for (const double y : {9.0, 12.0}) {
                 for (const double x : {5.6, 8.8, 12.0, 15.2, 18.4}) {
                     fill(p, roundedRect({x - 0.95, y - 0.95, 1.9, 1.9}, 0.4));
                 }
             }
             fill(p, roundedRect({7.6, 14.1, 8.8, 1.9}, 0.5));
         }},
        {"computermouse",
         [](QPainter& p) {
             stroke(p, roundedRect({6.4, 2.4, 11.2, 19.2}, 5.6));
             stroke(p, segment({12, 2.4}, {12, 8.6}), 1.6);
         }},
        {"cable.connector.horizontal",
         [](QPainter& p) {
             // The upright plug turned a quarter clockwise: contacts right, cable left.
             p.translate(12, 12);
             p.rotate(90);
             p.translate(-12, -12);
             connector(p);
         }},
        {"cable.connector", [](QPainter& p) { connector(p); }},
        {"network",
         [](QPainter& p) {
             stroke(p, circle({12, 12}, 9.6), 1.6);
             QPainterPath meridian;
             meridian.addEllipse(QPointF(12, 12), 4.2, 9.6);
             stroke(p, meridian, 1.4);
             stroke(p, segment({2.4, 12}, {21.6, 12}), 1.4);
             stroke(p, segment({4.0, 7.2}, {20.0, 7.2}), 1.2);
             stroke(p, segment({4.0, 16.8}, {20.0, 16.8}), 1.2);
         }},
        {"web.camera",
         [](QPainter& p) {
             stroke(p, circle({12, 9.8}, 7.4));
             fill(p, circle({12, 9.8}, 2.8));
             stroke(p, segment({12, 17.2}, {12, 20.6}));
             stroke(p, segment({7.2, 21.0}, {16.8, 21.0}));
         }},
        {"mic",
         [](QPainter& p) {
             stroke(p, roundedRect({8.8, 2.4, 6.4, 12.0}, 3.2));
             QPainterPath cup;
             cup.arcMoveTo(QRectF(5.6, 5.0, 12.8, 12.8), 180);
             cup.arcTo(QRectF(5.6, 5.0, 12.8, 12.8), 180, 180);
             stroke(p, cup);
             stroke(p, segment({12, 17.8}, {12, 21}));
             stroke(p, segment({8.6, 21.2}, {15.4, 21.2}));
         }},
        {"sdcard",
         [](QPainter& p) {
             stroke(
                 p,
                 polyline(
                     {{9.6, 2.4}, {17.6, 2.4}, {17.6, 21.6}, {6.4, 21.6}, {6.4, 5.6}, {9.6, 2.4}}));
             for (const double x : {10.6, 12.9, 15.2}) {
                 stroke(p, segment({x, 5.6}, {x, 8.8}), 1.4);
             }
         }},
        {"display",
         [](QPainter& p) {
             stroke(p, roundedRect({2.4, 3.6, 19.2, 13.2}, 2.0));
             stroke(p, segment({12, 16.8}, {12, 20.4}));
             stroke(p, segment({7.6, 20.6}, {16.4, 20.6}));
         }},
        {"cpu",
         [](QPainter& p) {
             stroke(p, roundedRect({6.0, 6.0, 12.0, 12.0}, 2.0));
             fill(p, roundedRect({9.4, 9.4, 5.2, 5.2}, 1.0));
             for (const double at : {9.0, 12.0, 15.0}) {
                 stroke(p, segment({at, 2.6}, {at, 6.0}), 1.4);
                 stroke(p, segment({at, 18.0}, {at, 21.4}), 1.4);
                 stroke(p, segment({2.6, at}, {6.0, at}), 1.4);
                 stroke(p, segment({18.0, at}, {21.4, at}), 1.4);
             }
         }},
        {"exclamationmark.triangle.fill",
         [](QPainter& p) {
             // Filled and outlined with a wide round-joined pen, for rounded corners.
             QPainterPath triangle = polyline({{12, 3.6}, {21.0, 19.6}, {3.0, 19.6}});
             triangle.closeSubpath();
             fill(p, triangle);
             stroke(p, triangle, 2.8);
             cutOut(p, [&] { exclamation(p, 8.6, 13.6, 16.9, 2.2); });
         }},
        {"circle.fill",
         [](QPainter& p) {
             fill(p, circle({12, 12}, 10.4));
         }},
    };
    return all;
}

void questionMark(QPainter& p) {
    stroke(p, circle({12, 12}, 9.6));
    QPainterPath hook;
    hook.moveTo(9.0, 9.6);
    hook.cubicTo(9.0, 6.4, 15.0, 6.4, 15.0, 9.6);
    hook.cubicTo(15.0, 11.6, 12.0, 11.9, 12.0, 14.0);
    stroke(p, hook);
    fill(p, circle({12, 17.2}, 1.2));
}

const Artwork* artwork(std::string_view name) {
    const auto& all = artworks();
    const auto found = std::find_if(all.begin(), all.end(),
                                    [&](const auto& entry) { return entry.first == name; });
    return found == all.end() ? nullptr : &found->second;
}

} // namespace

const std::vector<std::string>& symbolNames() {
    static const std::vector<std::string> names = [] {
        std::vector<std::string> result;
        for (const auto& entry : artworks()) {
            result.push_back(entry.first);
        }
        return result;
    }();
    return names;
}

bool hasSymbol(std::string_view name) {
    return artwork(name) != nullptr;
}

QPixmap symbolPixmap(std::string_view name, const QColor& color, double pixels,
                     double devicePixelRatio) {
    const double ratio = devicePixelRatio > 0 ? devicePixelRatio : 1.0;
    const int side = std::max(1, static_cast<int>(std::ceil(std::max(pixels, 0.0) * ratio)));
    QImage image(side, side, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing);
        p.scale(side / box, side / box);
        p.setPen(Qt::NoPen);
        p.setBrush(color);
        if (const Artwork* draw = artwork(name)) {
            (*draw)(p);
        } else {
            questionMark(p);
        }
    }
    QPixmap pixmap = QPixmap::fromImage(std::move(image));
    pixmap.setDevicePixelRatio(ratio);
    return pixmap;
}

QIcon symbolIcon(std::string_view name, const QColor& color) {
    QIcon icon;
    for (const int size : {16, 22, 24, 32, 48, 64}) {
        icon.addPixmap(symbolPixmap(name, color, size));
    }
    return icon;
}

SymbolView::SymbolView(std::string name, QColor color, double pixels, QWidget* parent)
    : QWidget(parent), name_(std::move(name)), color_(color), pixels_(pixels) {
    setFixedSize(sizeHint());
    setAccessibleName(QString::fromStdString(name_));
}

void SymbolView::set(std::string name, QColor color) {
    name_ = std::move(name);
    color_ = color;
    setAccessibleName(QString::fromStdString(name_));
    update();
}

QSize SymbolView::sizeHint() const {
    const int side = static_cast<int>(std::ceil(pixels_));
    return {side, side};
}

void SymbolView::paintEvent(QPaintEvent*) {
    const QPixmap pixmap = symbolPixmap(name_, color_, pixels_, devicePixelRatioF());
    const QSizeF logical = pixmap.deviceIndependentSize();
    QPainter p(this);
    p.drawPixmap(QPointF((width() - logical.width()) / 2, (height() - logical.height()) / 2),
                 pixmap);
}

} // namespace vantrel::ui
