// The records the Monitor takes from the machine and the keyboard watcher with every string a
// device chooses made displayable: its published state and every text built from it are then too.
#pragma once

#include "app/engine/Devices.h"

#include <string>
#include <vector>

namespace vantrel {

// The device with its name and vendor displayable. The serial stays as the device gave it: it
// identifies the device in the stored settings (key()), and is made displayable where it is shown.
USBDevice displayed(USBDevice device);
std::vector<USBDevice> displayed(std::vector<USBDevice> devices);

// The input device with its name displayable; its key() is made from that name.
std::vector<InputDevice> displayed(std::vector<InputDevice> devices);

// The keyboard with its name displayable.
Keyboard displayed(Keyboard keyboard);

// Each text displayable, such as the names of a disk's volumes, which its file systems choose.
std::vector<std::string> displayed(std::vector<std::string> texts);

} // namespace vantrel
