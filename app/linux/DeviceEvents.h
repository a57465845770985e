// The device-change source: a udev monitor on the subsystems usb, hid and input. Its descriptor
// becomes readable when a USB device, a USB interface or an HID or input device comes or goes;
// the main loop watches it and runs a scan cycle after draining it.
#pragma once

#include <string_view>

struct udev;
struct udev_monitor;

namespace vantrel {

class DeviceEvents {
  public:
    // Events as udev announces them once it has handled them ("udev"), or straight from the
    // kernel ("kernel") on a machine where no udev daemon runs. Opening can fail (no netlink, say):
    // then fd() is -1 and the periodic scan alone notices changes.
    DeviceEvents();
    // Events from one source only, "udev" or "kernel"; for tests.
    explicit DeviceEvents(const char* source);
    ~DeviceEvents();
    DeviceEvents(const DeviceEvents&) = delete;
    DeviceEvents& operator=(const DeviceEvents&) = delete;

    // The descriptor to watch for reading; -1 when no monitor could be opened.
    int fd() const { return fd_; }
    // "udev", "kernel", or "" when no monitor could be opened.
    std::string_view source() const { return source_; }

    // Takes every pending event without waiting; true when at least one of them was a device
    // change of the watched subsystems. Several events of one burst share one call, so they
    // share one scan cycle. Takes at most `drainLimit` events per call; the rest keep the
    // descriptor readable for the next round of the main loop.
    bool drain();
    static constexpr int drainLimit = 1024;

  private:
    bool open(const char* source);

    struct udev* udev_ = nullptr;
    struct udev_monitor* monitor_ = nullptr;
    int fd_ = -1;
    std::string_view source_;
};

} // namespace vantrel
