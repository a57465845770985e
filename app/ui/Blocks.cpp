// The small building blocks of the windows: rounded panels, cards, chips, label/value rows,
// event rows and device icon tiles, all in the shared text styles and colours.
#include "app/ui/Blocks.h"

#include "app/ui/Style.h"
#include "app/ui/Symbols.h"
#include "core/LocaleText.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <memory>
#include <optional>
#include <unordered_map>
#include <utility>
#include <vector>

#include <QEvent>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QHash>
#include <QImage>
#include <QMovie>
#include <QPainter>
#include <QPainterPath>
#include <QPicture>
#include <QStyle>
#include <QTextLayout>
#include <QTextOption>
#include <QVBoxLayout>

namespace vantrel::ui {

namespace {

// What was measured of texts in one font, by font and text, for the whole program: a redraw
// builds every row afresh, with mostly the texts it had before, and measuring a text shapes
// every glyph of it again. A table forgets all it holds when it grows large.
template <class Value> class Measured {
  public:
    Value& operator()(const QFont& font, const QString& text) {
        auto byFont = std::find_if(fonts_.begin(), fonts_.end(),
                                   [&font](const auto& known) { return known.first == font; });
        if (byFont == fonts_.end()) {
            if (fonts_.size() >= fontLimit) {
                fonts_.clear();
            }
            byFont = fonts_.insert(fonts_.end(), {font, {}});
        }
        QHash<QString, Value>& table = byFont->second;
        if (const auto known = table.find(text); known != table.end()) {
            return *known;
        }
        if (table.size() >= textLimit) {
            table.clear();
        }
        return *table.insert(text, Value{});
    }

  private:
    static constexpr std::size_t fontLimit = 32;
    static constexpr qsizetype textLimit = 4096;
    std::vector<std::pair<QFont, QHash<QString, Value>>> fonts_;
};

// What every text in `font` shares: the height of a line and the average character width.
struct FontFacts {
    int height;
    int averageChar;
};

FontFacts fontFacts(const QFont& font) {
    static std::vector<std::pair<QFont, FontFacts>> known;
    constexpr std::size_t limit = 32;
    for (const auto& [knownFont, facts] : known) {
        if (knownFont == font) {
            return facts;
        }
    }
    if (known.size() >= limit) {
        known.clear();
    }
    const QFontMetrics metrics(font);
    known.emplace_back(font, FontFacts{metrics.height(), metrics.averageCharWidth()});
    return known.back().second;
}

// A symbol drawn once per name, colour, size and pixel ratio: every redraw draws the same few
// symbols on its rows again. Kept as an image, which outlives the application object harmlessly.
QImage symbolImage(const std::string& name, const QColor& color, double pixels, qreal ratio) {
    struct Drawn {
        std::string name;
        QRgb color;
        double pixels;
        qreal ratio;
        QImage image;
    };
    static std::vector<Drawn> drawn;
    constexpr std::size_t limit = 64;
    for (const Drawn& known : drawn) {
        if (known.name == name && known.color == color.rgba() && known.pixels == pixels &&
            known.ratio == ratio) {
            return known.image;
        }
    }
    if (drawn.size() >= limit) {
        drawn.clear();
    }
    drawn.push_back(
        {name, color.rgba(), pixels, ratio, symbolPixmap(name, color, pixels, ratio).toImage()});
    return drawn.back().image;
}

} // namespace

// Plain text broken into lines of a given width: at word boundaries, and anywhere in a word too
// long for a line, so that no device's name can overflow. What is measured (the width on one
// line, the height of the lines at each width asked) is kept by text and font; a text is only
// laid out again to be drawn.
class WrappedText {
  public:
    WrappedText(QString text, QFont font, Qt::Alignment alignment)
        : text_(std::move(text)), font_(std::move(font)), alignment_(alignment),
          measures_(measuresOf(text_, font_)) {}
    const QString& text() const { return text_; }
    const QFont& font() const { return font_; }
    Qt::Alignment alignment() const { return alignment_; }

