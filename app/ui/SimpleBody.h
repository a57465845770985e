// The simple layout's body: the advisor while a prompt is open, then one row per everyday device,
// worst first, or a hint when nothing is plugged in; a refresh redoes only the rows that differ.
#pragma once

#include "app/engine/Changes.h"
#include "app/ui/DeviceTrustRow.h"
#include "core/Trust.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <set>
#include <vector>

#include <QWidget>

class QVBoxLayout;

namespace vantrel {
class Monitor;
}

namespace vantrel::ui {

// The rows the user unfolded, kept by the window from body to body while their devices stay.
struct Unfolded {
    std::set<std::uint64_t> ids;
    bool openFirst = false; // unfold the first row the next time there is one
};

class SimpleBody final : public QWidget {
  public:
    // `onResize` runs at every step of a row's height while it folds or unfolds. The Monitor and
    // `unfolded` must outlive the body.
    SimpleBody(Monitor& monitor, Unfolded& unfolded, std::function<void()> onResize,
               QWidget* parent = nullptr);
    // Brings the rows up to the Monitor after `changes`: keeps the rows that would look the
    // same, makes new ones for those that differ and for new devices, drops those of devices
    // gone, and puts them in order. False, with no row touched, when the advisor or the hint
    // would change: the window then needs a new body.
    bool refresh(Changes changes);

  private:
    // What the rows would show now, worst first (ties in the Monitor's order).
    std::vector<DeviceTrustRow::Look> looks();
    // The advisor's score now; none without a prompt.
    std::optional<RequestScore> advised() const;
    DeviceTrustRow* makeRow(DeviceTrustRow::Look look);

    Monitor& monitor_;
    Unfolded& unfolded_;
    std::function<void()> onResize_;
    QVBoxLayout* layout_;
    std::optional<RequestScore> advised_; // the score the advisor shows, while there is one
    std::vector<DeviceTrustRow*> rows_;   // top to bottom
};

} // namespace vantrel::ui
