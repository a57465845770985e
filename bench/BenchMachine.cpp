// The generated machine of the Linux benchmarks.
#include "bench/BenchMachine.h"

namespace vantrel {

GeneratedMachine::GeneratedMachine(int count) {
    for (int i = 0; i < count; ++i) {
        // Up to 100 devices a bus, behind hubs of ten ports.
        const std::string name = std::to_string(1 + i / 100) + "-" +
                                 std::to_string(1 + (i % 100) / 10) + "." +
                                 std::to_string(1 + i % 10);
        const auto device = tree.usbDevice(name, {.vendorID = 0x1000 + i,
                                                  .productID = i,
                                                  .product = "Device " + std::to_string(i),
                                                  .manufacturer = "Maker",
                                                  .serial = "SN" + std::to_string(i)});
        ++devices;
        for (const char* file : {"uevent", "product", "manufacturer", "serial", "authorized"}) {
            neededFiles.push_back(tree.at(device.path + '/' + file).string());
        }
        const auto usbInterface = [&](const auto&... args) {
            const auto made = tree.usbInterface(args...);
            neededFiles.push_back(tree.at(made.path + "/uevent").string());
            ++interfaces;
            return made;
        };
        switch (i % 5) {
        case 0: // hub
            usbInterface(device, 0, 9, 0);
            break;
        case 1: { // keyboard with media keys
            const auto hid = usbInterface(device, 0, 3, 1, 1);
            tree.folder(hid.path + "/0003:1000:0001.0001/input/input5/event5");
            tree.folder(hid.path + "/0003:1000:0001.0001/hidraw/hidraw0");
            usbInterface(device, 1, 3, 0);
            break;
        }
        case 2: // serial adapter
            tree.usbSerial(usbInterface(device, 0, 255, 1), "ttyUSB" + std::to_string(i));
            break;
        case 3: // card reader with a two-partition card
            tree.usbDisk(usbInterface(device, 0, 8, 6, 0x50), "sd" + std::to_string(i), 2);
            break;
        default: // Ethernet adapter
            tree.classDevice(usbInterface(device, 0, 2, 6), "net",
                             "enx" + std::to_string(100000 + i));
            usbInterface(device, 1, 10, 0);
            usbInterface(device, 2, 255, 255);
            break;
        }
    }
}

void addDesktop(FixtureTree& tree) {
    const char* const letters = "0 0 0 0 fffffffffffffffe"; // every key of a full keyboard
    for (int i = 0; i < 6; ++i) {
        const std::string n = std::to_string(i);
        const std::string path = "/sys/devices/platform/i8042/serio" + n + "/input/input" + n;
        tree.attribute(path + "/name", i % 2 == 0 ? "Keyboard " + n : "Mouse " + n);
        tree.attribute(path + "/id/bustype", i < 2 ? "0011" : "0003");
        tree.attribute(path + "/id/vendor", "046d");
        tree.attribute(path + "/id/product", "c52" + n);
        tree.attribute(path + "/capabilities/key", i % 2 == 0 ? letters : "0");
        tree.attribute(path + "/capabilities/rel", i % 2 == 0 ? "0" : "3");
        tree.attribute(path + "/capabilities/abs", "0");
        tree.link("/sys/class/input/input" + n, "../../" + path.substr(5));
    }
    for (int i = 0; i < 2; ++i) {
        const std::string name = "port" + std::to_string(i);
        const std::string folder = "/sys/devices/platform/USBC000:00/typec/" + name;
        tree.attribute(folder + "/data_role", "[host] device");
        tree.link("/sys/class/typec/" + name, "../../devices/platform/USBC000:00/typec/" + name);
    }
    std::string dev =
        "Inter-|   Receive                                                |  Transmit\n"
        " face |bytes    packets errs drop fifo frame compressed multicast|bytes    "
        "packets errs drop fifo colls carrier compressed\n";
    for (int i = 0; i < 6; ++i) {
        const std::string name = i == 0 ? "wlan0" : "enp0s" + std::to_string(i);
        dev += name + ": 1000 10 0 0 0 0 0 0 2000 20 0 0 0 0 0 0\n";
        const std::string folder = "/sys/devices/virtual/net/" + name;
        tree.attribute(folder + "/type", "1");
        tree.attribute(folder + "/operstate", "up");
        tree.link("/sys/class/net/" + name, "../../devices/virtual/net/" + name);
    }
    tree.write("/proc/net/dev", dev);
    tree.write("/proc/net/route", "Iface\tDestination\tGateway \tFlags\tRefCnt\tUse\tMetric\t"
                                  "Mask\t\tMTU\tWindow\tIRTT\nwlan0\t00000000\t0101A8C0\t0003\t0\t"
                                  "0\t600\t00000000\t0\t0\t0\n");
    tree.write("/etc/resolv.conf", "nameserver 192.168.1.1\n");
}

} // namespace vantrel
