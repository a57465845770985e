// The snapshot and self-test reports over fixture machines and stub tools, compared as whole
// texts, and the probe of the disk holding "/" they rely on.
#include "app/shell/Reports.h"

#include "app/linux/Actions.h"
#include "tests/linux/StubTool.h"

#include <cstdio>
#include <filesystem>
#include <optional>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

#include <gtest/gtest.h>

namespace vantrel {
namespace {

namespace fs = std::filesystem;

// ---- Fixture helpers --------------------------------------------------------------------------

// An input device below `parent` with the event codes of a full keyboard or of a mouse.
void addInput(FixtureTree& tree, const std::string& parent, int number, int bus,
              const std::string& name, bool keyboard) {
    const std::string n = std::to_string(number);
    const std::string path = parent + "/input/input" + n;
    char busText[8];
    std::snprintf(busText, sizeof busText, "%04x", bus);
    tree.attribute(path + "/name", name);
    tree.attribute(path + "/id/bustype", busText);
    tree.attribute(path + "/id/vendor", "046d");
    tree.attribute(path + "/id/product", "b025");
    tree.attribute(path + "/capabilities/key",
                   keyboard ? "1000000000007 ff9f207ac14057ff febeffdfffefffff fffffffffffffffe"
                            : "1f0000 0 0 0 0");
    tree.attribute(path + "/capabilities/rel", keyboard ? "0" : "903");
    tree.attribute(path + "/capabilities/abs", "0");
    tree.attribute(path + "/event" + n + "/dev", "13:" + std::to_string(64 + number));
    tree.link("/sys/class/input/input" + n, "../../" + path.substr(5));
}

// A block device folder with its device number, its /sys/block and /sys/dev/block links, and
// partitions (name, number) each with its /sys/dev/block link.
void blockDevice(const FixtureTree& tree, const std::string& name, const std::string& number,
                 const std::vector<std::pair<std::string, std::string>>& partitions = {}) {
    const std::string devices = "devices/pci0000:00/host0/block/" + name;
    tree.attribute("/sys/" + devices + "/dev", number);
    tree.link("/sys/block/" + name, "../" + devices);
    tree.link("/sys/dev/block/" + number, "../../" + devices);
    int index = 0;
    for (const auto& [part, partNumber] : partitions) {
        tree.attribute("/sys/" + devices + "/" + part + "/dev", partNumber);
        tree.attribute("/sys/" + devices + "/" + part + "/partition", std::to_string(++index));
        tree.link("/sys/dev/block/" + partNumber, "../../" + devices + "/" + part);
    }
}

std::string mountLine(int id, const std::string& number, const std::string& point,
                      const std::string& type) {
    return std::to_string(id) + " 1 " + number + " / " + point + " rw - " + type + " src rw\n";
}

std::string snapshot() {
    std::ostringstream out;
    Snapshot::print(out);
    return out.str();
}

std::string selfTest() {
    std::ostringstream out;
    SelfTest::run(out);
    return out.str();
}

// ---- Snapshot ---------------------------------------------------------------------------------

TEST(Snapshot, emptyMachinePrintsTheThreeHeadings) {
    FixtureTree tree;
    EXPECT_EQ(snapshot(), "USB devices:\nKeyboards and mice:\nPorts:\n");
}

TEST(Snapshot, wholeMachine) {
    FixtureTree tree;
    tree.rootHubFolder(1, "0");
    for (int port : {1, 2, 3}) {
        tree.hubPort(1, port, "hotplug");
    }
    tree.rootHubFolder(2, std::nullopt);
    tree.hubPort(2, 4, "hotplug");

    const auto hub =
        tree.usbDevice("1-1", {.deviceClass = 9, .product = "Hub", .manufacturer = "Terminus"});
    tree.usbInterface(hub, 0, 9);
    const auto adapter = tree.usbDevice("1-1.2", {.vendorID = 0x067b,
                                                  .productID = 0x2303,
                                                  .product = "USB-Serial Controller",
                                                  .manufacturer = "Prolific"});
    tree.usbSerial(tree.usbInterface(adapter, 0, 0xff), "ttyUSB0");
    const auto ethernet = tree.usbDevice("1-1.3", {.vendorID = 0x0bda,
                                                   .productID = 0x8153,
                                                   .product = "USB 10/100/1000 LAN",
                                                   .manufacturer = "Realtek"});
    const auto data = tree.usbInterface(ethernet, 0, 2, 6);
    tree.classDevice(data, "net", "enx2");
    tree.classDevice(data, "net", "enx1");
    tree.usbDevice("1-2", {.vendorID = 0x05ac,
                           .productID = 0x024f,
                           .product = "Keyboard",
                           .manufacturer = "Maker",
                           .authorized = "0"});
    const auto stick = tree.usbDevice(
        "1-3",
        {.vendorID = 0x0781, .productID = 0x5581, .product = "Ultra", .manufacturer = "Disks Inc"});
    tree.usbDisk(tree.usbInterface(stick, 0, 8, 6), "sdb", 2);

    addInput(tree, "/sys/devices/platform/i8042/serio0", 3, 0x11, "AT keyboard", true);
    addInput(tree, "/sys/devices/virtual/misc/uhid/0005:046D:B025.0004", 4, 5, "MX Mouse", false);

    EXPECT_EQ(snapshot(), "USB devices:\n"
                          "  Hub (1234:5678) from Terminus: Hub\n"
                          "    USB-Serial Controller (067B:2303) from Prolific: Vendor-specific "
                          "[serial /dev/ttyUSB0]\n"
                          "    USB 10/100/1000 LAN (0BDA:8153) from Realtek: Network "
                          "[network enx1,enx2]\n"
                          "  Keyboard (05AC:024F) from Maker: none reported "
                          "[WAITING FOR APPROVAL]\n"
                          "  Ultra (0781:5581) from Disks Inc: Storage [disks sdb]\n"
                          "Keyboards and mice:\n"
                          "  MX Mouse (Mouse/trackpad, Bluetooth, external)\n"
                          "  AT keyboard (Keyboard, PS/2, built-in)\n"
                          "Ports:\n"
                          "  USB port 1-1: connected, Authorized\n"
                          "  USB port 1-2: connected, Not Authorized, PROMPT SHOWING\n"
                          "  USB port 1-3: connected, Authorized\n"
                          "  USB port 2-4: empty, n/a\n");
}

TEST(Snapshot, deviceLines) {
    USBDevice base;
    base.name = "Dock";
    base.vendor = "Maker";
    base.vendorID = 0x2109;
    base.productID = 0x0817;
    base.locationID = 0x1200000;
    const auto with = [&](auto change) {
        USBDevice device = base;
        change(device);
        return device;
    };
    const struct {
        const char* what;
        USBDevice device;
        std::string line;
    } cases[] = {
        {"behind a root port", base, "  Dock (2109:0817) from Maker: none reported"},
        {"behind one hub", with([](USBDevice& d) { d.locationID = 0x1210000; }),
         "    Dock (2109:0817) from Maker: none reported"},
        {"five hubs deep", with([](USBDevice& d) { d.locationID = 0x3F12345; }),
         "            Dock (2109:0817) from Maker: none reported"},
        {"no location", with([](USBDevice& d) { d.locationID = 0; }),
         "  Dock (2109:0817) from Maker: none reported"},
        {"every note in order", with([](USBDevice& d) {
             d.caps = {Capability::network, Capability::storage};
             d.blocked = true;
             d.disks = {"sdb", "sdc"};
             d.serialPaths = {"/dev/ttyACM0"};
             d.netNames = {"usb0"};
         }),
         "  Dock (2109:0817) from Maker: Network, Storage [WAITING FOR APPROVAL; network usb0; "
         "serial /dev/ttyACM0; disks sdb,sdc]"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Snapshot::text({c.device}, {}, {}),
                  "USB devices:\n" + c.line + "\nKeyboards and mice:\nPorts:\n")
            << c.what;
    }
}

TEST(Snapshot, aNameCannotAddLinesNorReorderThem) {
    FixtureTree tree;
    tree.usbDevice("1-4", {.product = "Stick\u202E\nPorts:\n  USB-C port 9: empty, n/a",
                           .manufacturer = "\x1B[2JMaker\u2067"});
    addInput(tree, "/sys/devices/virtual/misc/uhid/0005:046D:B025.0004", 4, 5,
             "Mouse\n  Fake (Keyboard, USB, built-in)", false);
    EXPECT_EQ(snapshot(), "USB devices:\n"
                          "  StickPorts:  USB-C port 9: empty, n/a (1234:5678) from [2JMaker: none "
                          "reported\n"
                          "Keyboards and mice:\n"
                          "  Mouse  Fake (Keyboard, USB, built-in) (Mouse/trackpad, Bluetooth, "
                          "external)\n"
                          "Ports:\n"
                          "  USB port 1-4: connected, n/a\n");
}

// ---- The disk holding "/" ---------------------------------------------------------------------

TEST(ActionsSystemDisk, findsTheDiskOfTheRootMount) {
    const struct {
        const char* what;
        std::optional<std::string> mountinfo; // none: no mount table
        std::optional<std::string> expected;
    } cases[] = {
        {"partition of a SATA disk", mountLine(22, "8:2", "/", "ext4"), "sda"},
        {"partition of an NVMe disk", mountLine(22, "259:2", "/", "ext4"), "nvme0n1"},
        {"whole disk", mountLine(22, "252:0", "/", "ext4"), "vda"},
        {"overlay", mountLine(22, "0:50", "/", "overlay"), std::nullopt},
        {"number not in sysfs", mountLine(22, "8:5", "/", "ext4"), std::nullopt},
        {"the last mount on / wins",
         mountLine(22, "8:2", "/", "ext4") + mountLine(40, "0:50", "/", "tmpfs"), std::nullopt},
        {"a later mount elsewhere changes nothing",
         mountLine(22, "0:50", "/", "overlay") + mountLine(23, "259:2", "/", "ext4") +
             mountLine(24, "8:2", "/home", "ext4"),
         "nvme0n1"},
        {"nothing on /", mountLine(24, "8:2", "/home", "ext4"), std::nullopt},
        {"no mount table", std::nullopt, std::nullopt},
    };
    for (const auto& c : cases) {
        FixtureTree tree;
        blockDevice(tree, "sda", "8:0", {{"sda1", "8:1"}, {"sda2", "8:2"}});
        blockDevice(tree, "nvme0n1", "259:0", {{"nvme0n1p1", "259:1"}, {"nvme0n1p2", "259:2"}});
        blockDevice(tree, "vda", "252:0");
        if (c.mountinfo) {
            tree.write("/proc/self/mountinfo", *c.mountinfo);
        }
        EXPECT_EQ(Actions::systemDisk(), c.expected) << c.what;
    }
}

// ---- Self-test --------------------------------------------------------------------------------

TEST(SelfTest, everyCheckOnFixtureMachines) {
    enum class Lock { executable, notExecutable, absent };
    const std::string dock = "\xE2\x80\x9CLabDock\xE2\x80\x9D";
    // Only root sees the open files of every user's processes; anyone else is told so.
    const std::string seen = ::geteuid() == 0
                                 ? "; every user's processes are seen\n"
                                 : "; other users' open files cannot be seen here, so a serial "
                                   "port another user holds open goes unnoticed\n";
    const struct {
        const char* what;
        Lock lock;
        bool adapter;                          // a USB network adapter with enx1 and enx2
        std::optional<std::string> connection; // what nmcli answers; none: it fails
        std::string mountinfo;
        bool ttyS0User;
        bool inputFolder;
        bool blockedDevice;
        std::string expected;
    } cases[] = {
        {"everything there", Lock::executable, true, "Lab\nDock",
         mountLine(22, "8:2", "/", "ext4") + mountLine(23, "8:1", "/boot/efi", "vfat"), true, true,
         true,
         "PASS  lock screen available: loginctl lock-session resolved (not called)\n"
         "PASS  network service for enx1: " +
             dock + " (would be paused with an admin prompt)\n" +
             "PASS  network service for enx2: " + dock +
             " (would be paused with an admin prompt)\n" +
             "PASS  mounted volumes readable: sda has 2 volumes\n"
             "PASS  serial port users readable: /proc scan ran; 1 users of /dev/ttyS0" +
             seen +
             "PASS  input monitoring permission: granted\n"
             "PASS  trust prompt detection: prompt showing on USB port 1-2\n"
             "PASS  blocked device detection: Keyboard (05AC:024F)\n"},
        {"nothing there", Lock::absent, true, std::nullopt,
         mountLine(22, "0:50", "/", "overlay") + mountLine(23, "8:1", "/boot/efi", "vfat"), false,
         false, false,
         "FAIL  lock screen available: loginctl lock-session resolved (not called)\n"
         "FAIL  network service for enx1: not found\n"
         "FAIL  network service for enx2: not found\n"
         "FAIL  mounted volumes readable: the root disk has 0 volumes\n"
         "PASS  serial port users readable: /proc scan ran; 0 users of /dev/ttyS0" +
             seen +
             "PASS  input monitoring permission: not granted (keystroke guard off)\n"
             "PASS  trust prompt detection: no prompt showing now\n"
             "PASS  blocked device detection: no devices waiting for approval\n"},
        {"lock tool not executable, no network adapter, root on a whole disk", Lock::notExecutable,
         false, "Wired", mountLine(22, "252:0", "/", "ext4"), false, true, false,
         "FAIL  lock screen available: loginctl lock-session resolved (not called)\n"
         "PASS  mounted volumes readable: vda has 1 volumes\n"
         "PASS  serial port users readable: /proc scan ran; 0 users of /dev/ttyS0" +
             seen +
             "PASS  input monitoring permission: granted\n"
             "PASS  trust prompt detection: no prompt showing now\n"
             "PASS  blocked device detection: no devices waiting for approval\n"},
    };
    for (const auto& c : cases) {
        FixtureTree tree;
        tree.rootHubFolder(1, "0");
        tree.hubPort(1, 1, "hotplug");
        tree.hubPort(1, 2, "hotplug");
        if (c.adapter) {
            const auto ethernet = tree.usbDevice("1-1", {.vendorID = 0x0bda, .productID = 0x8153});
            const auto data = tree.usbInterface(ethernet, 0, 2, 6);
            tree.classDevice(data, "net", "enx1");
            tree.classDevice(data, "net", "enx2");
        }
        if (c.blockedDevice) {
            tree.usbDevice("1-2", {.vendorID = 0x05ac,
                                   .productID = 0x024f,
                                   .product = "Key\u202Eboard",
                                   .authorized = "0"});
        }
        if (c.lock != Lock::absent) {
            stubTool(tree, "/usr/bin/loginctl", 0);
            if (c.lock == Lock::notExecutable) {
                fs::permissions(tree.at("/usr/bin/loginctl"), fs::perms::owner_read);
            }
        }
        answeringTool(tree, "/usr/bin/nmcli", c.connection ? 0 : 10,
                      c.connection.value_or("Error: Device not found.") + "\n");
        blockDevice(tree, "sda", "8:0", {{"sda1", "8:1"}, {"sda2", "8:2"}});
        blockDevice(tree, "vda", "252:0");
        tree.write("/proc/self/mountinfo", c.mountinfo);
        tree.write("/proc/412/comm", "screen\n");
        tree.link("/proc/412/fd/3", c.ttyS0User ? "/dev/ttyS0" : "/dev/ttyS1");
        if (c.inputFolder) {
            tree.folder("/dev/input");
        }

        EXPECT_EQ(selfTest(), c.expected) << c.what;
        // Nothing was run but the questions to NetworkManager.
        EXPECT_TRUE(toolCalls(tree, "/usr/bin/loginctl").empty()) << c.what;
        const ToolCalls asked{{"-g", "GENERAL.CONNECTION", "device", "show", "enx1"},
                              {"-g", "GENERAL.CONNECTION", "device", "show", "enx2"}};
        EXPECT_EQ(toolCalls(tree, "/usr/bin/nmcli"), c.adapter ? asked : ToolCalls{}) << c.what;
    }
}

} // namespace
} // namespace vantrel
