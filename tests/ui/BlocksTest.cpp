// Tests of the window building blocks: the colour tables and text styles, cards, chips, label/value
// and event rows, the score ring's drawing, the symbol artwork and the trust details.
#include "app/ui/Blocks.h"

#include "app/ui/ScoreBadge.h"
#include "app/ui/Style.h"
#include "app/ui/Symbols.h"
#include "app/ui/TrustDetails.h"
#include "tests/ui/UiTestSupport.h"

#include <cmath>
#include <cstdlib>
#include <memory>
#include <numbers>
#include <string>
#include <vector>

#include <QApplication>
#include <QHBoxLayout>
#include <QImage>
#include <QPainter>
#include <QVBoxLayout>
#include <gtest/gtest.h>

namespace vantrel::ui {
namespace {

using Level = TrustScore::Level;

// Pins the light colours for one test and goes back to following the desktop afterwards.
class BlocksTest : public testing::Test {
  protected:
    void SetUp() override { setAppearance(Appearance::light); }
    void TearDown() override { setAppearance(Appearance::followDesktop); }
};

// A widget drawn on a transparent image, without its window background.
QImage rendered(QWidget& widget) {
    widget.adjustSize();
    QImage image(widget.size(), QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    widget.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    return image;
}

bool sameRgb(QColor a, QColor b, int tolerance = 12) {
    return std::abs(a.red() - b.red()) <= tolerance &&
           std::abs(a.green() - b.green()) <= tolerance &&
           std::abs(a.blue() - b.blue()) <= tolerance;
}

// ---- Colours and text styles -------------------------------------------------------------------

TEST_F(BlocksTest, LevelColours) {
    for (const Appearance appearance : {Appearance::light, Appearance::dark}) {
        setAppearance(appearance);
        const Colors& c = colors();
        EXPECT_EQ(levelColor(Level::safe), c.green);
        EXPECT_EQ(levelColor(Level::check), c.orange);
        EXPECT_EQ(levelColor(Level::danger), c.red);
    }
}

TEST_F(BlocksTest, CapabilityColourOfEachCapability) {
    enum Tone { red, orange, secondary };
    const std::vector<std::pair<Capability, Tone>> table{
        {Capability::input, red},         {Capability::network, orange},
        {Capability::serial, orange},     {Capability::audio, orange},
        {Capability::camera, orange},     {Capability::firmware, orange},
        {Capability::storage, secondary}, {Capability::printer, secondary},
        {Capability::vendor, secondary},  {Capability::display, secondary},
        {Capability::hub, secondary},
    };
    ASSERT_EQ(table.size(), Capability::count);
    const Colors& c = colors();
    for (const auto& [capability, tone] : table) {
        const QColor expected = tone == red ? c.red : tone == orange ? c.orange : c.secondary;
        EXPECT_EQ(capabilityColor(capability), expected) << capability.code();
    }
}

TEST_F(BlocksTest, CapabilityColourOfASet) {
    using C = Capability;
    const Colors& c = colors();
    const std::vector<std::pair<std::vector<Capability>, QColor>> table{
        {{}, c.secondary},
        {{C::hub}, c.secondary},
        {{C::storage, C::printer, C::display}, c.secondary},
        {{C::storage, C::camera}, c.orange},
        {{C::hub, C::firmware}, c.orange},
        {{C::input}, c.red},
        {{C::storage, C::input}, c.red},
        {{C::network, C::serial, C::input}, c.red},
    };
    for (const auto& [caps, expected] : table) {
        EXPECT_EQ(capabilityColor(caps), expected) << caps.size() << " capabilities";
    }
}

TEST_F(BlocksTest, AppearanceFollowsTheDesktopUnlessForced) {
    const QPalette original = QApplication::palette();
    QPalette dark = original;
    dark.setColor(QPalette::Window, QColor(0x30, 0x30, 0x30));
    QPalette light = original;
    light.setColor(QPalette::Window, QColor(0xF0, 0xF0, 0xF0));

    setAppearance(Appearance::followDesktop);
    QApplication::setPalette(dark);
    EXPECT_TRUE(colors().dark);
    QApplication::setPalette(light);
    EXPECT_FALSE(colors().dark);

    setAppearance(Appearance::dark);
    EXPECT_TRUE(colors().dark);
    QApplication::setPalette(dark);
    setAppearance(Appearance::light);
    EXPECT_FALSE(colors().dark);
    QApplication::setPalette(original);

    // Dark text on a light window and light text on a dark one; the dimmed colours are the
    // primary one, fainter.
    setAppearance(Appearance::light);
    const Colors lightColors = colors();
    setAppearance(Appearance::dark);
    const Colors darkColors = colors();
    EXPECT_LT(lightColors.primary.lightness(), 64);
    EXPECT_GT(lightColors.window.lightness(), 192);
    EXPECT_GT(darkColors.primary.lightness(), 192);
    EXPECT_LT(darkColors.window.lightness(), 64);
    for (const Colors& c : {lightColors, darkColors}) {
        EXPECT_EQ(c.secondary.rgb(), c.primary.rgb());
        EXPECT_LT(c.secondary.alphaF(), c.primary.alphaF());
        EXPECT_LT(c.tertiary.alphaF(), c.secondary.alphaF());
    }
}

TEST_F(BlocksTest, TextStylesAreTheSystemFontAtFixedSizes) {
    struct Case {
        TextStyle style;
        int pixels;
        QFont::Weight weight;
    };
    const std::vector<Case> table{
        {TextStyle::caption2, 10, QFont::Normal},    {TextStyle::caption, 11, QFont::Normal},
        {TextStyle::subheadline, 12, QFont::Normal}, {TextStyle::callout, 12, QFont::Normal},
        {TextStyle::body, 13, QFont::Normal},        {TextStyle::headline, 13, QFont::DemiBold},
    };
    for (const Case& c : table) {
        const QFont f = font(c.style);
        EXPECT_EQ(f.pixelSize(), c.pixels);
        EXPECT_EQ(f.weight(), c.weight);
        EXPECT_EQ(f.family(), QApplication::font().family());
        EXPECT_EQ(font(c.style, QFont::Bold).weight(), QFont::Bold);
    }
    EXPECT_EQ(sizedFont(44 * 0.36, QFont::Bold, true).pixelSize(), 16);
}

// ---- Cards, chips and rows
// -----------------------------------------------------------------------

TEST_F(BlocksTest, TextLabelsNeverReadMarkup) {
    QLabel* label = textLabel("<b>Evil</b> &amp;", font(TextStyle::callout), colors().orange);
    EXPECT_EQ(label->textFormat(), Qt::PlainText);
    EXPECT_EQ(label->text(), QStringLiteral("<b>Evil</b> &amp;"));
    EXPECT_EQ(labelColor(label), colors().orange);
    EXPECT_FALSE(label->wordWrap());
    delete label;
}

TEST_F(BlocksTest, OneLineLabelsMeasureAsPlainLabels) {
    // Labels on one line keep their measures by text and font; they must be the very sizes a
    // plain label asks for, or every row would move.
    const std::vector<std::string> texts{"",
                                         "x",
                                         "Device 0",
                                         "two\nlines",
                                         "<b>bold</b> & more",
                                         std::string(300, 'w'),
                                         "\u0645\u0631\u062D\u0628\u0627 USB",
                                         "Oct 8, 10:24:00"};
    for (const TextStyle style : {TextStyle::caption2, TextStyle::caption, TextStyle::callout}) {
        for (const std::string& text : texts) {
            std::unique_ptr<QLabel> ours(textLabel(text, font(style), colors().primary));
            QLabel plain;
            plain.setTextFormat(Qt::PlainText);
            plain.setFont(font(style));
            plain.setText(QString::fromStdString(text));
            EXPECT_EQ(ours->sizeHint(), plain.sizeHint()) << text;
            EXPECT_EQ(ours->minimumSizeHint(), plain.minimumSizeHint()) << text;
            EXPECT_EQ(lineSize(QString::fromStdString(text), font(style)), plain.sizeHint())
                << text;
        }
    }
    // Asked again after a change, a label measures what it shows now.
    std::unique_ptr<QLabel> label(textLabel("short", font(TextStyle::caption), colors().primary));
    const QSize shortSize = label->sizeHint();
    label->setText(QStringLiteral("a good deal longer than that"));
    EXPECT_GT(label->sizeHint().width(), shortSize.width());
    label->setMargin(4);
    QLabel plain(label->text());
    plain.setFont(label->font());
    plain.setMargin(4);
    EXPECT_EQ(label->sizeHint(), plain.sizeHint());
}

TEST_F(BlocksTest, WrappingLabelsMeasureTheirTextAsItIsNow) {
    // Heights by width are remembered per text and font: a label that changes either, and
    // another label with the same text in another font, must not get stale ones.
    const std::string words = "one two three four five six seven eight nine ten eleven twelve";
    std::unique_ptr<QLabel> label(
        textLabel(words, font(TextStyle::caption), colors().primary, true));
    std::unique_ptr<QLabel> same(
        textLabel(words, font(TextStyle::caption), colors().primary, true));
    std::unique_ptr<QLabel> larger(
        textLabel(words, font(TextStyle::headline), colors().primary, true));
    ASSERT_TRUE(label->wordWrap() && label->hasHeightForWidth());
    const int lineHeight = QFontMetrics(label->font()).height();
    const int narrow = label->heightForWidth(120);
    EXPECT_GT(narrow, lineHeight);
    EXPECT_EQ(same->heightForWidth(120), narrow);
    EXPECT_GT(larger->heightForWidth(120), narrow);
    EXPECT_EQ(label->heightForWidth(2000), lineHeight);

    label->setText(QStringLiteral("one"));
    EXPECT_EQ(label->heightForWidth(120), lineHeight);
    EXPECT_LT(label->sizeHint().width(), same->sizeHint().width());
    label->setText(QString::fromStdString(words));
    label->setFont(font(TextStyle::headline));
    EXPECT_EQ(label->heightForWidth(120), larger->heightForWidth(120));
    EXPECT_EQ(label->sizeHint(), larger->sizeHint());
}

TEST_F(BlocksTest, CardTitleAndDetail) {
    struct Case {
        std::string title;
        std::optional<std::string> detail;
        QString shownTitle;
        QString shownDetail;
    };
    const std::vector<Case> table{
        {"Needs review", std::nullopt, "NEEDS REVIEW", ""},
        {"USB devices", "3", "USB DEVICES", "3"},
        {"Keyboards & mice", "0", "KEYBOARDS & MICE", "0"},
        {"Activity", "saved across restarts", "ACTIVITY", "saved across restarts"},
    };
    for (const Case& c : table) {
        Card card(c.title, c.detail);
        EXPECT_EQ(card.title(), c.shownTitle);
        EXPECT_EQ(card.detail(), c.shownDetail);
        EXPECT_EQ(labels(&card).size(), c.detail ? 2u : 1u) << c.title;
        EXPECT_EQ(card.content()->spacing(), 8);
    }
}

TEST_F(BlocksTest, CardHoldsItsContentInThePanel) {
    Card card("Ports", std::nullopt);
    card.content()->addWidget(textLabel("USB-C 1", font(TextStyle::callout), colors().primary));
    EXPECT_TRUE(shows(&card, "USB-C 1"));
    card.resize(300, card.sizeHint().height());
    const QImage image = rendered(card);
    // The panel's fill shows below the title, at the content's margin.
    const QColor fill = image.pixelColor(4, image.height() - 4);
    EXPECT_GT(fill.alpha(), 0);
    EXPECT_LT(fill.alpha(), 40);
}

TEST_F(BlocksTest, ChipKeepsItsNaturalSize) {
    Chip small("USB", colors().orange);
    Chip large("Waiting for you", colors().blue);
    EXPECT_EQ(small.text(), QStringLiteral("USB"));
    EXPECT_EQ(large.color(), colors().blue);
    EXPECT_GT(large.sizeHint().width(), small.sizeHint().width() + 20);
    EXPECT_EQ(large.minimumSizeHint(), large.sizeHint());
    EXPECT_EQ(large.sizePolicy().horizontalPolicy(), QSizePolicy::Fixed);

    // Squeezed into a narrow row, it still gets its whole width.
    QWidget row;
    auto* layout = new QHBoxLayout(&row);
    layout->addWidget(new QLabel("A long neighbour that would like the space"));
    auto* chip = new Chip("Out of scope", colors().red);
    layout->addWidget(chip);
    row.resize(80, 30);
    row.show();
    QApplication::processEvents();
    EXPECT_EQ(chip->width(), chip->sizeHint().width());
}

TEST_F(BlocksTest, ChipDrawsAFaintCapsuleAndItsText) {
    Chip chip("External", colors().orange);
    chip.resize(chip.sizeHint());
    const QImage image = rendered(chip);
    // The capsule's rounded ends leave the corners empty; its fill is the colour, faint.
    EXPECT_EQ(image.pixelColor(0, 0).alpha(), 0);
    const QColor edge = image.pixelColor(3, image.height() / 2);
    EXPECT_NEAR(edge.alphaF(), 0.12, 0.03);
    EXPECT_TRUE(sameRgb(edge, colors().orange, 24));
    bool text = false;
    for (int x = 6; x < image.width() - 6; ++x) {
        for (int y = 0; y < image.height(); ++y) {
            text = text || image.pixelColor(x, y).alpha() > 128;
        }
    }
    EXPECT_TRUE(text);
}

TEST_F(BlocksTest, InfoRowValueColourAndSelection) {
    for (const bool warn : {false, true}) {
        InfoRow row("Proxy", "http://10.0.0.1:3128", warn);
        EXPECT_EQ(row.warn(), warn);
        EXPECT_EQ(row.value()->text(), QStringLiteral("http://10.0.0.1:3128"));
        EXPECT_EQ(labelColor(row.value()), warn ? colors().orange : colors().primary);
        EXPECT_TRUE(row.value()->textInteractionFlags() & Qt::TextSelectableByMouse);
        EXPECT_EQ(row.value()->textFormat(), Qt::PlainText);
        const std::vector<QLabel*> all = labels(&row);
        ASSERT_EQ(all.size(), 2u);
        EXPECT_EQ(all[0]->text(), QStringLiteral("Proxy"));
        EXPECT_EQ(all[0]->width(), 50);
        EXPECT_EQ(labelColor(all[0]), colors().secondary);
    }
}

TEST_F(BlocksTest, InfoRowValueWrapsAtTheHeightOfAPlainSelectableLabel) {
    // The value keeps its heights by width; they must be a selectable label's, and follow a new
    // text or margin.
    const std::string proxies = "http://10.0.0.1:3128; http://proxy.example.internal:8080; "
                                "socks5://127.0.0.1:1080";
    InfoRow row("Proxy", proxies, true);
    QLabel* value = row.value();
    ASSERT_TRUE(value->wordWrap() && value->hasHeightForWidth());
    const auto plainHeight = [value](int width) {
        QLabel plain(value->text());
        plain.setTextFormat(Qt::PlainText);
        plain.setFont(value->font());
        plain.setWordWrap(true);
        plain.setMargin(value->margin());
        plain.setTextInteractionFlags(Qt::TextSelectableByMouse);
        return plain.heightForWidth(width);
    };
    for (const int width : {80, 160, 400, 160}) {
        EXPECT_EQ(value->heightForWidth(width), plainHeight(width)) << width;
    }
    EXPECT_GT(value->heightForWidth(80), value->heightForWidth(400));
    value->setText(QStringLiteral("None"));
    EXPECT_EQ(value->heightForWidth(80), plainHeight(80));
    EXPECT_EQ(value->heightForWidth(80), value->heightForWidth(400));
    value->setMargin(6);
    EXPECT_EQ(value->heightForWidth(80), plainHeight(80));
}

TEST_F(BlocksTest, EventRowMarker) {
    struct Case {
        Event::Level level;
        bool reviewed;
        std::string symbol;
        QColor color;
        int size;
    };
    const Colors& c = colors();
    const std::vector<Case> table{
        {Event::Level::warning, false, "exclamationmark.triangle.fill", c.orange, 10},
        {Event::Level::warning, true, "exclamationmark.triangle.fill", c.secondary, 10},
        {Event::Level::info, false, "circle.fill", c.secondary, 5},
        {Event::Level::info, true, "circle.fill", c.secondary, 5},
    };
    for (const Case& t : table) {
        EventRow row(event("Something happened.", t.level, t.reviewed));
        EXPECT_EQ(row.markerSymbol(), t.symbol);
        EXPECT_EQ(row.markerColor(), t.color) << t.symbol << " reviewed " << t.reviewed;
        EXPECT_EQ(row.markerRect().size(), QSize(t.size, t.size));
        EXPECT_EQ(row.text(), QStringLiteral("Something happened."));
        // The text wraps: narrower, it takes more lines.
        EXPECT_GT(row.heightForWidth(EventRow::markerColumn + EventRow::markerGap + 40),
                  row.heightForWidth(400));
        EXPECT_EQ(row.date().toStdString(), "Oct 8, 10:24:00");
        EXPECT_EQ(row.textColor(), c.primary);
        EXPECT_EQ(row.dateColor(), c.secondary);
        EXPECT_EQ(row.dateFont().pixelSize(), 10);
        EXPECT_EQ(row.textFont().pixelSize(), 11);

        // Drawn as described: the marker in its colour, the text and the date in theirs.
        row.resize(300, row.heightForWidth(300));
        const QImage image = rendered(row);
        // The most opaque pixel in `box`: where the drawing covers a pixel whole.
        const auto strongest = [&image](const QRect& box) {
            QColor found(0, 0, 0, 0);
            for (int y = box.top(); y <= box.bottom(); ++y) {
                for (int x = box.left(); x <= box.right(); ++x) {
                    if (image.pixelColor(x, y).alpha() > found.alpha()) {
                        found = image.pixelColor(x, y);
                    }
                }
            }
            return found;
        };
        // Text is drawn at the colour's own opacity; where the symbol's shapes overlap they
        // may add up to more.
        const auto drawnIn = [&strongest](const QRect& box, const QColor& color,
                                          bool atLeast) -> testing::AssertionResult {
            const QColor pixel = strongest(box);
            const int alpha = pixel.alpha() - color.alpha();
            if (sameRgb(pixel, color, 16) && (atLeast ? alpha >= -12 : std::abs(alpha) <= 12)) {
                return testing::AssertionSuccess();
            }
            return testing::AssertionFailure()
                   << pixel.name(QColor::HexArgb).toStdString() << " for "
                   << color.name(QColor::HexArgb).toStdString();
        };
        EXPECT_TRUE(drawnIn(row.markerRect(), t.color, true)) << t.symbol;
        EXPECT_TRUE(drawnIn(row.textRect(), c.primary, false));
        EXPECT_TRUE(drawnIn(row.dateRect(), c.secondary, false));
        // Nothing but the marker in its column.
        const QRect column(0, 0, EventRow::markerColumn, row.height());
        for (int y = column.top(); y <= column.bottom(); ++y) {
            for (int x = column.left(); x <= column.right(); ++x) {
                if (!row.markerRect().adjusted(-1, -1, 1, 1).contains(x, y)) {
                    EXPECT_EQ(image.pixelColor(x, y).alpha(), 0) << x << "," << y;
                }
            }
        }
    }
}

TEST_F(BlocksTest, EventRowMarkerSitsBesideTheFirstLine) {
    std::string words;
    for (int i = 0; i < 40; ++i) {
        words += "word ";
    }
    EventRow row(event(words, Event::Level::warning));
    ASSERT_TRUE(row.hasHeightForWidth());
    row.resize(260, row.heightForWidth(260) > 0 ? row.heightForWidth(260) : 120);
    row.show();
    QApplication::processEvents();
    const QRect marker = row.markerRect();
    const QRect text = row.textRect();
    const QRect date = row.dateRect();
    const int lineHeight = QFontMetrics(row.textFont()).height();
    EXPECT_LE(marker.right() + 6, text.left());
    EXPECT_EQ(text.left(), EventRow::markerColumn + EventRow::markerGap);
    EXPECT_EQ(text.right(), row.width() - 1);
    EXPECT_GT(text.height(), 2 * lineHeight);
    // Centred on the first line, not on the whole text.
    EXPECT_NEAR(marker.center().y(), text.top() + lineHeight / 2.0, 1.5);
    // The date 1 px under the text, in line with it, and the row just tall enough for both.
    EXPECT_EQ(date.top(), text.bottom() + 1 + 1);
    EXPECT_EQ(date.left(), text.left());
    EXPECT_GE(date.height(), QFontMetrics(row.dateFont()).height());
    EXPECT_EQ(row.height(), date.bottom() + 1);
}

TEST_F(BlocksTest, EventRowInALayoutGetsItsHeightAtItsWidth) {
    // Rows are stacked in a card's column: each gets the height its text needs at the width
    // it is given, and long words break rather than widen it.
    const std::vector<std::string> texts{
        "Short.",
        std::string(300, 'x'),
        "A somewhat longer text that has to wrap onto a second line at this width for sure.",
    };
    for (const int width : {200, 320}) {
        QWidget box;
        auto* stack = new QVBoxLayout(&box);
        stack->setContentsMargins(0, 0, 0, 0);
        stack->setSpacing(0);
        std::vector<EventRow*> rows;
        for (const std::string& text : texts) {
            rows.push_back(new EventRow(event(text)));
            stack->addWidget(rows.back());
        }
        box.setFixedWidth(width);
        box.resize(width, box.heightForWidth(width));
        box.show();
        QApplication::processEvents();
        int y = 0;
        for (const EventRow* row : rows) {
            EXPECT_EQ(row->width(), width);
            EXPECT_EQ(row->y(), y);
            EXPECT_EQ(row->height(), row->heightForWidth(width)) << row->text().toStdString();
            EXPECT_LE(row->textRect().right(), width - 1);
            y += row->height();
        }
        EXPECT_GT(rows[1]->height(), 3 * QFontMetrics(rows[1]->textFont()).height());
    }
}

TEST_F(BlocksTest, EventDateFormat) {
    const std::vector<std::pair<Timestamp, std::string>> table{
        {testNow, "Oct 8, 10:24:00"},
        // 2026-01-02 03:04:05 UTC: no leading zero on the day, but on the clock.
        {Timestamp::fromUnix(1767323045), "Jan 2, 03:04:05"},
        // 2026-12-31 23:59:59.9 UTC: seconds are not rounded up into the next year.
        {Timestamp::fromUnix(1798761599.9), "Dec 31, 23:59:59"},
    };
    for (const auto& [date, expected] : table) {
        EXPECT_EQ(eventDate(date), expected);
    }
}

TEST_F(BlocksTest, EventDateFollowsTheLocale) {
    setenv("LC_ALL", "de_DE.UTF-8", 1);
    const std::string german = eventDate(testNow);
    setenv("LC_ALL", "en_US.UTF-8", 1);
    EXPECT_EQ(german.rfind("Okt", 0), 0u) << german;
    EXPECT_NE(german.find("10:24:00"), std::string::npos);
    EXPECT_EQ(eventDate(testNow), "Oct 8, 10:24:00");
}

TEST_F(BlocksTest, DeviceIconTile) {
    DeviceIcon icon("keyboard", colors().red);
    EXPECT_EQ(icon.size(), QSize(26, 26));
    EXPECT_EQ(icon.symbol(), "keyboard");
    const QImage image = rendered(icon);
    // Rounded corners stay empty; the tile is the tint, faint; the symbol is the tint, full.
    EXPECT_EQ(image.pixelColor(0, 0).alpha(), 0);
    EXPECT_NEAR(image.pixelColor(13, 2).alphaF(), 0.12, 0.03);
    int full = 0;
    for (int y = 0; y < 26; ++y) {
        for (int x = 0; x < 26; ++x) {
            const QColor pixel = image.pixelColor(x, y);
            full += pixel.alpha() > 200 && sameRgb(pixel, colors().red) ? 1 : 0;
        }
    }
    EXPECT_GT(full, 20);
}

// ---- Score ring --------------------------------------------------------------------------------

TrustScore scored(int score, Level level) {
    TrustScore trust;
    trust.score = score;
    trust.level = level;
    return trust;
}

TEST_F(BlocksTest, ScoreBadgeNameFractionAndSize) {
    const std::vector<std::pair<int, Level>> table{
        {0, Level::danger}, {25, Level::danger}, {61, Level::check}, {97, Level::safe}};
    for (const auto& [score, level] : table) {
        const ScoreBadge badge(scored(score, level), 44);
        EXPECT_EQ(badge.accessibleName().toStdString(),
                  "Trust score " + std::to_string(score) + " out of 100");
        EXPECT_DOUBLE_EQ(badge.fraction(), score / 100.0);
        EXPECT_EQ(badge.color(), levelColor(level));
        EXPECT_EQ(badge.size(), QSize(44, 44));
        EXPECT_EQ(badge.minimumSize(), badge.maximumSize());
    }
    EXPECT_EQ(ScoreBadge(scored(50, Level::check), 36).size(), QSize(36, 36));
}

enum class Ink { none, faint, full };

// What the ring shows at `clock` o'clock (12 is the top), on its centre line.
Ink ringAt(const QImage& image, double clock, QColor color) {
    const double side = image.width();
    const double radius = (side - side * 0.1) / 2;
    const double angle = clock / 12 * 2 * std::numbers::pi; // clockwise from the top
    const int x = static_cast<int>(std::lround(side / 2 + radius * std::sin(angle) - 0.5));
    const int y = static_cast<int>(std::lround(side / 2 - radius * std::cos(angle) - 0.5));
    const QColor pixel = image.pixelColor(x, y);
    if (pixel.alpha() > 200 && sameRgb(pixel, color)) {
        return Ink::full;
    }
    if (pixel.alpha() > 20 && pixel.alpha() < 80 && sameRgb(pixel, color, 24)) {
        return Ink::faint;
    }
    return Ink::none;
}

TEST_F(BlocksTest, ScoreBadgeDrawsTheGaugeClockwiseFromTheTop) {
    struct Case {
        int score;
        std::vector<std::pair<double, Ink>> points; // o'clock, what shows there
    };
    const std::vector<Case> table{
        {0, {{12, Ink::faint}, {0.5, Ink::faint}, {3, Ink::faint}, {11.5, Ink::faint}}},
        {25,
         {{12, Ink::full},
          {1.5, Ink::full},
          {3, Ink::full},
          {4.5, Ink::faint},
          {6, Ink::faint},
          {9, Ink::faint},
          {11, Ink::faint}}},
        {50, {{3, Ink::full}, {5.5, Ink::full}, {7, Ink::faint}, {9, Ink::faint}}},
        {100, {{12, Ink::full}, {3, Ink::full}, {6, Ink::full}, {9, Ink::full}, {11.5, Ink::full}}},
    };
    for (const Case& c : table) {
        ScoreBadge badge(scored(c.score, Level::danger), 100);
        const QImage image = rendered(badge);
        ASSERT_EQ(image.size(), QSize(100, 100));
        for (const auto& [clock, ink] : c.points) {
            EXPECT_EQ(ringAt(image, clock, colors().red), ink)
                << "score " << c.score << " at " << clock << " o'clock";
        }
        // Nothing outside the frame's circle.
        EXPECT_EQ(image.pixelColor(1, 1).alpha(), 0);
        // The digits in the middle, in the level colour.
        bool digits = false;
        for (int x = 35; x < 65; ++x) {
            const QColor pixel = image.pixelColor(x, 50);
            digits = digits || (pixel.alpha() > 200 && sameRgb(pixel, colors().red));
        }
        EXPECT_TRUE(digits) << "score " << c.score;
    }
}

// ---- Symbols -----------------------------------------------------------------------------------

int inkedPixels(const QImage& image) {
    int count = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            count += image.pixelColor(x, y).alpha() > 0 ? 1 : 0;
        }
    }
    return count;
}

TEST_F(BlocksTest, EverySymbolTheWindowsUseHasArtwork) {
    const std::vector<std::string> used{"checkmark.shield.fill",
                                        "checkmark.shield",
                                        "exclamationmark.shield.fill",
                                        "shield.lefthalf.filled",
                                        "xmark.circle.fill",
                                        "chevron.up",
                                        "chevron.down",
                                        "gearshape",
                                        "ellipsis.circle",
                                        "keyboard",
                                        "computermouse",
                                        "cable.connector.horizontal",
                                        "cable.connector",
                                        "network",
                                        "web.camera",
                                        "mic",
                                        "sdcard",
                                        "display",
                                        "cpu",
                                        "exclamationmark.triangle.fill",
                                        "circle.fill"};
    for (const std::string& name : used) {
        EXPECT_TRUE(hasSymbol(name)) << name;
    }
    EXPECT_EQ(symbolNames().size(), used.size());
    // Each draws something, and only in the colour asked for (edges blend into transparency).
    const QColor blue = colors().blue;
    for (const std::string& name : symbolNames()) {
        const QImage image = symbolPixmap(name, blue, 24).toImage();
        EXPECT_GT(inkedPixels(image), 20) << name;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                const QColor pixel = image.pixelColor(x, y);
                EXPECT_TRUE(pixel.alpha() < 255 || sameRgb(pixel, blue, 2)) << name;
            }
        }
    }
}