    // The width of the text on one line.
    int natural() const {
        if (measures_->natural < 0) {
            measures_->natural = QFontMetrics(font_).horizontalAdvance(text_) + 1;
        }
        return measures_->natural;
    }
    // The height of the lines `width` wide, rounded up.
    int height(int width) const {
        width = std::max(width, 1);
        if (const auto known = measures_->heights.constFind(width);
            known != measures_->heights.cend()) {
            return *known;
        }
        const int height = static_cast<int>(std::ceil(layOut(width)));
        measures_->heights.insert(width, height);
        return height;
    }
    // Draws the lines `width` wide with their top left corner at `at`, in the painter's pen.
    void draw(QPainter& painter, QPoint at, int width) const {
        layOut(std::max(width, 1));
        layout_->draw(&painter, at);
    }

  private:
    struct Measures {
        int natural = -1;
        QHash<int, int> heights;
    };

    // The measures of `text` in `font`, shared by every copy of it.
    static std::shared_ptr<Measures> measuresOf(const QString& text, const QFont& font) {
        static Measured<std::shared_ptr<Measures>> table;
        std::shared_ptr<Measures>& measures = table(font, text);
        if (!measures) {
            measures = std::make_shared<Measures>();
        }
        return measures;
    }

    // Breaks the text into lines `width` wide; the height of the lines.
    double layOut(int width) const {
        if (!layout_) {
            layout_.emplace(text_, font_);
            QTextOption option(alignment_ & Qt::AlignHorizontal_Mask);
            option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
            layout_->setTextOption(option);
        }
        if (laidOutAt_ != width) {
            layout_->beginLayout();
            double y = 0;
            for (QTextLine line = layout_->createLine(); line.isValid();
                 line = layout_->createLine()) {
                line.setLineWidth(width);
                line.setPosition(QPointF(0, y));
                y += line.height();
            }
            layout_->endLayout();
            laidOutAt_ = width;
            height_ = y;
        }
        return height_;
    }

    QString text_;
    QFont font_;
    Qt::Alignment alignment_;
    std::shared_ptr<Measures> measures_;
    mutable std::optional<QTextLayout> layout_;
    mutable int laidOutAt_ = -1;
    mutable double height_ = 0;
};

namespace {

// A wrapping label whose text is a WrappedText: a window's layout asks every wrapping label for
// its size and its height at some width many times over, and a plain label lays its text out
// afresh for each answer.
class WrappingLabel final : public QLabel {
  public:
    using QLabel::QLabel;

    QSize sizeHint() const override {
        // About forty characters wide: never the reason a window grows.
        const int width = std::min(wrapped().natural(), fontMetrics().averageCharWidth() * 40);
        return {width + margins(), heightForWidth(width + margins())};
    }
    QSize minimumSizeHint() const override {
        return {fontMetrics().averageCharWidth() * 4 + margins(),
                fontMetrics().height() + contentsMargins().top() + contentsMargins().bottom()};
    }
    int heightForWidth(int width) const override {
        return wrapped().height(width - margins()) + contentsMargins().top() +
               contentsMargins().bottom();
    }

  protected:
    void paintEvent(QPaintEvent*) override {
        const QRect box = contentsRect();
        QPainter painter(this);
        painter.setPen(palette().color(foregroundRole()));
        wrapped().draw(painter, box.topLeft(), box.width());
    }

  private:
    int margins() const { return contentsMargins().left() + contentsMargins().right(); }
    // The label's text as it is now, made again when its text, font or alignment changed.
    const WrappedText& wrapped() const {
        if (!wrapped_ || wrapped_->text() != text() || wrapped_->font() != font() ||
            wrapped_->alignment() != alignment()) {
            wrapped_.emplace(text(), font(), alignment());
        }
        return *wrapped_;
    }

    mutable std::optional<WrappedText> wrapped_;
};

// A label on one line that measures its text as every label does, but once per text and font
// for the whole program (see lineSize). A label with margins, a frame, an image or wrapping is
// measured as usual.
class LineLabel final : public QLabel {
  public:
    using QLabel::QLabel;

    QSize sizeHint() const override {
        if (!plain()) {
            return QLabel::sizeHint();
        }
        const QMargins margins = contentsMargins();
        return (lineSize(text(), font()) +
                QSize(margins.left() + margins.right(), margins.top() + margins.bottom()))
            .expandedTo(minimumSize());
    }
    // On one line the text needs all of its width.
    QSize minimumSizeHint() const override {
        return plain() ? sizeHint() : QLabel::minimumSizeHint();
    }

