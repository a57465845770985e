#include "app/shell/DemoData.h"

#include "core/PlatformText.h"

#include <chrono>
#include <ctime>

namespace vantrel::DemoData {
namespace {

constexpr double day = 86'400;

// The names this platform gives the serial line and the two network interfaces of the sample.
constexpr const char* serialPath = "/dev/ttyUSB0";
constexpr const char* wifi = "wlan0";
constexpr const char* usbEthernet = "enx00e04c680153";

Event event(Timestamp reference, double ago, Event::Level level, std::string text) {
    return Event{newUUID(), reference - ago, level, std::move(text), false};
}

DeviceHistory history(std::int64_t times, Timestamp first, Timestamp last,
                      std::vector<std::string> caps) {
    return DeviceHistory{times, first, last, std::move(caps)};
}

} // namespace

Timestamp referenceMoment() {
    std::tm local{};
    local.tm_year = 2026 - 1900;
    local.tm_mon = 9; // October
    local.tm_mday = 8;
    local.tm_hour = 10;
    local.tm_min = 24;
    local.tm_sec = 0;
    local.tm_isdst = -1; // whatever the time zone says for that day
    const std::time_t at = std::mktime(&local);
    if (at == static_cast<std::time_t>(-1)) {
        const auto now = std::chrono::system_clock::now().time_since_epoch();
        return Timestamp::fromUnix(std::chrono::duration<double>(now).count());
    }
    return Timestamp::fromUnix(static_cast<double>(at));
}

Monitor::DemoState state(Timestamp reference) {
    Monitor::DemoState s;
    const auto device = [](std::uint64_t id, const char* name, const char* vendor,
                           std::int64_t vendorID, std::int64_t productID, const char* serial,
                           std::int64_t location, std::vector<Capability> caps) {
        USBDevice d;
        d.id = id;
        d.name = name;
        d.vendor = vendor;
        d.vendorID = vendorID;
        d.productID = productID;
        d.serial = serial;
        d.locationID = location;
        d.caps = std::move(caps);
        return d;
    };
    s.usb = {
        device(1, "USB3.0 Hub", "VIA Labs, Inc.", 0x2109, 0x0817, "", 0x1200000, {Capability::hub}),
        device(2, "USB 10/100/1000 LAN", "Realtek", 0x0BDA, 0x8153, "1", 0x1210000,
               {Capability::network}),
        device(3, "USB3.0 Card Reader", "Genesys Logic", 0x05E3, 0x0749, "2", 0x1220000,
               {Capability::storage}),
        device(4, "USB-C Charger", "QinHeng Electronics", 0x1A86, 0x7523, "", 0x1230000,
               {Capability::input, Capability::serial}),
        device(5, "Billboard Device", "VIA Labs, Inc.", 0x2109, 0x8888, "3", 0x1240000,
               {Capability::display}),
    };
    s.usb[3].serialPaths = {serialPath};

    s.history = {
        {"0bda:8153:1", history(37, reference - 160 * day, reference - day,
                                {std::string(Capability(Capability::network).code())})},
        {"05e3:0749:2", history(12, reference - 160 * day, reference - 6 * day,
                                {std::string(Capability(Capability::storage).code())})},
        {"1a86:7523:", history(1, reference - 40, reference - 40,
                               {std::string(Capability(Capability::input).code()),
                                std::string(Capability(Capability::serial).code())})},
    };

    s.inputs = {
        {"USB-C Charger", "USB", 0x1A86, 0x7523, false, "Keyboard"},
        {"Magic Mouse", "Bluetooth", 0x004C, 0x0269, false, "Mouse/trackpad"},
        // A laptop's own keyboard and touchpad, as the kernel names them on the i8042 bus.
        {"AT Translated Set 2 keyboard", "i8042", 0x0001, 0x0001, true, "Keyboard"},
        {"SynPS/2 Synaptics TouchPad", "i8042", 0x0002, 0x0007, true, "Mouse/trackpad"},
    };

    s.ports = {
        {"Port-USB-C@1", "USB-C port 1", true, 3, "Not Required", false},
        {"Port-USB-C@2", "USB-C port 2", true, 6, "Authorized", false},
        {"Port-USB-C@3", "USB-C port 3", false, 1, std::nullopt, false},
    };

    NetInterface air;
    air.id = wifi;
    air.name = "Wi-Fi";
    air.isWiFi = true;
    air.active = true;
    air.ipv4 = {"192.168.1.24"};
    air.counters = {4'812'000'000, 611'000'000, 0, 0};
    air.isPrimary = true;
    air.inRate = 182'000;
    air.outRate = 24'000;
    NetInterface lan;
    lan.id = usbEthernet;
    lan.name = "USB 10/100/1000 LAN";
    lan.isUSB = true;
    s.nets = {air, lan};
    s.config = {wifi, "192.168.1.1", {"1.1.1.1", "1.0.0.1"}, {}};

    s.activity = {{4, "serial port open in zsh (pid 4120)"}};

    s.events = {
        event(reference, 20, Event::Level::warning,
              PlatformText::words("zsh (pid 4120) opened the serial port of USB-C Charger "
                                  "(1A86:7523) (" +
                                  std::string(serialPath) +
                                  "). Serial ports have no {os} privacy prompt.")),
        event(reference, 42, Event::Level::warning,
              PlatformText::words(
                  "New USB device never seen before: USB-C Charger (1A86:7523) from QinHeng "
                  "Electronics. It claims: Keyboard/mouse, Serial port. It is plugged in behind a "
                  "hub, so {os} may not have asked you about it.")),
        event(reference, 3600, Event::Level::info, "Connected: USB3.0 Hub (2109:0817)"),
        event(reference, day, Event::Level::info,
              "USB-C port 2: you allowed the connected accessory."),
    };
    s.autoPause = true;
    s.keystrokeGuardOn = false;
    return s;
}

TrustRequest request(bool safe, Timestamp reference) {
    PendingDevice device;
    if (safe) {
        device.name = "EarPods (USB-C)";
        device.vendorName = "Apple Inc.";
        device.vendorID = 0x05AC;
        device.productID = 0x110B;
        device.history = DeviceHistory{41,
                                       reference - 200 * day,
                                       reference - 2 * day,
                                       {std::string(Capability(Capability::audio).code())}};
    } else {
        device.name = "USB-C Charger";
        device.vendorName = "QinHeng Electronics";
        device.vendorID = 0x1A86;
        device.productID = 0x7523;
    }
    return TrustRequest{"USB-C port 1", {device}};
}

DemoMonitor::DemoMonitor(Timestamp reference)
    : scheduler(reference),
      monitor(
          Monitor::demo({machine, keyboard, notifier, panel, scheduler, scheduler}, reference)) {
    monitor->showDemo(state(reference));
}

} // namespace vantrel::DemoData
