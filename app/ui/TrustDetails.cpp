// The reasoning behind a trust score in three titled groups: the maker, what the device can do,
// and this computer's history with it.
#include "app/ui/TrustDetails.h"

#include "app/ui/Blocks.h"
#include "app/ui/Style.h"

#include <string>
#include <vector>

#include <QVBoxLayout>

namespace vantrel::ui {
namespace {

// A title over its lines, each its own wrapping text; the title shows even without lines.
QWidget* group(const std::string& title, const std::vector<std::string>& lines) {
    const Colors& c = colors();
    auto* holder = new QWidget;
    auto* column = new QVBoxLayout(holder);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(3);
    column->addWidget(textLabel(title, ui::font(TextStyle::caption, QFont::DemiBold), c.secondary));
    for (const std::string& line : lines) {
        column->addWidget(textLabel(line, ui::font(TextStyle::callout), c.primary, true));
    }
    return holder;
}

} // namespace

TrustDetails::TrustDetails(const TrustScore& trust, QWidget* parent) : QWidget(parent) {
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(10);
    column->addWidget(group("Who makes it", trust.maker));
    column->addWidget(group("What it can do", trust.access));
    column->addWidget(group("Your history with it", trust.history));
}

} // namespace vantrel::ui