  private:
    bool plain() const {
        ensurePolished();
        return textFormat() == Qt::PlainText && !wordWrap() && margin() == 0 && indent() <= 0 &&
               frameWidth() == 0 && buddy() == nullptr && pixmap().isNull() && picture().isNull() &&
               movie() == nullptr;
    }
};

// A wrapping label that lets the user select its text. Such a label lays its text out in a
// document, afresh for every height asked of it; this one keeps the heights by width while what
// it shows and how stay the same.
class SelectableLabel final : public QLabel {
  public:
    using QLabel::QLabel;

    int heightForWidth(int width) const override {
        const Shown now{text(),   font(),     alignment(),      margin(),
                        indent(), wordWrap(), contentsMargins()};
        if (now != shown_) {
            shown_ = now;
            heights_.clear();
        }
        if (const auto known = heights_.constFind(width); known != heights_.cend()) {
            return *known;
        }
        const int height = QLabel::heightForWidth(width);
        heights_.insert(width, height);
        return height;
    }

  protected:
    void changeEvent(QEvent* event) override {
        if (event->type() == QEvent::StyleChange) {
            heights_.clear();
        }
        QLabel::changeEvent(event);
    }

  private:
    struct Shown {
        QString text;
        QFont font;
        Qt::Alignment alignment;
        int margin = 0;
        int indent = 0;
        bool wrap = false;
        QMargins contents;
        bool operator==(const Shown&) const = default;
    };
    mutable Shown shown_;
    mutable QHash<int, int> heights_;
};

// `label` showing `text` as plain text in `font` and `color`.
QLabel* dressed(QLabel* label, const std::string& text, const QFont& font, const QColor& color,
                bool wrap) {
    label->setTextFormat(Qt::PlainText);
    label->setText(QString::fromStdString(text));
    label->setFont(font);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, color);
    palette.setColor(QPalette::Text, color);
    label->setPalette(palette);
    // Inside a button a label would draw in the button's text colour otherwise.
    label->setForegroundRole(QPalette::WindowText);
    label->setWordWrap(wrap);
    return label;
}

} // namespace

QSize lineSize(const QString& text, const QFont& font) {
    static Measured<QSize> table;
    QSize& size = table(font, text);
    if (!size.isValid()) {
        const QFontMetrics metrics(font);
        // A label without text keeps the room of one character on one line.
        size = text.isEmpty() ? QSize(metrics.averageCharWidth(), metrics.lineSpacing())
                              : metrics.boundingRect(0, 0, 2000, 2000, Qt::AlignLeft, text).size();
    }
    return size;
}

QLabel* textLabel(const std::string& text, QFont font, QColor color, bool wrap, QWidget* parent) {
    return dressed(wrap ? static_cast<QLabel*>(new WrappingLabel(parent)) : new LineLabel(parent),
                   text, font, color, wrap);
}

QColor labelColor(const QLabel* label) {
    return label->palette().color(QPalette::WindowText);
}

// ---- RoundedPanel ------------------------------------------------------------------------------

RoundedPanel::RoundedPanel(QColor fill, double radius, int margin, int spacing, QWidget* parent)
    : QWidget(parent), fill_(fill), radius_(radius), content_(new QVBoxLayout(this)) {
    content_->setContentsMargins(margin, margin, margin, margin);
    content_->setSpacing(spacing);
}

void RoundedPanel::setFill(QColor fill) {
    fill_ = fill;
    update();
}

void RoundedPanel::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath path;
    path.addRoundedRect(QRectF(rect()), radius_, radius_);
    p.fillPath(path, fill_);
}

// ---- Card --------------------------------------------------------------------------------------

Card::Card(const std::string& title, const std::optional<std::string>& detail, QWidget* parent)
    : QWidget(parent) {
    const Colors& c = colors();
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(6);

    auto* header = new QHBoxLayout;
    header->setContentsMargins(0, 0, 0, 0);
    title_ = textLabel(QString::fromStdString(title).toUpper().toStdString(),
                       ui::font(TextStyle::caption, QFont::DemiBold), c.secondary);
    header->addWidget(title_);
    header->addStretch(1);
    if (detail) {
        detail_ = textLabel(*detail, ui::font(TextStyle::caption), c.secondary);
        header->addWidget(detail_);
    }
    column->addLayout(header);

    panel_ = new RoundedPanel(faded(c.primary, 0.05), 8, 10, 8);
    column->addWidget(panel_);
}

