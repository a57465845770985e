// A small machine in a temporary folder, laid out the way the kernel lays out sysfs and procfs,
// for the Linux probes to read. It points $VANTREL_ROOT at itself for its lifetime, so the real
// probes read it instead of the machine's own files.
//
//     FixtureTree tree;
//     auto hub = tree.usbDevice("1-1", {.vendorID = 0x2109, .deviceClass = 9});
//     tree.usbInterface(hub, 0, 9, 0);
//     auto keyboard = tree.usbDevice("1-1.2", {.product = "Keyboard"});
//     tree.usbInterface(keyboard, 0, 3, 1);
//
// Paths are given as the machine would see them ("/sys/class/input/input3/name"). Builders for
// other parts of the machine go next to the USB ones, on top of write(), folder() and link().
#pragma once

#include "tests/TestSupport.h"

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace vantrel {

// The attributes of one USB device. A missing value means the kernel shows no such attribute.
struct USBAttributes {
    std::optional<int> vendorID = 0x1234;
    std::optional<int> productID = 0x5678;
    std::optional<int> deviceClass = 0;
    std::optional<int> deviceSubClass = 0;
    std::optional<std::string> product = std::nullopt;
    std::optional<std::string> manufacturer = std::nullopt;
    std::optional<std::string> serial = std::nullopt;
    std::optional<std::string> authorized = "1";
    // Whether the device has a uevent file; its PRODUCT and TYPE lines are written only when
    // the values they carry are all present.
    bool uevent = true;
};

class FixtureTree {
  public:
    FixtureTree();
    FixtureTree(const FixtureTree&) = delete;
    FixtureTree& operator=(const FixtureTree&) = delete;

    // The temporary folder that stands for "/".
    const std::filesystem::path& root() const { return folder_.path; }
    // `absolute` ("/sys/bus/usb") inside the tree.
    std::filesystem::path at(std::string_view absolute) const;

    // A file with exactly `text` in it; missing folders on the way are made.
    void write(std::string_view absolute, std::string_view text) const;
    // A sysfs attribute: `value` followed by the line feed the kernel adds.
    void attribute(std::string_view absolute, std::string_view value) const;
    // A folder, with the folders on the way.
    void folder(std::string_view absolute) const;
    // A symbolic link at `absolute` holding `target` as given (relative links stay relative).
    void link(std::string_view absolute, std::string_view target) const;
    // Removes a file, link or folder with everything in it.
    void remove(std::string_view absolute) const;

    // ---- USB --------------------------------------------------------------------------------

    // A device or interface: its kernel name and its real folder ("/sys/devices/…/usb1/1-1").
    struct Node {
        std::string name;
        std::string path;
    };

    // The device named `name` ("<bus>-<ports>", such as "1-1.4"), in the folder of its parent
    // (the hub "1-1" for "1-1.4", the root hub usb1 for "1-1", made on first use), with its
    // attributes, uevent, power/ and ep_00/ folders and the link in /sys/bus/usb/devices.
    Node usbDevice(const std::string& name, const USBAttributes& attributes = {});
    // Interface `number` of configuration 1 ("1-1:1.0") with its class pair; a missing class or
    // subclass leaves out that attribute and the uevent's INTERFACE line.
    Node usbInterface(const Node& device, int number, std::optional<int> cls,
                      std::optional<int> subclass = 0, int protocol = 0);
    // A serial line below an interface as usb-serial drivers make it: <if>/ttyUSB0/tty/ttyUSB0.
    // (CDC ACM puts tty/ttyACM0 straight below the interface: use classDevice.)
    void usbSerial(const Node& interface, const std::string& tty);
    // A disk behind a mass-storage interface, as the SCSI layer nests it
    // (<if>/host6/target6:0:0/6:0:0:0/block/sdb), with `partitions` partitions sdb1, sdb2, ….
    void usbDisk(const Node& interface, const std::string& disk, int partitions = 0);
    // A class device folder `<node>/<cls>/<name>` (tty, net, block, ...) with its uevent and
    // its link /sys/class/<cls>/<name>.
    void classDevice(const Node& node, const std::string& cls, const std::string& name);
    // The real folder of root hub usbB ("/sys/devices/…/usbB"), made if it is missing, with its
    // authorization policy `authorized_default` when one is given.
    std::string rootHubFolder(int bus, const std::optional<std::string>& policy = "1");
    // Port P of root hub usbB as the hub's interface B-0:1.0 holds it, with its connect_type.
    std::string hubPort(int bus, int port, const char* connectType);
    // The link /sys/class/<cls>/<name> to the class device folder `path`.
    void classLink(const std::string& cls, const std::string& name, const std::string& path) const;

  private:
    TempFolder folder_;
    EnvGuard root_;
    std::map<int, int> nextDevnum_;
    int nextHost_ = 0;

    Node rootHub(int bus);
};

} // namespace vantrel
