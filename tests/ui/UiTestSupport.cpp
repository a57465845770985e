#include "tests/ui/UiTestSupport.h"

#include <algorithm>

namespace vantrel {

void ActingRig::holdAtPrompt(USBDevice device) {
    device.blocked = true;
    machine.state.usb.push_back(std::move(device));
    machine.state.ports = {
        PortInfo{"Port-USB-C@1", "USB-C port 1", true, 1, std::nullopt, /*pending=*/true}};
    monitor->deviceChanged();
    actions.clear();
}

USBDevice usbDevice(std::uint64_t id, std::string name, std::vector<Capability> caps,
                    std::uint32_t locationID) {
    USBDevice d;
    d.id = id;
    d.name = std::move(name);
    d.vendor = "Acme";
    d.vendorID = 0x1234;
    d.productID = 0x5678;
    d.serial = "S" + std::to_string(id);
    d.locationID = locationID;
    d.caps = std::move(caps);
    return d;
}

Event event(std::string text, Event::Level level, bool reviewed, double ago) {
    Event e;
    e.id = newUUID();
    e.date = testNow - ago;
    e.level = level;
    e.text = std::move(text);
    e.reviewed = reviewed;
    return e;
}

std::vector<QLabel*> labels(const QWidget* root) {
    std::vector<QLabel*> found;
    if (auto* self = qobject_cast<QLabel*>(const_cast<QWidget*>(root))) {
        found.push_back(self);
    }
    const auto children = root->findChildren<QLabel*>();
    found.insert(found.end(), children.begin(), children.end());
    return found;
}

std::vector<std::string> texts(const QWidget* root) {
    std::vector<std::string> found;
    for (const QLabel* label : labels(root)) {
        found.push_back(label->text().toStdString());
    }
    return found;
}

bool shows(const QWidget* root, const std::string& text) {
    const auto all = texts(root);
    return std::find(all.begin(), all.end(), text) != all.end();
}

std::vector<QWidget*> named(const QWidget* root, const std::string& prefix) {
    std::vector<QWidget*> found;
    for (QWidget* w : root->findChildren<QWidget*>()) {
        if (w->objectName().toStdString().starts_with(prefix)) {
            found.push_back(w);
        }
    }
    return found;
}

} // namespace vantrel