QVBoxLayout* Card::content() const {
    return panel_->content();
}

QString Card::title() const {
    return title_->text();
}

QString Card::detail() const {
    return detail_ != nullptr ? detail_->text() : QString();
}

// ---- Chip --------------------------------------------------------------------------------------

namespace {

constexpr int chipPadX = 6;
constexpr int chipPadY = 2;

QFont chipFont() {
    return ui::font(TextStyle::caption2, QFont::Medium);
}

} // namespace

Chip::Chip(const std::string& text, QColor color, QWidget* parent)
    : QWidget(parent), text_(QString::fromStdString(text)), color_(color) {
    setFont(chipFont());
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    setAccessibleName(text_);
}

QSize Chip::sizeHint() const {
    if (!sizeHint_.isValid()) {
        // Measured once per text for the whole program: a redraw makes every chip afresh.
        static Measured<QSize> measured;
        const QFont font = chipFont();
        QSize& size = measured(font, text_);
        if (!size.isValid()) {
            size = {QFontMetrics(font).horizontalAdvance(text_) + 2 * chipPadX,
                    fontFacts(font).height + 2 * chipPadY};
        }
        sizeHint_ = size;
    }
    return sizeHint_;
}

void Chip::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF capsule(rect());
    const double radius = capsule.height() / 2;
    QPainterPath path;
    path.addRoundedRect(capsule, radius, radius);
    p.fillPath(path, faded(color_, 0.12));
    p.setFont(chipFont());
    p.setPen(color_);
    p.drawText(rect(), Qt::AlignCenter | Qt::TextSingleLine, text_);
}

// ---- InfoRow -----------------------------------------------------------------------------------

InfoRow::InfoRow(const std::string& label, const std::string& value, bool warn, QWidget* parent)
    : QWidget(parent), warn_(warn) {
    const Colors& c = colors();
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    // Both texts are in the same style, so aligning their tops aligns their first baselines.
    QLabel* name = textLabel(label, ui::font(TextStyle::caption), c.secondary);
    name->setFixedWidth(50);
    row->addWidget(name, 0, Qt::AlignTop);
    // Not a wrapping label of our own: this one lets the user select the value.
    value_ = dressed(new SelectableLabel, value, ui::font(TextStyle::caption),
                     warn ? c.orange : c.primary, true);
    value_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    row->addWidget(value_, 1, Qt::AlignTop);
}

// ---- EventRow ----------------------------------------------------------------------------------

std::string eventDate(Timestamp date) {
    // A redraw shows hundreds of dates, mostly the ones it showed the last time, and ICU takes a
    // while over each: they are kept, until the locale changes.
    thread_local std::string locale;
    thread_local std::unordered_map<double, std::string> known;
    constexpr std::size_t limit = 4096;
    if (std::string current = LocaleText::processLocaleName(); current != locale) {
        locale = std::move(current);
        known.clear();
    }
    if (const auto found = known.find(date.seconds); found != known.end()) {
        return found->second;
    }
    if (known.size() >= limit) {
        known.clear();
    }
    return known.emplace(date.seconds, LocaleText::formatted(date, "MMM d, HH:mm:ss"))
        .first->second;
}

EventRow::EventRow(const Event& event, QWidget* parent)
    : QWidget(parent), text_(std::make_unique<WrappedText>(QString::fromStdString(event.text),
                                                           ui::font(TextStyle::caption),
                                                           Qt::AlignLeft | Qt::AlignVCenter)),
      date_(QString::fromStdString(eventDate(event.date))),
      dateFont_(ui::font(TextStyle::caption2)) {
    const Colors& c = colors();
    const bool warning = event.level == Event::Level::warning;
    markerSymbol_ = warning ? "exclamationmark.triangle.fill" : "circle.fill";
    markerColor_ = warning && !event.reviewed ? c.orange : c.secondary;
    markerSize_ = warning ? 10 : 5;
    textColor_ = c.primary;
    dateColor_ = c.secondary;
    QSizePolicy policy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    policy.setHeightForWidth(true);
    setSizePolicy(policy);
    setAccessibleName(text_->text());
    setAccessibleDescription(date_);
}

EventRow::~EventRow() = default;

const QString& EventRow::text() const {
    return text_->text();
}

