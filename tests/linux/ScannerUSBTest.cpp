#include "app/linux/Scanner.h"
#include "tests/linux/FixtureTree.h"

#include <functional>
#include <string>
#include <sys/stat.h>
#include <vector>

#include <gtest/gtest.h>

namespace vantrel {
namespace {

using C = Capability;

std::vector<std::string> names(const std::vector<USBDevice>& devices) {
    std::vector<std::string> result;
    for (const auto& device : devices) {
        result.push_back(device.name);
    }
    return result;
}

TEST(ScannerUSB, HubWithAKeyboardBehindIt) {
    FixtureTree tree;
    const auto hub = tree.usbDevice(
        "1-1",
        {.vendorID = 0x2109, .productID = 0x2817, .deviceClass = 9, .product = "USB2.0 Hub"});
    tree.usbInterface(hub, 0, 9, 0);
    tree.usbDevice("usb2", {.deviceClass = 9, .product = "xHCI Host Controller"});
    // A programmable keyboard: a boot keyboard and a CDC ACM line for its configuration tool.
    const auto keyboard =
        tree.usbDevice("1-1.2", {.vendorID = 0x046d, .productID = 0xc31c, .product = "Keyboard"});
    const auto hid = tree.usbInterface(keyboard, 0, 3, 1, 1);
    tree.folder(hid.path + "/0003:046D:C31C.0001/input/input5/event5");
    tree.folder(hid.path + "/0003:046D:C31C.0001/hidraw/hidraw0");
    tree.classDevice(tree.usbInterface(keyboard, 1, 2, 2), "tty", "ttyACM0");
    tree.usbInterface(keyboard, 2, 10, 0);

    const auto devices = Scanner::usbDevices();

    ASSERT_EQ(names(devices), (std::vector<std::string>{"USB2.0 Hub", "Keyboard"}));
    const USBDevice& h = devices[0];
    EXPECT_EQ(h.caps, std::vector<Capability>{C::hub});
    EXPECT_TRUE(h.serialPaths.empty());
    EXPECT_EQ(h.locationID, 0x01100000);
    EXPECT_EQ(h.label(), "USB2.0 Hub (2109:2817)");
    const USBDevice& k = devices[1];
    EXPECT_EQ(k.caps, (std::vector<Capability>{C::input, C::serial}));
    EXPECT_EQ(k.serialPaths, std::vector<std::string>{"/dev/ttyACM0"});
    EXPECT_EQ(k.locationID, 0x01120000);
    EXPECT_EQ(k.vendorID, 0x046d);
    EXPECT_EQ(k.productID, 0xc31c);
    EXPECT_NE(h.id, k.id);

    // The id is the inode of the device's link in the bus folder, which the kernel makes anew for
    // every connection; an unchanged machine scans the same.
    struct stat info {};
    ASSERT_EQ(::lstat(tree.at("/sys/bus/usb/devices/1-1").c_str(), &info), 0);
    EXPECT_EQ(h.id, info.st_ino);
    EXPECT_EQ(Scanner::usbDevices(), devices);
}

// One device built by `build`, and what its record must say.
struct DeviceCase {
    const char* what;
    std::function<void(FixtureTree&)> build;
    std::function<void(const USBDevice&)> check;
};

class ScannerUSBDevice : public testing::TestWithParam<DeviceCase> {};

TEST_P(ScannerUSBDevice, Record) {
    FixtureTree tree;
    GetParam().build(tree);
    const auto devices = Scanner::usbDevices();
    ASSERT_EQ(devices.size(), 1u);
    GetParam().check(devices[0]);
}

const DeviceCase deviceCases[] = {
    {"CompositeKeyboardAndStorage",
     [](FixtureTree& t) {
         const auto d = t.usbDevice("1-3", {.product = "Keyboard with card slot"});
         t.usbDisk(t.usbInterface(d, 0, 8, 6, 0x50), "sdc", 1);
         t.usbInterface(d, 1, 255, 0);
         t.usbInterface(d, 2, 3, 1);
         t.usbInterface(d, 3, 3, 0);
     },
     [](const USBDevice& d) {
         EXPECT_EQ(d.caps, (std::vector<Capability>{C::input, C::storage, C::vendor}));
         EXPECT_EQ(d.capsText(), "Keyboard/mouse, Storage, Vendor-specific");
         EXPECT_EQ(d.disks, std::vector<std::string>{"sdc"});
     }},
    {"SerialAdapter",
     [](FixtureTree& t) {
         const auto d = t.usbDevice("1-2", {.vendorID = 0x1a86,
                                            .productID = 0x7523,
                                            .deviceClass = 0xff,
                                            .product = "USB Serial"});
         t.usbSerial(t.usbInterface(d, 0, 255, 1, 2), "ttyUSB0");
     },
     [](const USBDevice& d) {
         EXPECT_EQ(d.label(), "USB Serial (1A86:7523)");
         EXPECT_EQ(d.caps, std::vector<Capability>{C::vendor});
         EXPECT_EQ(d.serialPaths, std::vector<std::string>{"/dev/ttyUSB0"});
         EXPECT_FALSE(d.blocked);
     }},
    {"CardReaderListsTheWholeDiskOnly",
     [](FixtureTree& t) {
         const auto d = t.usbDevice("2-4", {.vendorID = 0x05e3, .productID = 0x0749});
         t.usbDisk(t.usbInterface(d, 0, 8, 6, 0x50), "sdb", 2);
     },
     [](const USBDevice& d) {
         EXPECT_EQ(d.caps, std::vector<Capability>{C::storage});
         EXPECT_EQ(d.disks, std::vector<std::string>{"sdb"});
         EXPECT_EQ(d.locationID, 0x02400000);
     }},
    {"EthernetAdapter",
     [](FixtureTree& t) {
         const auto d = t.usbDevice("1-4", {.vendorID = 0x0bda, .productID = 0x8153});
         t.classDevice(t.usbInterface(d, 0, 2, 6), "net", "enx00e04c680001");
         t.usbInterface(d, 1, 10, 0);
     },
     [](const USBDevice& d) {
         EXPECT_EQ(d.caps, std::vector<Capability>{C::network});
         EXPECT_EQ(d.netNames, std::vector<std::string>{"enx00e04c680001"});
     }},
    {"HeldBackDevice",
     // The kernel configures no interfaces for a device it has not authorized.
     [](FixtureTree& t) { t.usbDevice("1-5", {.deviceClass = 2, .authorized = "0"}); },
     [](const USBDevice& d) {
         EXPECT_TRUE(d.blocked);
         EXPECT_EQ(d.caps, std::vector<Capability>{C::network});
     }},
    {"NoAuthorizationAttributeIsAllowed",
     [](FixtureTree& t) { t.usbDevice("1-5", {.authorized = std::nullopt}); },
     [](const USBDevice& d) { EXPECT_FALSE(d.blocked); }},
    {"NoStringsAtAll", [](FixtureTree& t) { t.usbDevice("1-6"); },
     [](const USBDevice& d) {
         EXPECT_EQ(d.name, "Unknown USB device");
         EXPECT_EQ(d.vendor, "Unknown vendor");
         EXPECT_EQ(d.serial, "");
         EXPECT_EQ(d.label(), "Unknown USB device (1234:5678)");
         EXPECT_TRUE(d.caps.empty());
     }},
    {"BlanksTrimmedButALineBreakStays",
     [](FixtureTree& t) {
         t.usbDevice("1-6",
                     {.product = " \tMy Keyboard \t", .manufacturer = "   ", .serial = " 00A1 "});
     },
     [](const USBDevice& d) {
         EXPECT_EQ(d.name, "My Keyboard");
         EXPECT_EQ(d.vendor, "");
         EXPECT_EQ(d.serial, " 00A1 ");
     }},
    {"OwnTrailingLineFeedKept",
     // The device's own string ends in a line feed; the kernel adds one more.
     [](FixtureTree& t) {
         t.usbDevice("1-6", {.product = " Pad\n", .manufacturer = "\xC3\xA9 Co\xFF"});
     },
     [](const USBDevice& d) {
         EXPECT_EQ(d.name, "Pad\n");
         EXPECT_EQ(d.vendor, "\xC3\xA9 Co\xEF\xBF\xBD");
     }},
    {"ClassWithoutSubclass",
     [](FixtureTree& t) {
         const auto d = t.usbDevice("1-7", {.deviceClass = 2, .deviceSubClass = std::nullopt});
         t.usbInterface(d, 0, 1, std::nullopt);
     },
     [](const USBDevice& d) {
         EXPECT_EQ(d.caps, (std::vector<Capability>{C::network, C::audio}));
     }},
    {"NoUeventFile",
     [](FixtureTree& t) {
         t.usbDevice(
             "1-7",
             {.vendorID = 0x0781, .productID = 0x5581, .deviceClass = 0xe0, .uevent = false});
     },
     [](const USBDevice& d) {
         EXPECT_EQ(d.vendorID, 0x0781);
         EXPECT_EQ(d.productID, 0x5581);
         EXPECT_EQ(d.caps, std::vector<Capability>{C::network});
     }},
    {"InterfaceWithoutClassStillWalked",
     [](FixtureTree& t) {
         const auto d = t.usbDevice("1-8");
         t.usbSerial(t.usbInterface(d, 0, std::nullopt, std::nullopt), "ttyUSB3");
     },
     [](const USBDevice& d) {
         EXPECT_TRUE(d.caps.empty());
         EXPECT_EQ(d.serialPaths, std::vector<std::string>{"/dev/ttyUSB3"});
     }},
    {"ClassDevicesOfEveryInterfaceSorted",
     [](FixtureTree& t) {
         const auto d = t.usbDevice("1-8");
         const auto first = t.usbInterface(d, 0, 2, 2);
         t.classDevice(first, "tty", "ttyACM1");
         t.classDevice(first, "net", "usb1");
         t.classDevice(first, "block", "sde");
         const auto second = t.usbInterface(d, 1, 2, 2);
         t.classDevice(second, "tty", "ttyACM0");
         t.classDevice(second, "net", "usb0");
         t.classDevice(second, "block", "sdd");
         t.classDevice(t.usbInterface(d, 2, 2, 2), "tty", "ttyACM2");
     },
     [](const USBDevice& d) {
         EXPECT_EQ(d.serialPaths,
                   (std::vector<std::string>{"/dev/ttyACM0", "/dev/ttyACM1", "/dev/ttyACM2"}));
         EXPECT_EQ(d.netNames, (std::vector<std::string>{"usb0", "usb1"}));
         EXPECT_EQ(d.disks, (std::vector<std::string>{"sdd", "sde"}));
     }},
    {"OnlyClassDevicesTheDeviceMade",
     [](FixtureTree& t) {
         const auto d = t.usbDevice("1-2");
         const auto interface = t.usbInterface(d, 0, 2, 2);
         // Nine levels below the device is as deep as a class device is looked for.
         t.classDevice({"", interface.path + "/a/b/c/d/e/f"}, "tty", "ttyNine");
         t.classDevice({"", interface.path + "/a/b/c/d/e/f/g"}, "tty", "ttyTen");
         t.classDevice({"", interface.path + "/sound/card1"}, "net", "inSound");
         t.classDevice({"", interface.path + "/1-2-port1"}, "net", "inPort");
         t.classDevice({"", interface.path + "/tty/x"}, "net", "inTTY");
         t.classDevice({"", "/sys/devices/platform/serial8250"}, "tty", "ttyS0");
         t.classDevice({"", "/sys/devices/pci0000:00/0000:00:1f.6"}, "net", "eno1");
         t.classDevice({"", "/sys/devices/virtual"}, "block", "loop0");
     },
     [](const USBDevice& d) {
         EXPECT_EQ(d.serialPaths, std::vector<std::string>{"/dev/ttyNine"});
         EXPECT_TRUE(d.netNames.empty());
         EXPECT_TRUE(d.disks.empty());
     }},
    {"ClassLinksWrittenOddlyStillCount",
     [](FixtureTree& t) {
         const auto d = t.usbDevice("1-6");
         const auto interface = t.usbInterface(d, 0, 2, 2);
         t.folder(interface.path + "/tty/ttyACM3");
         t.link("/sys/class/tty/ttyACM3",
                "../.." + interface.path.substr(4) + "/x/../tty/./ttyACM3");
         t.folder(interface.path + "/net/usb3");
         t.link("/sys/class/net/usb3", t.at(interface.path + "/net/usb3").string());
     },
     [](const USBDevice& d) {
         EXPECT_EQ(d.serialPaths, std::vector<std::string>{"/dev/ttyACM3"});
         EXPECT_EQ(d.netNames, std::vector<std::string>{"usb3"});
     }},
    {"LinksAreNotFollowed",
     [](FixtureTree& t) {
         const auto d = t.usbDevice("1-9");
         const auto interface = t.usbInterface(d, 0, 3, 0);
         t.link(interface.path + "/loop", "..");
         t.link(interface.path + "/tty", "../../../../../../class/tty");
         t.folder("/sys/class/tty/ttyS0");
         // Odd entries in the class folders: a link to itself, one far above the root, one
         // whose name is not its folder's, one too long to be a path.
         t.link("/sys/class/tty/ttyLoop", "ttyLoop");
         t.link("/sys/class/net/up", std::string(3000, '.') + "/.." + std::string(600, '/'));
         t.link("/sys/class/tty/ttyOther", "../.." + interface.path.substr(4) + "/tty/ttyUSB9");
         t.folder(interface.path + "/tty/ttyUSB9");
     },
     [](const USBDevice& d) {
         EXPECT_EQ(d.caps, std::vector<Capability>{C::input});
         EXPECT_TRUE(d.serialPaths.empty());
     }},
};

INSTANTIATE_TEST_SUITE_P(, ScannerUSBDevice, testing::ValuesIn(deviceCases),
                         [](const auto& info) { return std::string(info.param.what); });

TEST(ScannerUSB, LocationFromThePortPath) {
    const struct {
        const char* name;
        std::int64_t location;
    } cases[] = {
        {"1-1.4.2", 0x01142000},         {"3-2", 0x03200000},           {"1-16", 0x01F00000},
        {"2-1.2.3.4.5.6.7", 0x02123456}, {"1-1.15.16.200", 0x011FFF00},
    };
    for (const auto& c : cases) {
        FixtureTree tree;
        tree.usbDevice(c.name);
        const auto devices = Scanner::usbDevices();
        ASSERT_EQ(devices.size(), 1u) << c.name;
        EXPECT_EQ(devices[0].locationID, c.location) << c.name;
    }
}

TEST(ScannerUSB, EqualLocationsKeepTheOrderOfTheWalk) {
    FixtureTree tree;
    // Ports above 15 all read as 15; made in reverse, listed by name.
    tree.usbDevice("1-17", {.product = "second"});
    tree.usbDevice("1-16", {.product = "first"});
    tree.usbDevice("1-2", {.product = "before"});
    tree.usbDevice("2-1", {.product = "other bus"});
    EXPECT_EQ(names(Scanner::usbDevices()),
              (std::vector<std::string>{"before", "first", "second", "other bus"}));
}

TEST(ScannerUSB, NothingToList) {
    FixtureTree tree;
    EXPECT_TRUE(Scanner::usbDevices().empty()) << "no USB bus at all";
    tree.usbDevice("usb1");
    tree.usbDevice("usb2");
    EXPECT_TRUE(Scanner::usbDevices().empty()) << "root hubs only";
}

TEST(ScannerUSB, DevicesGoingAwayDuringTheScan) {
    FixtureTree tree;
    tree.usbDevice("1-1", {.product = "stays"});
    // Unplugged between the listing and the resolving of the link.
    const auto gone = tree.usbDevice("1-2", {.product = "gone"});
    tree.remove(gone.path);
    // Unplugged while its folder was being read: only the folder is left.
    const auto going = tree.usbDevice("1-3", {.product = "going"});
    tree.remove(going.path);
    tree.folder(going.path);

    const auto devices = Scanner::usbDevices();
    ASSERT_EQ(names(devices), (std::vector<std::string>{"stays", "Unknown USB device"}));
    EXPECT_EQ(devices[1].locationID, 0x01300000);
    EXPECT_TRUE(devices[1].caps.empty());
}

} // namespace
} // namespace vantrel