TEST_F(BlocksTest, UnknownSymbolStillDrawsSomething) {
    EXPECT_FALSE(hasSymbol("no.such.symbol"));
    const QImage unknown = symbolPixmap("no.such.symbol", Qt::black, 24).toImage();
    EXPECT_GT(inkedPixels(unknown), 20);
    EXPECT_NE(unknown, symbolPixmap("circle.fill", Qt::black, 24).toImage());
}

TEST_F(BlocksTest, SymbolPixmapIsSharpAtTheDeviceRatio) {
    const QPixmap pixmap = symbolPixmap("keyboard", Qt::black, 13, 2.0);
    EXPECT_EQ(pixmap.size(), QSize(26, 26));
    EXPECT_EQ(pixmap.devicePixelRatio(), 2.0);
    EXPECT_EQ(pixmap.deviceIndependentSize(), QSizeF(13, 13));
    const QPixmap plain = symbolPixmap("keyboard", Qt::black, 13);
    EXPECT_EQ(plain.size(), QSize(13, 13));
}

TEST_F(BlocksTest, MarksInFilledSymbolsAreCutOut) {
    struct Case {
        std::string name;
        QPointF solid; // inside the shape, clear of the mark (in 24-unit box coordinates)
        QPointF mark;  // on the mark: transparent
    };
    const std::vector<Case> table{
        {"xmark.circle.fill", {12, 5}, {12, 12}},
        {"exclamationmark.triangle.fill", {12, 18.6}, {12, 11}},
        {"checkmark.shield.fill", {12, 19}, {13.5, 11.9}},
        {"exclamationmark.shield.fill", {7, 8}, {12, 10}},
        {"circle.fill", {12, 5}, {12, 12}},
        {"shield.lefthalf.filled", {8, 10}, {16, 10}},
    };
    constexpr int side = 96;
    for (const Case& c : table) {
        const QImage image = symbolPixmap(c.name, Qt::black, side).toImage();
        const auto alphaAt = [&](QPointF p) {
            return image
                .pixelColor(static_cast<int>(p.x() * side / 24),
                            static_cast<int>(p.y() * side / 24))
                .alpha();
        };
        EXPECT_EQ(alphaAt(c.solid), 255) << c.name;
        if (c.name == "circle.fill") {
            EXPECT_EQ(alphaAt(c.mark), 255); // nothing cut from a plain dot
        } else {
            EXPECT_EQ(alphaAt(c.mark), 0) << c.name;
        }
    }
}

