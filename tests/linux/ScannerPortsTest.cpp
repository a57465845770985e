#include "app/linux/Scanner.h"
#include "tests/linux/FixtureTree.h"

#include <filesystem>

#include <gtest/gtest.h>

namespace vantrel {
namespace {

namespace fs = std::filesystem;

void relativeLink(FixtureTree& tree, const std::string& at, const std::string& target) {
    tree.link(at, fs::path(target).lexically_relative(fs::path(at).parent_path()).string());
}

void peers(FixtureTree& tree, const std::string& a, const std::string& b) {
    relativeLink(tree, a + "/peer", b);
    relativeLink(tree, b + "/peer", a);
}

// Type-C connector portN, with a partner when something is plugged in.
std::string typeC(FixtureTree& tree, int n, bool partner) {
    const std::string name = "port" + std::to_string(n);
    const std::string folder = "/sys/devices/platform/USBC000:00/typec/" + name;
    tree.attribute(folder + "/data_role", "[host] device");
    relativeLink(tree, "/sys/class/typec/" + name, folder);
    if (partner) {
        tree.attribute(folder + "/" + name + "-partner/supports_usb_power_delivery", "yes");
        relativeLink(tree, "/sys/class/typec/" + name + "-partner",
                     folder + "/" + name + "-partner");
    }
    return folder;
}

// The links between a connector and a root-hub port it is wired to.
void wire(FixtureTree& tree, const std::string& connector, const std::string& port) {
    relativeLink(tree, connector + "/" + fs::path(port).filename().string(), port);
    relativeLink(tree, port + "/connector", connector);
}

TEST(ScannerPorts, listsTypeCConnectorsAndHotPlugRootPortsOncePerPhysicalPort) {
    FixtureTree tree;
    tree.rootHubFolder(1);
    tree.rootHubFolder(2);
    // USB-C 1: a USB 3 stick. USB-C 2: a charger, no USB device.
    const std::string c0 = typeC(tree, 0, true);
    const std::string c0usb2 = tree.hubPort(1, 1, "hotplug");
    const std::string c0usb3 = tree.hubPort(2, 1, "hotplug");
    peers(tree, c0usb2, c0usb3);
    wire(tree, c0, c0usb2);
    wire(tree, c0, c0usb3);
    tree.usbDevice("2-1");
    const std::string c1 = typeC(tree, 1, true);
    wire(tree, c1, tree.hubPort(1, 2, "hotplug"));
    // A USB 3 hub with a keyboard in a USB-A port: the hub shows on both buses.
    peers(tree, tree.hubPort(1, 3, "hotplug"), tree.hubPort(2, 3, "hotplug"));
    tree.usbDevice("1-3");
    tree.usbDevice("2-3");
    tree.usbDevice("1-3.4");
    // The built-in camera's port and an unused one are not physical ports.
    tree.hubPort(1, 4, "hardwired");
    tree.usbDevice("1-4");
    tree.hubPort(1, 5, "not used");
    tree.hubPort(1, 6, "hotplug");

    const std::vector<PortInfo> expected{
        {"Port-USB port 1-3", "USB port 1-3", true, 3, "Not Required", false},
        {"Port-USB port 1-6", "USB port 1-6", false, 0, std::nullopt, false},
        {"Port-USB-C@1", "USB-C port 1", true, 1, "Not Required", false},
        {"Port-USB-C@2", "USB-C port 2", true, 1, std::nullopt, false},
    };
    EXPECT_EQ(Scanner::ports(), expected);
}

TEST(ScannerPorts, authorizationFollowsTheHubPolicyAndTheDevicesHeldBack) {
    const struct {
        std::optional<std::string> policy; // the root hub's authorized_default
        std::optional<std::string> authorized;
        std::optional<std::string> authorization;
        bool pending;
    } cases[] = {
        {"1", "1", "Not Required", false},        {"0", "1", "Authorized", false},
        {"2", "1", "Authorized", false},          {"0", "0", "Not Authorized", true},
        {"2", "0", "Not Authorized", true},       {"1", "0", "Not Required", true},
        {std::nullopt, "1", std::nullopt, false},
    };
    for (const auto& c : cases) {
        FixtureTree tree;
        tree.rootHubFolder(1, c.policy);
        tree.hubPort(1, 2, "hotplug");
        tree.usbDevice("1-2", {.authorized = c.authorized});
        const auto ports = Scanner::ports();
        ASSERT_EQ(ports.size(), 1U);
        EXPECT_EQ(ports[0].authorization, c.authorization)
            << c.policy.value_or("-") << "/" << c.authorized.value_or("-");
        EXPECT_EQ(ports[0].pending, c.pending)
            << c.policy.value_or("-") << "/" << c.authorized.value_or("-");
        EXPECT_TRUE(ports[0].connected);
    }
}

TEST(ScannerPorts, aHeldBackDeviceYieldsAPortWhateverFoldersTheFirmwareGives) {
    const struct {
        const char* what;
        std::optional<std::string> connectType; // of usb1-port1; none: no port folder at all
        std::string authorized;                 // of 1-1.5.4.2, behind a hub in that port
        bool policyEngine;
        std::vector<PortInfo> expected;
    } cases[] = {
        {"unknown type, held back",
         "unknown",
         "0",
         false,
         {{"Port-USB port 1-1", "USB port 1-1", true, 2, std::nullopt, true}}},
        {"no folder, held back",
         std::nullopt,
         "0",
         true,
         {{"Port-USB port 1-1", "USB port 1-1", true, 2, "Not Authorized", true}}},
        {"no folder, let in by the daemon",
         std::nullopt,
         "1",
         true,
         {{"Port-USB port 1-1", "USB port 1-1", true, 2, "Authorized", false}}},
        {"hardwired, held back",
         "hardwired",
         "0",
         true,
         {{"Port-USB port 1-1", "USB port 1-1", true, 2, "Not Authorized", true}}},
        {"hardwired, let in", "hardwired", "1", true, {}},
        {"not used, held back",
         "not used",
         "0",
         false,
         {{"Port-USB port 1-1", "USB port 1-1", true, 2, std::nullopt, true}}},
    };
    for (const auto& c : cases) {
        FixtureTree tree;
        tree.rootHubFolder(1, std::nullopt);
        if (c.connectType) {
            tree.hubPort(1, 1, c.connectType->c_str());
        }
        tree.usbDevice("1-1");
        tree.usbDevice("1-1.5.4.2", {.authorized = c.authorized});
        EXPECT_EQ(Scanner::ports(c.policyEngine), c.expected) << c.what;
    }
}

} // namespace
} // namespace vantrel
