// The text styles and colours of the windows: the system font at fixed pixel sizes, and a light
// and a dark set of semantic colours chosen to match the desktop's theme.
#include "app/ui/Style.h"

#include <algorithm>
#include <cmath>
#include <optional>

#include <QApplication>
#include <QGuiApplication>
#include <QPalette>

namespace vantrel::ui {
namespace {

Appearance forced = Appearance::followDesktop;

Colors makeColors(bool dark) {
    Colors c;
    c.dark = dark;
    if (dark) {
        c.green = QColor(0x32, 0xD7, 0x4B);
        c.orange = QColor(0xFF, 0x9F, 0x0A);
        c.red = QColor(0xFF, 0x45, 0x3A);
        c.blue = QColor(0x0A, 0x84, 0xFF);
        c.primary = QColor(0xF2, 0xF2, 0xF2);
        c.window = QColor(0x2B, 0x2B, 0x2B);
    } else {
        c.green = QColor(0x28, 0xA7, 0x45);
        c.orange = QColor(0xF0, 0x8C, 0x00);
        c.red = QColor(0xE0, 0x31, 0x31);
        c.blue = QColor(0x1C, 0x7E, 0xD6);
        c.primary = QColor(0x1D, 0x1D, 0x1F);
        c.window = QColor(0xEC, 0xEC, 0xEC);
    }
    c.secondary = faded(c.primary, 0.55);
    c.tertiary = faded(c.primary, 0.30);
    return c;
}

bool desktopIsDark() {
    if (qGuiApp == nullptr) {
        return false;
    }
    return QGuiApplication::palette().color(QPalette::Window).lightness() < 128;
}

int styleSize(TextStyle style) {
    switch (style) {
    case TextStyle::caption2:
        return 10;
    case TextStyle::caption:
        return 11;
    case TextStyle::subheadline:
    case TextStyle::callout:
        return 12;
    case TextStyle::body:
    case TextStyle::headline:
        return 13;
    }
    return 13;
}

} // namespace

QFont font(TextStyle style, QFont::Weight weight) {
    if (weight == QFont::Normal && style == TextStyle::headline) {
        weight = QFont::DemiBold;
    }
    return sizedFont(styleSize(style), weight);
}

QFont sizedFont(double pixels, QFont::Weight weight, bool tabular) {
    // Every text style is this one font (the desktop's interface font) at another size.
    QFont result = qGuiApp != nullptr ? QGuiApplication::font() : QFont();
    result.setPixelSize(std::max(1, static_cast<int>(std::lround(pixels))));
    result.setWeight(weight);
    // Qt 6.4 cannot ask for the "tnum" feature; the interface fonts of the Linux desktops
    // (DejaVu Sans, Cantarell, Noto Sans, Ubuntu) draw their digits at one width by default,
    // so the score's digits line up without it.
    static_cast<void>(tabular);
    return result;
}

const Colors& colors() {
    static const Colors light = makeColors(false);
    static const Colors dark = makeColors(true);
    switch (forced) {
    case Appearance::light:
        return light;
    case Appearance::dark:
        return dark;
    case Appearance::followDesktop:
        break;
    }
    return desktopIsDark() ? dark : light;
}

void setAppearance(Appearance appearance) {
    forced = appearance;
    if (qApp == nullptr) {
        return;
    }
    // The desktop's own palette, kept while an appearance is forced.
    static std::optional<QPalette> desktop;
    if (appearance == Appearance::followDesktop) {
        if (desktop) {
            QApplication::setPalette(*desktop);
            desktop.reset();
        }
        return;
    }
    if (!desktop) {
        desktop = QApplication::palette();
    }
    // The standard controls (buttons, check boxes, scroll bars) follow the same appearance.
    const Colors& c = colors();
    QPalette palette = QApplication::palette();
    const QColor base = c.dark ? QColor(0x1E, 0x1E, 0x1E) : QColor(0xFF, 0xFF, 0xFF);
    const QColor button = c.dark ? QColor(0x3A, 0x3A, 0x3A) : QColor(0xFA, 0xFA, 0xFA);
    for (const auto group : {QPalette::Active, QPalette::Inactive}) {
        palette.setColor(group, QPalette::Window, c.window);
        palette.setColor(group, QPalette::WindowText, c.primary);
        palette.setColor(group, QPalette::Base, base);
        palette.setColor(group, QPalette::AlternateBase, c.window);
        palette.setColor(group, QPalette::Text, c.primary);
        palette.setColor(group, QPalette::Button, button);
        palette.setColor(group, QPalette::ButtonText, c.primary);
        palette.setColor(group, QPalette::ToolTipBase, base);
        palette.setColor(group, QPalette::ToolTipText, c.primary);
        palette.setColor(group, QPalette::Highlight, c.blue);
        palette.setColor(group, QPalette::HighlightedText, Qt::white);
    }
    palette.setColor(QPalette::Disabled, QPalette::WindowText, c.secondary);
    palette.setColor(QPalette::Disabled, QPalette::Text, c.secondary);
    palette.setColor(QPalette::Disabled, QPalette::ButtonText, c.secondary);
    QApplication::setPalette(palette);
}

QColor faded(QColor color, double opacity) {
    color.setAlphaF(static_cast<float>(color.alphaF() * std::clamp(opacity, 0.0, 1.0)));
    return color;
}

QColor levelColor(TrustScore::Level level) {
    switch (level) {
    case TrustScore::Level::safe:
        return colors().green;
    case TrustScore::Level::check:
        return colors().orange;
    case TrustScore::Level::danger:
        return colors().red;
    }
    return colors().orange;
}

QColor capabilityColor(Capability capability) {
    if (capability == Capability::input) {
        return colors().red;
    }
    return capability.risky() ? colors().orange : colors().secondary;
}

QColor capabilityColor(const std::vector<Capability>& caps) {
    const auto has = [&](auto test) { return std::any_of(caps.begin(), caps.end(), test); };
    if (has([](Capability c) { return c == Capability::input; })) {
        return colors().red;
    }
    if (has([](Capability c) { return c.risky(); })) {
        return colors().orange;
    }
    return colors().secondary;
}

} // namespace vantrel::ui
