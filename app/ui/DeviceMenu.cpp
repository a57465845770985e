// A device's action menu in the developer layout: a borderless "ellipsis.circle" button that
// pops up the operations that apply to the device as it is now.
#include "app/ui/DeviceMenu.h"

#include "app/engine/Monitor.h"
#include "app/ui/CardText.h"
#include "app/ui/Style.h"
#include "app/ui/Symbols.h"

#include <algorithm>

#include <QAction>
#include <QMenu>

namespace vantrel::ui {

DeviceMenu::DeviceMenu(Monitor& monitor, const USBDevice& device, QWidget* parent)
    : QToolButton(parent), menu_(new QMenu(this)) {
    setObjectName(QStringLiteral("menu:%1").arg(device.id));
    setIcon(symbolIcon("ellipsis.circle", colors().secondary));
    setAutoRaise(true);
    setPopupMode(QToolButton::InstantPopup);
    setToolButtonStyle(Qt::ToolButtonIconOnly);
    setStyleSheet(QStringLiteral("QToolButton::menu-indicator { image: none; }"));
    setFocusPolicy(Qt::NoFocus);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    setMenu(menu_);

    // An item may be chosen after a redraw has replaced this button, and the operation itself
    // makes the Monitor redraw: the actions keep their own copy of the device and reach only
    // the Monitor, never this widget.
    const auto add = [&](const char* text, void (Monitor::*operation)(const USBDevice&)) {
        connect(menu_->addAction(QString::fromUtf8(text)), &QAction::triggered, menu_,
                [&monitor, device, operation] { (monitor.*operation)(device); });
    };
    const bool input =
        std::find(device.caps.begin(), device.caps.end(), Capability::input) != device.caps.end();

    if (monitor.outOfScope().contains(deviceKey(device))) {
        add("Approve its new functions", &Monitor::approveScope);
    }
    if (!device.netNames.empty()) {
        add("Pause network adapter\u2026", &Monitor::pauseNetwork);
        add("Resume network adapter\u2026", &Monitor::resumeNetwork);
    }
    if (!device.disks.empty()) {
        add("Eject its disks", &Monitor::ejectDisks);
    }
    if (input) {
        connect(menu_->addAction(QStringLiteral("Lock screen now")), &QAction::triggered, menu_,
                [&monitor] { monitor.lockScreen(); });
    }
    menu_->addSeparator();
    add("Forget this device", &Monitor::forget);
}

QStringList DeviceMenu::itemTexts() const {
    QStringList texts;
    for (const QAction* action : menu_->actions()) {
        texts << (action->isSeparator() ? QString() : action->text());
    }
    return texts;
}

} // namespace vantrel::ui
