// The small building blocks of the windows: a titled card, a chip, a label/value row, an event
// row, a device's icon tile, and a rounded background that holds any content.
#pragma once

#include "app/engine/Event.h"

#include <memory>
#include <optional>
#include <string>

#include <QColor>
#include <QLabel>
#include <QWidget>

class QVBoxLayout;

namespace vantrel::ui {

class WrappedText;

// A rounded rectangle of `radius` filled with `fill`, around a vertical layout with `margin` on
// every side and `spacing` between items.
class RoundedPanel : public QWidget {
  public:
    RoundedPanel(QColor fill, double radius, int margin, int spacing, QWidget* parent = nullptr);
    QVBoxLayout* content() const { return content_; }
    void setFill(QColor fill);

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QColor fill_;
    double radius_;
    QVBoxLayout* content_;
};

// A titled box: the title in upper case (caption, semibold, secondary) with an optional detail
// on the right, over a rounded panel (radius 8, margin 10, 8 between items, primary at 5 %).
class Card final : public QWidget {
  public:
    Card(const std::string& title, const std::optional<std::string>& detail,
         QWidget* parent = nullptr);
    // Add the content here.
    QVBoxLayout* content() const;
    QString title() const;
    QString detail() const; // empty when none

  private:
    QLabel* title_;
    QLabel* detail_ = nullptr;
    RoundedPanel* panel_;
};

// A small label: caption-2, medium, in `color`, on a capsule of `color` at 12 %, 6 px left and
// right and 2 px above and below; never wrapped or cut.
class Chip final : public QWidget {
  public:
    Chip(const std::string& text, QColor color, QWidget* parent = nullptr);
    QString text() const { return text_; }
    const QColor& color() const { return color_; }
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QString text_;
    QColor color_;
    mutable QSize sizeHint_;
};

// A label (caption, secondary, in a column 50 px wide) and a value (caption, orange when `warn`,
// else primary, selectable), aligned on the first baseline.
class InfoRow final : public QWidget {
  public:
    InfoRow(const std::string& label, const std::string& value, bool warn,
            QWidget* parent = nullptr);
    QLabel* value() const { return value_; }
    bool warn() const { return warn_; }

  private:
    QLabel* value_;
    bool warn_;
};

// One event: a marker (a triangle for a warning, a dot for information; orange for a warning
// not yet reviewed, secondary otherwise) and the text over its date ("MMM d, HH:mm:ss" in the
// user's locale and time zone). One widget that draws all three itself: a window holds hundreds
// of these, and a marker, two labels and their layouts for each made every redraw slow.
class EventRow final : public QWidget {
  public:
    // The marker column's width and the room between it and the text.
    static constexpr int markerColumn = 12;
    static constexpr int markerGap = 6;

    explicit EventRow(const Event& event, QWidget* parent = nullptr);
    ~EventRow() override;
    const std::string& markerSymbol() const { return markerSymbol_; }
    const QColor& markerColor() const { return markerColor_; }
    const QString& text() const;
    const QString& date() const { return date_; }
    const QFont& textFont() const;
    const QFont& dateFont() const { return dateFont_; }
    const QColor& textColor() const { return textColor_; }
    const QColor& dateColor() const { return dateColor_; }
    // Where the marker, the text and the date are drawn at the row's current width.
    QRect markerRect() const;
    QRect textRect() const;
    QRect dateRect() const;

    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    // The height of the text's lines when the row is `width` wide.
    int textHeight(int width) const;
    // The date's size on its line; the height of one line of text and its average character
    // width.
    QSize dateSize() const;
    int lineHeight() const;
    int averageChar() const;

    std::string markerSymbol_;
    QColor markerColor_;
    int markerSize_;
    std::unique_ptr<WrappedText> text_;
    QString date_;
    QFont dateFont_;
    QColor textColor_;
    QColor dateColor_;
    mutable QSize dateSize_;
    mutable QSize sizeHint_;
    mutable int lineHeight_ = -1;
    mutable int averageChar_ = -1;
};

// The date of an event row, formatted with the pattern "MMM d, HH:mm:ss" by one formatter
// shared by all rows.
std::string eventDate(Timestamp date);

// A device's symbol (13 px, medium) in `tint`, centred in a 26 × 26 tile of `tint` at 12 %,
// corner radius 7.
class DeviceIcon final : public QWidget {
  public:
    DeviceIcon(const std::string& symbol, QColor tint, QWidget* parent = nullptr);
    const std::string& symbol() const { return symbol_; }
    const QColor& tint() const { return tint_; }
    QSize sizeHint() const override { return {26, 26}; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    std::string symbol_;
    QColor tint_;
};

// A plain-text label in a text style and colour: device names are never read as markup.
QLabel* textLabel(const std::string& text, QFont font, QColor color, bool wrap = false,
                  QWidget* parent = nullptr);
// The size of `text` on one line in `font`, measured as a label measures its text (an empty one
// as one character), and kept for the whole program by text and font: a redraw makes every
// label afresh.
QSize lineSize(const QString& text, const QFont& font);
// The text colour a label made by textLabel draws in.
QColor labelColor(const QLabel* label);

} // namespace vantrel::ui
