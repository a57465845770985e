// The Monitor's records made displayable as it takes them: each string a device chooses, and
// nothing that identifies a device in the stored settings.
#include "app/engine/Displayed.h"

#include "core/Displayable.h"

namespace vantrel {

USBDevice displayed(USBDevice device) {
    device.name = displayable(device.name);
    device.vendor = displayable(device.vendor);
    return device;
}

std::vector<USBDevice> displayed(std::vector<USBDevice> devices) {
    for (USBDevice& device : devices) {
        device = displayed(std::move(device));
    }
    return devices;
}

std::vector<InputDevice> displayed(std::vector<InputDevice> devices) {
    for (InputDevice& device : devices) {
        device.name = displayable(device.name);
    }
    return devices;
}

Keyboard displayed(Keyboard keyboard) {
    keyboard.name = displayable(keyboard.name);
    return keyboard;
}

std::vector<std::string> displayed(std::vector<std::string> texts) {
    for (std::string& text : texts) {
        text = displayable(text);
    }
    return texts;
}

} // namespace vantrel