const QFont& EventRow::textFont() const {
    return text_->font();
}

int EventRow::lineHeight() const {
    if (lineHeight_ < 0) {
        lineHeight_ = fontFacts(text_->font()).height;
    }
    return lineHeight_;
}

int EventRow::averageChar() const {
    if (averageChar_ < 0) {
        averageChar_ = fontFacts(text_->font()).averageChar;
    }
    return averageChar_;
}

QSize EventRow::dateSize() const {
    if (!dateSize_.isValid()) {
        dateSize_ = lineSize(date_, dateFont_);
    }
    return dateSize_;
}

int EventRow::textHeight(int width) const {
    return text_->height(width - markerColumn - markerGap);
}

int EventRow::heightForWidth(int width) const {
    // The marker's column is one line of text tall.
    return std::max(lineHeight(), textHeight(width) + 1 + dateSize().height());
}

QSize EventRow::sizeHint() const {
    if (!sizeHint_.isValid()) {
        const int text = std::min(text_->natural(), averageChar() * 40);
        sizeHint_ = {markerColumn + markerGap + std::max(text, dateSize().width()),
                     std::max(lineHeight(), text_->height(text) + 1 + dateSize().height())};
    }
    return sizeHint_;
}

QSize EventRow::minimumSizeHint() const {
    return {markerColumn + markerGap + std::max(averageChar() * 4, dateSize().width()),
            lineHeight() + 1 + dateSize().height()};
}

QRect EventRow::markerRect() const {
    // Centred in a column as tall as the first line of text, which lines it up with that line.
    const QRect marker((markerColumn - markerSize_) / 2, (lineHeight() - markerSize_) / 2,
                       markerSize_, markerSize_);
    return QStyle::visualRect(layoutDirection(), rect(), marker);
}

QRect EventRow::textRect() const {
    const QRect text(markerColumn + markerGap, 0, std::max(width() - markerColumn - markerGap, 0),
                     textHeight(width()));
    return QStyle::visualRect(layoutDirection(), rect(), text);
}

QRect EventRow::dateRect() const {
    const QRect date(markerColumn + markerGap, textHeight(width()) + 1,
                     std::max(width() - markerColumn - markerGap, 0), dateSize().height());
    return QStyle::visualRect(layoutDirection(), rect(), date);
}

void EventRow::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const QRect marker = markerRect();
    const QImage symbol =
        symbolImage(markerSymbol_, markerColor_, markerSize_, devicePixelRatioF());
    const QSizeF side = symbol.deviceIndependentSize();
    p.drawImage(QPointF(marker.x() + (marker.width() - side.width()) / 2,
                        marker.y() + (marker.height() - side.height()) / 2),
                symbol);

    const QRect text = textRect();
    p.setPen(textColor_);
    text_->draw(p, text.topLeft(), text.width());

    // Drawn as a label draws its one line: aligned by the date's own direction.
    const Qt::LayoutDirection direction = date_.isRightToLeft() ? Qt::RightToLeft : Qt::LeftToRight;
    const int flags =
        static_cast<int>(QStyle::visualAlignment(direction, Qt::AlignLeft | Qt::AlignVCenter)) |
        (direction == Qt::LeftToRight ? Qt::TextForceLeftToRight : Qt::TextForceRightToLeft);
    p.setFont(dateFont_);
    p.setPen(dateColor_);
    p.drawText(dateRect(), flags, date_);
}

// ---- DeviceIcon --------------------------------------------------------------------------------

DeviceIcon::DeviceIcon(const std::string& symbol, QColor tint, QWidget* parent)
    : QWidget(parent), symbol_(symbol), tint_(tint) {
    setFixedSize(26, 26);
    setAccessibleName(QString::fromStdString(symbol));
}

void DeviceIcon::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath tile;
    tile.addRoundedRect(QRectF(rect()), 7, 7);
    p.fillPath(tile, faded(tint_, 0.12));
    // A symbol in a 13 px font fills about 16 px: its box is the font's line, not its size.
    const QImage symbol = symbolImage(symbol_, tint_, 16, devicePixelRatioF());
    const QSizeF side = symbol.deviceIndependentSize();
    p.drawImage(QPointF((width() - side.width()) / 2, (height() - side.height()) / 2), symbol);
}

} // namespace vantrel::ui
