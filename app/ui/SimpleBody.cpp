// The simple layout's body: the advisor, the device rows worst first or the empty-list hint. A
// refresh keeps every row whose look is unchanged and only moves it into its new place.
#include "app/ui/SimpleBody.h"

#include "app/engine/Monitor.h"
#include "app/ui/AdvisorView.h"
#include "app/ui/Blocks.h"
#include "app/ui/Style.h"

#include <algorithm>
#include <map>
#include <utility>

#include <QVBoxLayout>

namespace vantrel::ui {

SimpleBody::SimpleBody(Monitor& monitor, Unfolded& unfolded, std::function<void()> onResize,
                       QWidget* parent)
    : QWidget(parent), monitor_(monitor), unfolded_(unfolded), onResize_(std::move(onResize)),
      layout_(new QVBoxLayout(this)), advised_(advised()) {
    layout_->setContentsMargins(12, 12, 12, 12);
    layout_->setSpacing(8);
    const Colors& c = colors();
    if (const auto& request = monitor_.trustRequest()) {
        auto* panel = new RoundedPanel(faded(c.primary, 0.05), 12, 0, 0);
        panel->setObjectName(QStringLiteral("advisor"));
        auto* advice = new AdvisorView(*request, monitor_.now());
        advice->setViewWidth(AdvisorView::slotWidth);
        if (monitor_.canAllow()) {
            // The answers reach only the Monitor: the redraw they cause replaces this view.
            Monitor& m = monitor_;
            advice->setAnswers(
                AdvisorView::Answers{[&m] { m.allowPrompt(); }, [&m] { m.refusePrompt(); }});
        }
        panel->content()->addWidget(advice);
        layout_->addWidget(panel);
    }
    for (DeviceTrustRow::Look& look : looks()) {
        rows_.push_back(makeRow(std::move(look)));
        layout_->addWidget(rows_.back());
    }
    if (rows_.empty()) {
        QLabel* hint = textLabel("Plug something in and Vantrel will give it a trust score.",
                                 ui::font(TextStyle::callout), c.secondary, /*wrap=*/true);
        hint->setObjectName(QStringLiteral("emptyHint"));
        hint->setAlignment(Qt::AlignHCenter);
        layout_->addSpacing(20);
        layout_->addWidget(hint);
        layout_->addSpacing(20);
    }
    layout_->addStretch(1);
}

bool SimpleBody::refresh(Changes changes) {
    if (changes.has(Changes::request) || advised() != advised_) {
        return false;
    }
    std::vector<DeviceTrustRow::Look> wanted = looks();
    if (wanted.empty() != rows_.empty()) {
        return false; // the hint comes or goes
    }
    std::map<std::uint64_t, DeviceTrustRow*> old;
    for (DeviceTrustRow* row : rows_) {
        old.emplace(row->look().id, row);
    }
    std::vector<DeviceTrustRow*> rows;
    std::vector<DeviceTrustRow*> made;
    for (DeviceTrustRow::Look& look : wanted) {
        if (const auto kept = old.find(look.id);
            kept != old.end() && kept->second->look() == look) {
            rows.push_back(kept->second);
            old.erase(kept);
        } else {
            made.push_back(makeRow(std::move(look)));
            rows.push_back(made.back());
        }
    }
    for (const auto& [id, row] : old) {
        delete row; // and out of the layout with it
    }
    // Top to bottom below the advisor: the rows before each are in place by then, so a row
    // moves only when something above it came, went or changed places.
    const int first = advised_ ? 1 : 0;
    for (int i = 0; i < static_cast<int>(rows.size()); ++i) {
        if (layout_->indexOf(rows[i]) != first + i) {
            layout_->removeWidget(rows[i]);
            layout_->insertWidget(first + i, rows[i]);
        }
    }
    // Shown at once, so that the body is measured with them.
    for (DeviceTrustRow* row : made) {
        row->show();
    }
    rows_ = std::move(rows);
    return true;
}

std::vector<DeviceTrustRow::Look> SimpleBody::looks() {
    std::vector<DeviceTrustRow::Look> looks;
    for (const USBDevice& device : monitor_.everydayDevices()) {
        looks.push_back(DeviceTrustRow::lookOf(device, monitor_.trust(device), false));
    }
    std::stable_sort(looks.begin(), looks.end(),
                     [](const DeviceTrustRow::Look& a, const DeviceTrustRow::Look& b) {
                         return a.trust.score < b.trust.score;
                     });
    if (unfolded_.openFirst && !looks.empty()) {
        unfolded_.ids.insert(looks.front().id);
        unfolded_.openFirst = false;
    }
    for (DeviceTrustRow::Look& look : looks) {
        look.expanded = unfolded_.ids.contains(look.id);
    }
    return looks;
}

std::optional<RequestScore> SimpleBody::advised() const {
    const auto& request = monitor_.trustRequest();
    return request ? std::optional(Trust::score(*request, monitor_.now())) : std::nullopt;
}

DeviceTrustRow* SimpleBody::makeRow(DeviceTrustRow::Look look) {
    const std::uint64_t id = look.id;
    auto* row = new DeviceTrustRow(std::move(look));
    row->setOnToggle([this, id](bool expanded) {
        if (expanded) {
            unfolded_.ids.insert(id);
        } else {
            unfolded_.ids.erase(id);
        }
    });
    row->setOnResize([this] {
        if (onResize_) {
            onResize_();
        }
    });
    return row;
}

} // namespace vantrel::ui
