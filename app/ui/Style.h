// The window's visual language in one place: the text styles mapped onto the system font, the
// semantic colours of a light and a dark palette that follow the desktop, and the level and
// capability colours built on them.
#pragma once

#include "core/Capability.h"
#include "core/Trust.h"

#include <vector>

#include <QColor>
#include <QFont>

namespace vantrel::ui {

// The text styles the windows use, smallest first. Sizes are in device-independent pixels, the
// same unit as every length in the windows.
enum class TextStyle {
    caption2,    // 10
    caption,     // 11
    subheadline, // 12
    callout,     // 12
    body,        // 13
    headline,    // 13, semibold
};

// The system font at the style's size; `weight` overrides the style's own (headline is
// semibold by itself).
QFont font(TextStyle style, QFont::Weight weight = QFont::Normal);
// The system font at `pixels`, for symbols and the score's digits; `tabular` asks for digits of
// equal width.
QFont sizedFont(double pixels, QFont::Weight weight = QFont::Normal, bool tabular = false);

// The semantic colours. `primary`, `secondary` and `tertiary` are the text colours (the last two
// dimmed); `window` is the window's background.
struct Colors {
    QColor green, orange, red, blue;
    QColor primary, secondary, tertiary;
    QColor window;
    bool dark = false;
};

// The light or the dark set, chosen from the application palette's window colour (a dark
// desktop theme gives a dark window), unless forced with setAppearance.
const Colors& colors();
enum class Appearance { followDesktop, light, dark };
// Forces an appearance (demo windows, tests); followDesktop goes back to the palette.
void setAppearance(Appearance appearance);

// `color` at `opacity` (0 to 1) of its alpha.
QColor faded(QColor color, double opacity);

// safe green, check orange, danger red.
QColor levelColor(TrustScore::Level level);
// The colour of one capability: red for input, orange for the other risky ones, secondary for
// the rest.
QColor capabilityColor(Capability capability);
// The colour of a set: red when it has input, orange when it has any other risky capability,
// secondary otherwise and when empty.
QColor capabilityColor(const std::vector<Capability>& caps);

} // namespace vantrel::ui
