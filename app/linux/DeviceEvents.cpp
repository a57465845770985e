#include "app/linux/DeviceEvents.h"

#include <unistd.h>

#include <libudev.h>

namespace vantrel {
namespace {

// udev creates its control socket when it starts; without it, a monitor of the "udev" source
// opens but never hears anything.
bool udevRuns() {
    return ::access("/run/udev/control", F_OK) == 0;
}

} // namespace

DeviceEvents::DeviceEvents() {
    if (!(udevRuns() && open("udev"))) {
        open("kernel");
    }
}

DeviceEvents::DeviceEvents(const char* source) {
    open(source);
}

DeviceEvents::~DeviceEvents() {
    if (monitor_ != nullptr) {
        udev_monitor_unref(monitor_);
    }
    if (udev_ != nullptr) {
        udev_unref(udev_);
    }
}

bool DeviceEvents::open(const char* source) {
    if (udev_ == nullptr) {
        udev_ = udev_new();
        if (udev_ == nullptr) {
            return false;
        }
    }
    udev_monitor* monitor = udev_monitor_new_from_netlink(udev_, source);
    if (monitor == nullptr) {
        return false;
    }
    for (const char* subsystem : {"usb", "hid", "input"}) {
        if (udev_monitor_filter_add_match_subsystem_devtype(monitor, subsystem, nullptr) < 0) {
            udev_monitor_unref(monitor);
            return false;
        }
    }
    const int fd = udev_monitor_enable_receiving(monitor) == 0 ? udev_monitor_get_fd(monitor) : -1;
    if (fd < 0) {
        udev_monitor_unref(monitor);
        return false;
    }
    monitor_ = monitor;
    fd_ = fd;
    source_ = std::string_view(source) == "udev" ? "udev" : "kernel";
    return true;
}

bool DeviceEvents::drain() {
    if (monitor_ == nullptr) {
        return false;
    }
    // The socket is non-blocking: receiving stops at the first empty read. Messages of other
    // subsystems (the kernel source has no filter in the socket) are skipped by libudev and
    // count for nothing.
    bool any = false;
    for (int i = 0; i < drainLimit; ++i) {
        udev_device* device = udev_monitor_receive_device(monitor_);
        if (device == nullptr) {
            break;
        }
        udev_device_unref(device);
        any = true;
    }
    return any;
}

} // namespace vantrel
