// The small building blocks of the windows: rounded panels, cards, chips, label/value rows,
// event rows and device icon tiles, all in the shared text styles and colours.
#include "app/ui/Blocks.h"

#include "app/ui/Style.h"
#include "app/ui/Symbols.h"
#include "core/LocaleText.h"

#include <cmath>

#include <QFontMetrics>
#include <QHBoxLayout>
#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>

namespace vantrel::ui {

QLabel* textLabel(const std::string& text, QFont font, QColor color, bool wrap, QWidget* parent) {
    auto* label = new QLabel(parent);
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
    const QFontMetrics metrics(chipFont());
    return {metrics.horizontalAdvance(text_) + 2 * chipPadX, metrics.height() + 2 * chipPadY};
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
    value_ = textLabel(value, ui::font(TextStyle::caption), warn ? c.orange : c.primary, true);
    value_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    row->addWidget(value_, 1, Qt::AlignTop);
}

// ---- EventRow ----------------------------------------------------------------------------------

std::string eventDate(Timestamp date) {
    return LocaleText::formatted(date, "MMM d, HH:mm:ss");
}

EventRow::EventRow(const Event& event, QWidget* parent) : QWidget(parent) {
    const Colors& c = colors();
    const bool warning = event.level == Event::Level::warning;
    const QFont textFont = ui::font(TextStyle::caption);

    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(6);

    // The marker sits in a column 12 wide and as tall as the first line of text, centred in it,
    // which lines it up with that line.
    auto* markerColumn = new QWidget;
    markerColumn->setFixedSize(12, QFontMetrics(textFont).height());
    auto* markerBox = new QHBoxLayout(markerColumn);
    markerBox->setContentsMargins(0, 0, 0, 0);
    marker_ = new SymbolView(warning ? "exclamationmark.triangle.fill" : "circle.fill",
                             warning && !event.reviewed ? c.orange : c.secondary, warning ? 10 : 5);
    markerBox->addWidget(marker_, 0, Qt::AlignCenter);
    row->addWidget(markerColumn, 0, Qt::AlignTop);

    auto* column = new QVBoxLayout;
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(1);
    text_ = textLabel(event.text, textFont, c.primary, true);
    date_ = textLabel(eventDate(event.date), ui::font(TextStyle::caption2), c.secondary);
    column->addWidget(text_);
    column->addWidget(date_);
    row->addLayout(column, 1);
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
    const QPixmap symbol = symbolPixmap(symbol_, tint_, 16, devicePixelRatioF());
    const QSizeF side = symbol.deviceIndependentSize();
    p.drawPixmap(QPointF((width() - side.width()) / 2, (height() - side.height()) / 2), symbol);
}

} // namespace vantrel::ui
