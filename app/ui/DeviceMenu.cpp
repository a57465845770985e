// A device's action menu in the developer layout: a borderless "ellipsis.circle" button that
// pops up the operations that apply to the device as it is now.
#include "app/ui/DeviceMenu.h"

#include "app/engine/Monitor.h"
#include "app/ui/CardText.h"
#include "app/ui/Style.h"
#include "app/ui/Symbols.h"

#include <algorithm>

#include <QAction>
#include <QHash>
#include <QMenu>

namespace vantrel::ui {
namespace {

// The button's symbol in `color`; drawn once per colour, as every device's button shows it.
QIcon ellipsis(const QColor& color) {
    static QHash<QRgb, QIcon> drawn;
    const QRgb key = color.rgba();
    if (const auto known = drawn.constFind(key); known != drawn.cend()) {
        return *known;
    }
    return *drawn.insert(key, symbolIcon("ellipsis.circle", color));
}

} // namespace

DeviceMenu::DeviceMenu(Monitor& monitor, const USBDevice& device, QWidget* parent)
    : QToolButton(parent), monitor_(monitor), device_(device) {
    setObjectName(QStringLiteral("menu:%1").arg(device.id));
    setIcon(ellipsis(colors().secondary));
    setAutoRaise(true);
    setPopupMode(QToolButton::InstantPopup);
    setToolButtonStyle(Qt::ToolButtonIconOnly);
    setFocusPolicy(Qt::NoFocus);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    // However the button is pressed (mouse, click(), accessibility), the first press makes the
    // menu and pops it up as the button goes down; later presses find the menu in place.
    connect(this, &QToolButton::pressed, this, [this] {
        if (menu() == nullptr) {
            items();
            showMenu();
        }
    });
}

std::vector<DeviceMenu::Item> DeviceMenu::entries() const {
    // An item may be chosen after a redraw has replaced this button, and the operation itself
    // makes the Monitor redraw: the items keep their own copy of the device and reach only the
    // Monitor, never this widget.
    Monitor& monitor = monitor_;
    std::vector<Item> items;
    const auto add = [&](const char* text, void (Monitor::*operation)(const USBDevice&)) {
        items.push_back({QString::fromUtf8(text), [&monitor, device = device_, operation] {
                             (monitor.*operation)(device);
                         }});
    };
    const bool input = std::find(device_.caps.begin(), device_.caps.end(), Capability::input) !=
                       device_.caps.end();

    // The open prompt asks about the devices held back; one an explicit rule holds is not asked.
    if (device_.blocked && !device_.policyHeld && monitor.trustRequest() && monitor.canAllow()) {
        items.push_back({QStringLiteral("Allow"), [&monitor] { monitor.allowPrompt(); }});
        items.push_back(
            {QString::fromUtf8("Don\u2019t Allow"), [&monitor] { monitor.refusePrompt(); }});
    }
    if (monitor.outOfScope().contains(deviceKey(device_))) {
        add("Approve its new functions", &Monitor::approveScope);
    }
    if (!device_.netNames.empty()) {
        add("Pause network adapter\u2026", &Monitor::pauseNetwork);
        add("Resume network adapter\u2026", &Monitor::resumeNetwork);
    }
    if (!device_.disks.empty()) {
        add("Eject its disks", &Monitor::ejectDisks);
    }
    if (input) {
        items.push_back({QStringLiteral("Lock screen now"), [&monitor] { monitor.lockScreen(); }});
    }
    items.push_back({QString(), {}});
    add("Forget this device", &Monitor::forget);
    return items;
}

QStringList DeviceMenu::itemTexts() const {
    QStringList texts;
    for (const Item& item : entries()) {
        texts << item.text;
    }
    return texts;
}

QMenu* DeviceMenu::items() {
    if (menu() != nullptr) {
        return menu();
    }
    auto* menu = new QMenu(this);
    for (Item& item : entries()) {
        if (item.text.isEmpty()) {
            menu->addSeparator();
        } else {
            connect(menu->addAction(item.text), &QAction::triggered, menu, std::move(item.run));
        }
    }
    // A button with a menu would draw an arrow beside its symbol. The style sheet reaches the
    // menu as well, which is drawn in the style it names.
    setStyleSheet(QStringLiteral("QToolButton::menu-indicator { image: none; }"));
    setMenu(menu);
    return menu;
}

} // namespace vantrel::ui
