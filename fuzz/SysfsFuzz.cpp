// The sysfs readers: the input, cut at NUL bytes, becomes the attribute files of one USB device,
// its interface and the input device below it (uevent texts, strings, ids, classes, event-code
// bitmaps); then the USB and input scans read that tree. Properties: the scans see the one
// device whatever its files hold, every text they give is valid UTF-8, the two attribute
// readers agree, and a uevent line's value is the rest of that line.
#include "app/linux/HostFiles.h"
#include "app/linux/Scanner.h"
#include "fuzz/FuzzSupport.h"

#include <algorithm>
#include <cstdlib>
#include <string>
#include <system_error>

using namespace vantrel;
namespace fs = std::filesystem;

namespace {

constexpr const char* deviceFolder = "sys/devices/pci0000:00/0000:00:14.0/usb1/1-1";
constexpr const char* inputFolder = "1-1:1.0/0003:1234:5678.0001/input/input3";

// The files the input's parts fill, in order, relative to the device's folder; a part that is
// not there leaves its file out.
constexpr const char* files[] = {
    "uevent",
    "1-1:1.0/uevent",
    "product",
    "manufacturer",
    "serial",
    "authorized",
    "idVendor",
    "idProduct",
    "bDeviceClass",
    "bDeviceSubClass",
    "1-1:1.0/bInterfaceClass",
    "1-1:1.0/bInterfaceSubClass",
    "1-1:1.0/0003:1234:5678.0001/input/input3/name",
    "1-1:1.0/0003:1234:5678.0001/input/input3/capabilities/key",
    "1-1:1.0/0003:1234:5678.0001/input/input3/capabilities/rel",
    "1-1:1.0/0003:1234:5678.0001/input/input3/capabilities/abs",
    "1-1:1.0/0003:1234:5678.0001/input/input3/id/bustype",
    "1-1:1.0/0003:1234:5678.0001/input/input3/id/vendor",
    "1-1:1.0/0003:1234:5678.0001/input/input3/id/product",
};

const fs::path& root() {
    static const fs::path folder = fuzz::scratch() / "root";
    return folder;
}

void makeLink(const std::string& at, const std::string& target) {
    std::error_code error;
    fs::create_directories((root() / at).parent_path(), error);
    fs::create_symlink(target, root() / at, error);
    fuzz::require(!error, "the fixture's links can be made");
}

void checkText(std::string_view text) {
    fuzz::require(fuzz::validUTF8(text), "a text read from sysfs is valid UTF-8");
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    const std::string device = deviceFolder;
    fs::create_directories(root() / device / inputFolder / "event3");
    makeLink("sys/bus/usb/devices/1-1", "../../../devices/pci0000:00/0000:00:14.0/usb1/1-1");
    makeLink("sys/bus/usb/devices/1-1:1.0",
             "../../../devices/pci0000:00/0000:00:14.0/usb1/1-1/1-1:1.0");
    makeLink("sys/class/input/input3", "../../" + device.substr(4) + "/" + inputFolder);
    ::setenv("VANTREL_ROOT", root().c_str(), 1);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto parts = fuzz::split(fuzz::text(data, size), '\0');
    const fs::path device = root() / deviceFolder;
    for (std::size_t i = 0; i < std::size(files); ++i) {
        const fs::path file = device / files[i];
        if (i < parts.size()) {
            fuzz::writeFile(file, parts[i]);
            const auto whole = HostFiles::attribute(file);
            const auto quick = HostFiles::quickAttribute(file.c_str());
            fuzz::require(whole.has_value() && whole == quick, "the attribute readers agree");
            checkText(*whole);
            const std::string repaired = HostFiles::repairedUTF8(parts[i]);
            fuzz::require(HostFiles::repairedUTF8(repaired) == repaired &&
                              (repaired == parts[i]) == fuzz::validUTF8(parts[i]),
                          "repair changes exactly the texts that are not UTF-8, once");
        } else {
            std::error_code ignored;
            fs::remove(file, ignored);
        }
    }
    const std::string_view uevent = parts[0];
    for (const char* key : {"PRODUCT", "TYPE", "INTERFACE", ""}) {
        if (const auto value = HostFiles::ueventValue(uevent, key)) {
            const std::string line = std::string(key) + "=" + std::string(*value);
            fuzz::require(value->find('\n') == std::string_view::npos &&
                              (uevent.starts_with(line + "\n") || uevent == line ||
                               uevent.find("\n" + line + "\n") != std::string_view::npos ||
                               uevent.ends_with("\n" + line)),
                          "a uevent value is the rest of its line");
        }
    }

    const auto usb = Scanner::usbDevices();
    fuzz::require(usb.size() == 1, "the USB scan sees the one device");
    const USBDevice& found = usb.front();
    checkText(found.name);
    checkText(found.vendor);
    checkText(found.serial);
    fuzz::require(found.locationID == (1 << 24 | 0x100000), "the location comes from the name");
    fuzz::require(std::adjacent_find(found.caps.begin(), found.caps.end()) == found.caps.end(),
                  "each capability is listed once");

    const auto inputs = Scanner::inputDevices();
    fuzz::require(inputs.size() <= 1, "the input scan sees at most the one device");
    for (const InputDevice& input : inputs) {
        checkText(input.name);
    }
    const auto keyboards = Scanner::keyboardNodes();
    fuzz::require(keyboards.size() <= 1, "at most the one keyboard");
    for (const auto& keyboard : keyboards) {
        checkText(keyboard.name);
        fuzz::require(keyboard.eventPaths == std::vector<std::string>{"/dev/input/event3"},
                      "a keyboard's event device is the one in its folder");
    }
    return 0;
}
