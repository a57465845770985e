#include "tests/linux/FixtureTree.h"

#include <charconv>
#include <cstdio>
#include <fstream>
#include <system_error>

#include <gtest/gtest.h>

namespace fs = std::filesystem;

namespace vantrel {
namespace {

// The host controller the root hubs hang below, as on a common Intel machine.
constexpr std::string_view controller = "/sys/devices/pci0000:00/0000:00:14.0";

std::string hex(int value, int width) {
    char text[16];
    std::snprintf(text, sizeof text, "%0*x", width, value);
    return text;
}

// A fixture that cannot be built is a broken test.
void check(const std::error_code& error, const fs::path& where) {
    if (error) {
        ADD_FAILURE() << "fixture: " << where << ": " << error.message();
    }
}

// The leading decimal number of `text`, 0 when there is none.
int number(std::string_view text) {
    int value = 0;
    std::from_chars(text.data(), text.data() + text.size(), value);
    return value;
}

} // namespace

FixtureTree::FixtureTree() : root_("VANTREL_ROOT", nullptr) {
    root_.set(root().c_str());
}

fs::path FixtureTree::at(std::string_view absolute) const {
    return root() / fs::path(absolute).relative_path();
}

void FixtureTree::write(std::string_view absolute, std::string_view text) const {
    const fs::path file = at(absolute);
    folder(fs::path(absolute).parent_path().string());
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    if (!out) {
        ADD_FAILURE() << "fixture: cannot write " << file;
    }
}

void FixtureTree::attribute(std::string_view absolute, std::string_view value) const {
    write(absolute, std::string(value) + "\n");
}

void FixtureTree::folder(std::string_view absolute) const {
    std::error_code error;
    fs::create_directories(at(absolute), error);
    check(error, at(absolute));
}

void FixtureTree::link(std::string_view absolute, std::string_view target) const {
    folder(fs::path(absolute).parent_path().string());
    std::error_code error;
    fs::create_symlink(target, at(absolute), error);
    check(error, at(absolute));
}

void FixtureTree::remove(std::string_view absolute) const {
    std::error_code error;
    fs::remove_all(at(absolute), error);
    check(error, at(absolute));
}

FixtureTree::Node FixtureTree::rootHub(int bus) {
    const std::string name = "usb" + std::to_string(bus);
    const std::string path = std::string(controller) + "/" + name;
    if (!fs::exists(at(path))) {
        // Root hubs are Linux Foundation devices of the hub class.
        const USBAttributes attributes{.vendorID = 0x1d6b,
                                       .productID = 0x0002,
                                       .deviceClass = 9,
                                       .product = "xHCI Host Controller",
                                       .manufacturer = "Linux 6.1.0 xhci-hcd"};
        usbDevice(name, attributes);
    }
    return Node{name, path};
}

FixtureTree::Node FixtureTree::usbDevice(const std::string& name, const USBAttributes& attributes) {
    // "usbN" is a root hub. "B-P1.P2.P3" lives in the folder of the hub "B-P1.P2", which lives
    // in the folder of "B-P1", which lives in the folder of the root hub usbB.
    int bus = 0;
    std::string devpath = "0";
    std::string path = std::string(controller);
    if (name.starts_with("usb")) {
        bus = number(name.substr(3));
    } else {
        const std::size_t dash = name.find('-');
        bus = number(name.substr(0, dash));
        devpath = name.substr(dash + 1);
        path = rootHub(bus).path;
        for (std::size_t dot = name.find('.', dash); dot != std::string::npos;
             dot = name.find('.', dot + 1)) {
            path += "/" + name.substr(0, dot);
        }
    }
    path += "/" + name;
    const int devnum = nextDevnum_.try_emplace(bus, 1).first->second++;
    folder(path);
    const auto set = [&](const char* file, std::string_view value) {
        attribute(path + "/" + file, value);
    };
    if (attributes.vendorID) {
        set("idVendor", hex(*attributes.vendorID, 4));
    }
    if (attributes.productID) {
        set("idProduct", hex(*attributes.productID, 4));
    }
    set("bcdDevice", "0100");
    if (attributes.deviceClass) {
        set("bDeviceClass", hex(*attributes.deviceClass, 2));
    }
    if (attributes.deviceSubClass) {
        set("bDeviceSubClass", hex(*attributes.deviceSubClass, 2));
    }
    set("bDeviceProtocol", "00");
    set("bNumConfigurations", "1");
    set("busnum", std::to_string(bus));
    set("devnum", std::to_string(devnum));
    set("devpath", devpath);
    set("speed", "480");
    if (attributes.product) {
        set("product", *attributes.product);
    }
    if (attributes.manufacturer) {
        set("manufacturer", *attributes.manufacturer);
    }
    if (attributes.serial) {
        set("serial", *attributes.serial);
    }
    if (attributes.authorized) {
        set("authorized", *attributes.authorized);
    }
    if (attributes.uevent) {
        char busText[8];
        char devText[8];
        std::snprintf(busText, sizeof busText, "%03d", bus);
        std::snprintf(devText, sizeof devText, "%03d", devnum);
        std::string uevent = "MAJOR=189\nMINOR=" + std::to_string((bus - 1) * 128 + devnum - 1) +
                             "\nDEVNAME=bus/usb/" + busText + "/" + devText +
                             "\nDEVTYPE=usb_device\nDRIVER=usb\n";
        if (attributes.vendorID && attributes.productID) {
            uevent += "PRODUCT=" + hex(*attributes.vendorID, 1) + "/" +
                      hex(*attributes.productID, 1) + "/100\n";
        }
        if (attributes.deviceClass && attributes.deviceSubClass) {
            uevent += "TYPE=" + std::to_string(*attributes.deviceClass) + "/" +
                      std::to_string(*attributes.deviceSubClass) + "/0\n";
        }
        uevent += std::string("BUSNUM=") + busText + "\nDEVNUM=" + devText + "\n";
        write(path + "/uevent", uevent);
    }
    set("power/control", "auto");
    set("ep_00/type", "Control");
    link(path + "/subsystem", "../../../../bus/usb");
    link("/sys/bus/usb/devices/" + name, "../../.." + path.substr(4));
    return Node{name, path};
}

FixtureTree::Node FixtureTree::usbInterface(const Node& device, int number, std::optional<int> cls,
                                            std::optional<int> subclass, int protocol) {
    const std::string name = device.name + ":1." + std::to_string(number);
    const std::string path = device.path + "/" + name;
    folder(path);
    if (cls) {
        attribute(path + "/bInterfaceClass", hex(*cls, 2));
    }
    if (subclass) {
        attribute(path + "/bInterfaceSubClass", hex(*subclass, 2));
    }
    attribute(path + "/bInterfaceProtocol", hex(protocol, 2));
    attribute(path + "/bInterfaceNumber", hex(number, 2));
    std::string uevent = "DEVTYPE=usb_interface\n";
    if (cls && subclass) {
        uevent += "INTERFACE=" + std::to_string(*cls) + "/" + std::to_string(*subclass) + "/" +
                  std::to_string(protocol) + "\n";
    }
    write(path + "/uevent", uevent);
    attribute(path + "/power/async", "enabled");
    attribute(path + "/ep_81/type", "Interrupt");
    link("/sys/bus/usb/devices/" + name, "../../.." + path.substr(4));
    return Node{name, path};
}

void FixtureTree::classDevice(const Node& node, const std::string& cls, const std::string& name) {
    const std::string path = node.path + "/" + cls + "/" + name;
    write(path + "/uevent", "DEVNAME=" + name + "\n");
    link(path + "/subsystem", "../../../../class/" + cls);
    classLink(cls, name, path);
}

void FixtureTree::classLink(const std::string& cls, const std::string& name,
                            const std::string& path) const {
    // /sys/class/net/enx… -> ../../devices/pci0000:00/…/net/enx…
    link("/sys/class/" + cls + "/" + name, "../.." + path.substr(4));
}

void FixtureTree::usbSerial(const Node& interface, const std::string& tty) {
    const Node port{tty, interface.path + "/" + tty};
    attribute(port.path + "/port_number", "0");
    classDevice(port, "tty", tty);
}

void FixtureTree::usbDisk(const Node& interface, const std::string& disk, int partitions) {
    const std::string host = std::to_string(nextHost_++);
    const std::string lun = host + ":0:0:0";
    const Node scsi{lun, interface.path + "/host" + host + "/target" + host + ":0:0/" + lun};
    attribute(scsi.path + "/vendor", "Generic ");
    classDevice(scsi, "block", disk);
    attribute(scsi.path + "/block/" + disk + "/size", "62333952");
    for (int i = 1; i <= partitions; ++i) {
        const std::string partition = disk + std::to_string(i);
        const std::string path = scsi.path + "/block/" + disk + "/" + partition;
        attribute(path + "/partition", std::to_string(i));
        classLink("block", partition, path);
    }
}

std::string FixtureTree::rootHubFolder(int bus, const std::optional<std::string>& policy) {
    const std::string name = "usb" + std::to_string(bus);
    if (!std::filesystem::exists(at("/sys/bus/usb/devices/" + name))) {
        usbDevice(name, {.vendorID = 0x1d6b, .productID = 2, .deviceClass = 9});
    }
    const std::filesystem::path real =
        std::filesystem::canonical(at("/sys/bus/usb/devices/" + name));
    const std::string path =
        "/" + real.lexically_relative(std::filesystem::canonical(root())).string();
    if (policy) {
        attribute(path + "/authorized_default", *policy);
    }
    return path;
}

std::string FixtureTree::hubPort(int bus, int port, const char* connectType) {
    const std::string b = std::to_string(bus);
    const std::string folder = rootHubFolder(bus, std::nullopt) + "/" + b + "-0:1.0/usb" + b +
                               "-port" + std::to_string(port);
    attribute(folder + "/connect_type", connectType);
    return folder;
}

} // namespace vantrel