TEST_F(BlocksTest, SymbolViewSizeAndChange) {
    SymbolView view("chevron.down", colors().tertiary, 11);
    EXPECT_EQ(view.size(), QSize(11, 11));
    const QImage before = rendered(view);
    EXPECT_GT(inkedPixels(before), 0);
    view.set("chevron.up", colors().red);
    EXPECT_EQ(view.name(), "chevron.up");
    EXPECT_EQ(view.color(), colors().red);
    EXPECT_NE(rendered(view), before);
}

// ---- Trust details -----------------------------------------------------------------------------

TEST_F(BlocksTest, TrustDetailsShowsEveryGroupInOrder) {
    const TrustDetails empty(TrustScore{});
    EXPECT_EQ(texts(&empty),
              (std::vector<std::string>{"Who makes it", "What it can do", "Your history with it"}));

    TrustScore trust;
    trust.maker = {"Made by Acme."};
    trust.access = {"It can type.", "It can read your files."};
    const TrustDetails details(trust);
    EXPECT_EQ(
        texts(&details),
        (std::vector<std::string>{"Who makes it", "Made by Acme.", "What it can do", "It can type.",
                                  "It can read your files.", "Your history with it"}));
    const std::vector<QLabel*> all = labels(&details);
    EXPECT_EQ(labelColor(all[0]), colors().secondary);
    EXPECT_EQ(all[0]->font().weight(), QFont::DemiBold);
    EXPECT_TRUE(all[1]->wordWrap());
    EXPECT_EQ(all[1]->font().pixelSize(), 12);
}

} // namespace
} // namespace vantrel::ui
