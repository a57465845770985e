// A device's action menu in the developer layout, behind an "ellipsis.circle" button: answer the
// open prompt for it, approve its new functions, pause or resume its network adapter, eject its
// disks, lock the screen, forget it; each item only when it applies. Made anew with its row.
#pragma once

#include "app/engine/Devices.h"

#include <functional>
#include <vector>

#include <QToolButton>

class QMenu;

namespace vantrel {
class Monitor;
}

namespace vantrel::ui {

class DeviceMenu final : public QToolButton {
  public:
    DeviceMenu(Monitor& monitor, const USBDevice& device, QWidget* parent = nullptr);
    // The items as shown, separators as "".
    QStringList itemTexts() const;
    // The menu itself. A menu is a window of its own and costly to make, and a redraw makes a
    // button for every device: it is made when first asked for, at the latest when the button
    // is pressed.
    QMenu* items();

  private:
    struct Item {
        QString text; // empty for a separator
        std::function<void()> run;
    };
    // The items that apply to the device, in order.
    std::vector<Item> entries() const;

    Monitor& monitor_;
    USBDevice device_;
};

} // namespace vantrel::ui
