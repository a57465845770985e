// A device's action menu in the developer layout, behind an "ellipsis.circle" button: approve its
// new functions, pause or resume its network adapter, eject its disks, lock the screen, forget
// it; each item only when it applies. Rebuilt with the device's current data on every redraw.
#pragma once

#include "app/engine/Devices.h"

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
    QMenu* items() const { return menu_; }

  private:
    QMenu* menu_;
};

} // namespace vantrel::ui
