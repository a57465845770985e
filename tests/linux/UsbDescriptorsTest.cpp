#include "app/linux/UsbDescriptors.h"

#include "app/linux/Scanner.h"
#include "tests/linux/FixtureTree.h"

#include <string>

#include <gtest/gtest.h>

namespace vantrel {
namespace {

using Pairs = std::vector<std::pair<int, int>>;

std::string bytes(std::initializer_list<int> values) {
    std::string out;
    for (const int v : values) {
        out += static_cast<char>(v);
    }
    return out;
}

// A device descriptor and a configuration holding one HID keyboard interface, as a real
// keyboard sends them.
const std::string device =
    bytes({18, 1, 0x00, 0x02, 0, 0, 0, 8, 0x6d, 0x04, 0x1c, 0xc3, 0, 1, 1, 2, 0, 1});
const std::string config = bytes({9, 2, 34, 0, 1, 1, 0, 0xa0, 50});
std::string interface(int cls, int subclass) {
    return bytes({9, 4, 0, 0, 1, cls, subclass, 1, 0});
}
const std::string hid = bytes({9, 0x21, 0x11, 0x01, 0, 1, 0x22, 65, 0});
const std::string endpoint = bytes({7, 5, 0x81, 3, 8, 0, 10});

TEST(UsbDescriptors, InterfaceClassesOfHostileBytes) {
    std::string many = device;
    for (int i = 0; i < 7000; ++i) {
        many += interface(i % 2 == 0 ? 3 : 8, 6);
    }
    const struct {
        const char* what;
        std::string bytes;
        Pairs pairs;
    } cases[] = {
        {"a keyboard", device + config + interface(3, 1) + hid + endpoint, {{3, 1}}},
        {"a composite device, each pair once",
         device + config + interface(3, 1) + interface(8, 6) + interface(3, 1),
         {{3, 1}, {8, 6}}},
        {"nothing", "", {}},
        {"a zero length stops the walk", device + bytes({0, 4}) + interface(3, 1), {}},
        {"a length past the end stops it",
         device + interface(3, 1) + bytes({200, 4, 0, 0}),
         {{3, 1}}},
        {"a truncated interface", device + bytes({9, 4, 0, 0, 1, 3}), {}},
        {"an interface record too short",
         device + bytes({6, 4, 0, 0, 1, 3}) + interface(8, 6),
         {{8, 6}}},
        {"thousands of interfaces", many, {{3, 6}, {8, 6}}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(UsbDescriptors::interfaceClasses(c.bytes), c.pairs) << c.what;
    }
}

// A device the kernel holds back has no interface folders: what it will claim comes from its
// descriptors. Once allowed, its interfaces speak for it.
TEST(UsbDescriptors, AHeldBackDeviceClaimsWhatItsDescriptorsSay) {
    FixtureTree tree;
    const auto held = tree.usbDevice("1-2", {.product = "Keys", .authorized = "0"});
    tree.write(held.path + "/descriptors", device + config + interface(3, 1) + hid + endpoint);
    const auto allowed = tree.usbDevice("1-3", {.product = "Stick"});
    tree.usbInterface(allowed, 0, 8, 6);
    tree.write(allowed.path + "/descriptors", device + config + interface(3, 1));

    const auto devices = Scanner::usbDevices();
    ASSERT_EQ(devices.size(), 2u);
    EXPECT_TRUE(devices[0].blocked);
    EXPECT_EQ(devices[0].caps, std::vector<Capability>{Capability::input});
    EXPECT_FALSE(devices[1].blocked);
    EXPECT_EQ(devices[1].caps, std::vector<Capability>{Capability::storage});
}

} // namespace
} // namespace vantrel
