#include "app/linux/HostFiles.h"
#include "app/linux/InputCache.h"
#include "app/linux/Scanner.h"
#include "tests/linux/FixtureTree.h"

#include <cstdio>
#include <filesystem>
#include <sys/stat.h>

#include <gtest/gtest.h>

namespace vantrel {
namespace {

// Event-code bitmaps as sysfs prints them, 64-bit words, the most significant first.
constexpr const char* fullKeyboard =
    "1000000000007 ff9f207ac14057ff febeffdfffefffff fffffffffffffffe";
constexpr const char* mouseButtons = "1f0000 0 0 0 0";     // BTN_LEFT … BTN_EXTRA
constexpr const char* touchpadKeys = "e520 10000 0 0 0 0"; // BTN_TOOL_FINGER …, BTN_LEFT
constexpr const char* touchscreenKeys = "400 0 0 0 0 0";   // BTN_TOUCH only

// The folders input devices hang below on a real machine.
constexpr const char* ps2 = "/sys/devices/platform/i8042/serio0";
constexpr const char* uhid = "/sys/devices/virtual/misc/uhid/0005:046D:B025.0004";
constexpr const char* i2c =
    "/sys/devices/platform/AMDI0010:01/i2c-1/i2c-ELAN0001:00/0018:04F3:3140.0003";

struct Input {
    std::string parent;
    int number = 0; // inputN with its eventN
    int bus = 3;
    int vendor = 0;
    int product = 0;
    std::optional<std::string> name;
    std::string key = "0";
    std::string rel = "0";
    std::string abs = "0";
};

std::string hex4(int value) {
    char text[8];
    std::snprintf(text, sizeof text, "%04x", value);
    return text;
}

std::string addInput(FixtureTree& tree, const Input& in) {
    const std::string n = std::to_string(in.number);
    const std::string path = in.parent + "/input/input" + n;
    tree.attribute(path + "/name", in.name.value_or(""));
    tree.attribute(path + "/id/bustype", hex4(in.bus));
    tree.attribute(path + "/id/vendor", hex4(in.vendor));
    tree.attribute(path + "/id/product", hex4(in.product));
    tree.attribute(path + "/capabilities/key", in.key);
    tree.attribute(path + "/capabilities/rel", in.rel);
    tree.attribute(path + "/capabilities/abs", in.abs);
    tree.attribute(path + "/event" + n + "/dev", "13:" + std::to_string(64 + in.number));
    tree.link("/sys/class/input/input" + n, "../../" + path.substr(5));
    tree.link("/sys/class/input/event" + n, "../../" + path.substr(5) + "/event" + n);
    return path;
}

// The folder of a HID device on interface 0 of a new USB device `name`.
std::string usbHID(FixtureTree& tree, const std::string& name, int vendor, int product) {
    const auto device = tree.usbDevice(name, {.vendorID = vendor, .productID = product});
    const auto interface = tree.usbInterface(device, 0, 3, 1, 1);
    char hid[32];
    std::snprintf(hid, sizeof hid, "/0003:%04X:%04X.0001", vendor, product);
    return interface.path + hid;
}

TEST(ScannerInputs, listsKeyboardsAndPointersOfEveryBusExternalFirst) {
    FixtureTree tree;
    const std::string keyboard = usbHID(tree, "1-2", 0x046d, 0xc31c);
    const std::string receiver = usbHID(tree, "1-3", 0x046d, 0xc52b);
    addInput(tree, {ps2, 3, 0x11, 1, 1, "AT Translated Set 2 keyboard", fullKeyboard});
    addInput(tree, {keyboard, 4, 3, 0x046d, 0xc31c, "Logitech USB Keyboard", fullKeyboard});
    // A receiver: a mouse node, a keyboard node and a consumer-control node.
    addInput(tree, {receiver, 5, 3, 0x046d, 0xc52b, "Logitech USB Receiver", mouseButtons, "903"});
    addInput(tree, {receiver, 6, 3, 0x046d, 0xc52b, "Logitech USB Receiver", fullKeyboard});
    addInput(tree, {receiver, 7, 3, 0x046d, 0xc52b, "Logitech USB Receiver Consumer Control",
                    "1f 0 0 0 0 0 0 fffffffffffffffe 0"});
    addInput(tree, {uhid, 8, 5, 0x046d, 0xb025, "MX Anywhere 3", mouseButtons, "903"});
    addInput(tree, {i2c, 9, 0x18, 0x04f3, 0x3140, "ELAN0001:00 04F3:3140 Touchpad", touchpadKeys,
                    "0", "660800011000003"});
    addInput(tree, {i2c, 10, 0x18, 0x04f3, 0x3140, "Touchscreen", touchscreenKeys, "0", "3"});
    addInput(tree, {"/sys/devices/LNXSYSTM:00/LNXPWRBN:00", 11, 0x19, 0, 1, "Power Button",
                    "10000000000000 0"});
    addInput(tree, {"/sys/devices/virtual", 12, 6, 0, 0, std::nullopt, "0", "3"});

    const std::vector<InputDevice> expected{
        {"Logitech USB Keyboard", "USB", 0x046d, 0xc31c, false, "Keyboard"},
        {"Logitech USB Receiver", "USB", 0x046d, 0xc52b, false, "Keyboard"},
        {"MX Anywhere 3", "Bluetooth", 0x046d, 0xb025, false, "Mouse/trackpad"},
        {"Unknown input device", "Virtual", 0, 0, false, "Mouse/trackpad"},
        {"AT Translated Set 2 keyboard", "PS/2", 1, 1, true, "Keyboard"},
        {"ELAN0001:00 04F3:3140 Touchpad", "I2C", 0x04f3, 0x3140, true, "Mouse/trackpad"},
    };
    EXPECT_EQ(Scanner::inputDevices(), expected);
}

TEST(ScannerInputs, aKeyboardWinsItsKeyWhicheverNodeComesFirst) {
    for (bool keyboardFirst : {true, false}) {
        FixtureTree tree;
        const std::string receiver = usbHID(tree, "1-3", 0x046d, 0xc52b);
        Input mouse{receiver,   keyboardFirst ? 2 : 1, 3,  0x046d, 0xc52b,
                    "Receiver", mouseButtons,          "3"};
        Input keys{receiver, keyboardFirst ? 1 : 2, 3, 0x046d, 0xc52b, "Receiver", fullKeyboard};
        addInput(tree, mouse);
        addInput(tree, keys);
        const auto devices = Scanner::inputDevices();
        ASSERT_EQ(devices.size(), 1U) << keyboardFirst;
        EXPECT_EQ(devices[0].kind, "Keyboard") << keyboardFirst;
    }
}

TEST(ScannerInputs, readsEventCodeBitmapsWordByWord) {
    const struct {
        const char* key;
        const char* rel;
        const char* abs;
        const char* kind; // empty: not listed
    } cases[] = {
        {"fffffffffffffffe", "0", "0", "Keyboard"},
        {"1 0 fffffffffffffffe", "0", "0", "Keyboard"}, // zero words in the middle are printed
        {"fffbfffffffffffe", "0", "0", ""},             // KEY_M (50) missing
        {"fffffffffffffffe 0", "0", "0", ""},           // the letters' bits one word too high
        {"1fffffffffffffffe", "0", "0", ""},            // a word longer than 64 bits
        {"ffffffffffffffxe", "0", "0", ""},
        {"", "1", "0", ""}, // REL_X without REL_Y
        {"", "3", "0", "Mouse/trackpad"},
        {"70000 0 0 0 0", "0", "3", "Mouse/trackpad"}, // an absolute pointer with buttons
        {"70000 0 0 0", "0", "3", ""},                 // the buttons' word missing
        {"ffff00000000 0 0 0 0", "0", "3", ""},        // a joystick
    };
    for (const auto& c : cases) {
        FixtureTree tree;
        addInput(tree, {ps2, 0, 0x11, 1, 1, "Device", c.key, c.rel, c.abs});
        const auto devices = Scanner::inputDevices();
        EXPECT_EQ(devices.empty() ? "" : devices[0].kind, c.kind)
            << c.key << " / " << c.rel << " / " << c.abs;
    }
}

TEST(ScannerInputs, keyboardNodesGiveEachKeyboardItsEventDeviceAndFolderInode) {
    FixtureTree tree;
    const std::string receiver = usbHID(tree, "1-3", 0x046d, 0xc52b);
    const std::string keyboardFolder =
        addInput(tree, {receiver, 6, 3, 0x046d, 0xc52b, "Receiver", fullKeyboard});
    addInput(tree, {receiver, 5, 3, 0x046d, 0xc52b, "Receiver", mouseButtons, "3"});
    const std::string builtIn = addInput(tree, {ps2, 3, 0x11, 1, 1, std::nullopt, fullKeyboard});

    const auto nodes = Scanner::keyboardNodes();
    ASSERT_EQ(nodes.size(), 2U);
    struct stat info {};
    ASSERT_EQ(::stat(tree.at(builtIn).c_str(), &info), 0);
    EXPECT_EQ(nodes[0].registryID, info.st_ino);
    EXPECT_EQ(nodes[0].name, "");
    EXPECT_TRUE(nodes[0].builtIn);
    EXPECT_EQ(nodes[0].eventPaths, std::vector<std::string>{"/dev/input/event3"});
    ASSERT_EQ(::stat(tree.at(keyboardFolder).c_str(), &info), 0);
    EXPECT_EQ(nodes[1].registryID, info.st_ino);
    EXPECT_EQ(nodes[1].name, "Receiver");
    EXPECT_EQ(nodes[1].eventPaths, std::vector<std::string>{"/dev/input/event6"});
}

TEST(ScannerInputs, theCacheReadsADeviceOnceAndAfreshWhenItsFolderIsMadeAgain) {
    FixtureTree tree;
    const std::string keyboard = usbHID(tree, "1-2", 0x046d, 0xc31c);
    addInput(tree, {keyboard, 4, 3, 0x046d, 0xc31c, "Old Keyboard", fullKeyboard});
    addInput(tree, {ps2, 3, 0x11, 1, 1, "Mouse", mouseButtons, "3"});
    addInput(tree, {ps2, 5, 0x11, 1, 1, "Power Button", "10000000000000 0"});
    Scanner::InputCache cache;
    const auto first = Scanner::inputDevices(cache);
    EXPECT_EQ(first, Scanner::inputDevices());
    EXPECT_EQ(cache.size(), 3U);

    const std::uint64_t before = HostFiles::opens();
    EXPECT_EQ(Scanner::inputDevices(cache), first);
    const auto keyboards = Scanner::keyboardNodes(cache);
    EXPECT_EQ(HostFiles::opens(), before) << "a steady scan opened an input file";
    const auto fresh = Scanner::keyboardNodes();
    ASSERT_EQ(keyboards.size(), 1U);
    ASSERT_EQ(fresh.size(), 1U);
    EXPECT_EQ(keyboards[0].registryID, fresh[0].registryID);
    EXPECT_EQ(keyboards[0].name, fresh[0].name);
    EXPECT_EQ(keyboards[0].eventPaths, fresh[0].eventPaths);

    // The same inputN made again for another device (its folder and link made while the old ones
    // are there, so that they cannot get the old inodes, as the kernel's do not), and one device
    // gone.
    const std::string other = usbHID(tree, "1-3", 0x046d, 0xc31c);
    std::filesystem::rename(tree.at("/sys/class/input/input4"), tree.at("/old-input4"));
    for (const char* link : {"/sys/class/input/event4", "/sys/class/input/input5"}) {
        tree.remove(link);
    }
    addInput(tree, {other, 4, 3, 0x046d, 0xc31c, "New Keyboard", fullKeyboard});
    tree.remove(keyboard + "/input/input4");
    tree.remove("/old-input4");
    const auto again = Scanner::inputDevices(cache);
    ASSERT_EQ(again, Scanner::inputDevices());
    ASSERT_EQ(again.size(), 2U);
    EXPECT_EQ(again[0].name, "New Keyboard");
    EXPECT_EQ(cache.size(), 2U);

    // A keyboard whose event device registers after it was read gets it at the next scan.
    const std::string late = addInput(tree, {other, 7, 3, 1, 2, "Late Keyboard", fullKeyboard});
    tree.remove("/sys/class/input/event7");
    tree.remove(late + "/event7");
    ASSERT_EQ(Scanner::keyboardNodes(cache).size(), 2U);
    tree.attribute(late + "/event7/dev", "13:71");
    tree.link("/sys/class/input/event7", "../../" + late.substr(5) + "/event7");
    const auto withEvent = Scanner::keyboardNodes(cache);
    ASSERT_EQ(withEvent.size(), 2U);
    EXPECT_EQ(withEvent[1].eventPaths, std::vector<std::string>{"/dev/input/event7"});
}

// An input device as a recording without capabilities/ gives it: the bitmaps in its uevent.
std::string addRecorded(FixtureTree& tree, int number, const std::string& name,
                        const std::string& uevent) {
    const std::string n = std::to_string(number);
    const std::string path = std::string(ps2) + "/input/input" + n;
    tree.attribute(path + "/name", name);
    tree.attribute(path + "/uniq", "");
    tree.attribute(path + "/id/bustype", "0011");
    tree.write(path + "/uevent", uevent);
    tree.folder(path + "/event" + n);
    tree.link("/sys/class/input/input" + n, "../../" + path.substr(5));
    return path;
}

TEST(ScannerInputs, withoutCapabilitiesTheUeventGivesTheBitmapsOnlyWhenNoNameAddedLines) {
    const std::string keys = std::string("KEY=") + fullKeyboard + "\n";
    const std::string tail = "PROP=0\nEV=120013\n" + keys + "MSC=10\n";
    const struct {
        std::string name; // the name attribute
        std::string uevent;
        bool keyboard;
    } cases[] = {
        {"AT Keyboard", "PRODUCT=11/1/1/ab41\nNAME=\"AT Keyboard\"\nUNIQ=\"\"\n" + tail, true},
        {"", "PRODUCT=11/1/1/ab41\n" + tail, true}, // no name, no NAME line
        // A name that ends its quote and writes a KEY line of its own, the device having none.
        {"x\"\nEV=3\nKEY=ffffffffffffffff\nX=\"",
         "NAME=\"x\"\nEV=3\nKEY=ffffffffffffffff\nX=\"\"\nPROP=0\nEV=3\n", false},
        // The same lines, as a recording whose name attribute was cut at the line break.
        {"x\"", "NAME=\"x\"\nEV=3\nKEY=ffffffffffffffff\nX=\"\"\nPROP=0\nEV=3\n", false},
        {"x", "NAME=\"x\nPROP=0\nEV=3\n" + keys, false},                // the quote not closed
        {"Other", "NAME=\"AT Keyboard\"\n" + tail, false},              // NAME is not the name
        {"AT Keyboard", "NAME=\"AT Keyboard\"\n" + keys + tail, false}, // KEY twice
        {"AT Keyboard", "NAME=\"AT Keyboard\"\n" + keys + "PROP=0\nEV=3\n", false}, // order
        {"AT Keyboard", "NAME=\"AT Keyboard\"\n" + keys, false},                    // no EV line
        {"AT Keyboard", "NAME=\"AT Keyboard\"\nUNIQ=\"a\"\n" + tail, false},        // not the uniq
        {"AT Keyboard", "NAME=\"AT Keyboard\"\n\"\n" + tail, false}, // a line that is no KEY=
    };
    for (const auto& c : cases) {
        FixtureTree tree;
        addRecorded(tree, 2, c.name, c.uevent);
        const auto devices = Scanner::inputDevices();
        EXPECT_EQ(!devices.empty() && devices[0].kind == "Keyboard", c.keyboard) << c.uevent;
        EXPECT_EQ(Scanner::keyboardNodes().size(), c.keyboard ? 1U : 0U) << c.uevent;
    }
    // capabilities/ where it is there wins over the uevent.
    FixtureTree tree;
    const std::string path = addRecorded(tree, 2, "AT Keyboard", "PROP=0\nEV=3\n" + keys);
    tree.attribute(path + "/capabilities/key", "0");
    EXPECT_TRUE(Scanner::inputDevices().empty());
}

} // namespace
} // namespace vantrel
