// The USB scan over a cache across cycles: the same result as a scan from scratch, nothing opened
// while nothing changes, and a device read afresh when its connection or state changes.
#include "app/linux/UsbCache.h"

#include "app/linux/HostFiles.h"
#include "app/linux/LinuxMachine.h"
#include "app/linux/Scanner.h"
#include "tests/linux/FixtureTree.h"

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace vantrel {
namespace {

using C = Capability;

const USBDevice* named(const std::vector<USBDevice>& devices, std::int64_t location) {
    for (const auto& device : devices) {
        if (device.locationID == location) {
            return &device;
        }
    }
    return nullptr;
}

TEST(UsbCache, OneMachineAcrossCycles) {
    FixtureTree tree;
    const auto hub = tree.usbDevice("1-1", {.deviceClass = 9, .product = "Hub"});
    tree.usbInterface(hub, 0, 9, 0);
    tree.usbInterface(tree.usbDevice("1-1.2", {.product = "Keyboard"}), 0, 3, 1);
    // Held back: its descriptors say it will be a disk.
    const auto held = tree.usbDevice("1-3", {.product = "Stick", .authorized = "0"});
    tree.write(held.path + "/descriptors", std::string("\x09\x04\x00\x00\x02\x08\x06\x50\x00", 9));

    Scanner::UsbCache cache;
    std::uint64_t keyboardID = 0;
    const struct {
        const char* what;
        std::function<void()> change;
        std::function<void(const std::vector<USBDevice>&)> check;
        bool steady; // nothing changed since the last scan: nothing opened
    } cycles[] = {
        {"first", [] {},
         [&](const auto& d) {
             ASSERT_EQ(d.size(), 3U);
             keyboardID = named(d, 0x01120000)->id;
             EXPECT_EQ(named(d, 0x01300000)->caps, std::vector<Capability>{C::storage});
         },
         false},
        {"steady", [] {}, [](const auto& d) { EXPECT_EQ(d.size(), 3U); }, true},
        {"enumerated again under the same name",
         [&] {
             // The old folder and link stay until the new ones are made, so that the new ones
             // have new inodes, as the kernel's do.
             const auto old = tree.at("/sys/devices/pci0000:00/0000:00:14.0/usb1/1-1/1-1.2");
             const auto oldLink = tree.at("/sys/bus/usb/devices/1-1.2");
             std::filesystem::rename(old, old.string() + ".old");
             std::filesystem::rename(oldLink, tree.at("/old-link"));
             tree.remove("/sys/bus/usb/devices/1-1.2:1.0");
             tree.usbInterface(tree.usbDevice("1-1.2", {.product = "Keypad"}), 0, 255, 0);
             std::filesystem::remove_all(old.string() + ".old");
             tree.remove("/old-link");
         },
         [&](const auto& d) {
             const USBDevice* keypad = named(d, 0x01120000);
             ASSERT_NE(keypad, nullptr);
             EXPECT_EQ(keypad->name, "Keypad");
             EXPECT_NE(keypad->id, keyboardID);
             EXPECT_EQ(keypad->caps, std::vector<Capability>{C::vendor});
         },
         false},
        {"allowed, its interfaces appear",
         [&] {
             tree.attribute(held.path + "/authorized", "1");
             tree.usbDisk(tree.usbInterface(held, 0, 8, 6, 0x50), "sdb");
             tree.usbInterface(held, 1, 3, 0);
         },
         [](const auto& d) {
             const USBDevice* stick = named(d, 0x01300000);
             ASSERT_NE(stick, nullptr);
             EXPECT_FALSE(stick->blocked);
             EXPECT_EQ(stick->caps, (std::vector<Capability>{C::input, C::storage}));
             EXPECT_EQ(stick->disks, std::vector<std::string>{"sdb"});
         },
         false},
        {"steady again", [] {}, [](const auto& d) { EXPECT_EQ(d.size(), 3U); }, true},
        {"held back again, its flag alone changed",
         [&] { tree.attribute(held.path + "/authorized", "0"); },
         [](const auto& d) {
             const USBDevice* stick = named(d, 0x01300000);
             ASSERT_NE(stick, nullptr);
             EXPECT_TRUE(stick->blocked);
         },
         false},
        {"unplugged",
         [&] {
             tree.remove(held.path);
             for (const char* link : {"1-3", "1-3:1.0", "1-3:1.1"}) {
                 tree.remove(std::string("/sys/bus/usb/devices/") + link);
             }
             tree.remove("/sys/class/block/sdb");
         },
         [](const auto& d) {
             EXPECT_EQ(d.size(), 2U);
             EXPECT_EQ(named(d, 0x01300000), nullptr);
         },
         true},
    };
    for (const auto& c : cycles) {
        SCOPED_TRACE(c.what);
        c.change();
        const std::uint64_t before = HostFiles::opens();
        const auto devices = Scanner::usbDevices(cache);
        const std::uint64_t opens = HostFiles::opens() - before;
        c.check(devices);
        EXPECT_EQ(devices, Scanner::usbDevices());
        // The ports take the flags this scan read: a device let in leaves its port at once.
        EXPECT_EQ(Scanner::ports(false, &cache), Scanner::ports());
        EXPECT_EQ(cache.size(), devices.size());
        if (c.steady) {
            EXPECT_EQ(opens, 0U); // the flags stay open from the scan that first read them
        }
    }
}

TEST(UsbCache, TheMachineKeepsItsDevicesBetweenCycles) {
    FixtureTree tree;
    for (const char* name : {"1-1", "1-2", "2-1"}) {
        tree.usbInterface(tree.usbDevice(name, {.product = "Pad"}), 0, 3, 0);
    }
    LinuxMachine machine;
    const auto first = machine.usbDevices();
    const std::uint64_t before = HostFiles::opens();
    EXPECT_EQ(machine.usbDevices(), first);
    EXPECT_EQ(HostFiles::opens() - before, 0U);
}

} // namespace
} // namespace vantrel
