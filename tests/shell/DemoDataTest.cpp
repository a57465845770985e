// The fixed sample data of the demo windows: the reference moment in several time zones, the
// devices, histories, events and prompts, and how a demo Monitor judges the sample devices.
#include "app/shell/DemoData.h"

#include "app/engine/scripted/ScriptedMachine.h"
#include "app/engine/scripted/VirtualScheduler.h"
#include "core/Trust.h"
#include "tests/TestSupport.h"

#include <chrono>
#include <ctime>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace vantrel {
namespace {

constexpr double day = 86'400;

// 8 October 2026, 10:24:00 on a clock that shows UTC.
Timestamp referenceInUTC() {
    using namespace std::chrono;
    const sys_seconds at = sys_days{year{2026} / October / 8} + hours{10} + minutes{24};
    return Timestamp::fromUnix(static_cast<double>(at.time_since_epoch().count()));
}

// The process time zone set to `zone` until the end of the scope.
class Zone {
  public:
    explicit Zone(const char* zone) : tz_("TZ", zone) { tzset(); }
    ~Zone() {
        tz_.set(tz_.old ? tz_.old->c_str() : nullptr);
        tzset();
    }
    Zone(const Zone&) = delete;
    Zone& operator=(const Zone&) = delete;

  private:
    EnvGuard tz_;
};

TEST(DemoData, TheReferenceMomentIsTheSameWallClockTimeInEveryZone) {
    struct Case {
        const char* zone;
        double utcOffsetHours; // on 8 October 2026
    };
    for (const Case& c : {Case{"UTC", 0}, Case{"America/New_York", -4}, Case{"Asia/Kolkata", 5.5},
                          Case{"Europe/Berlin", 2}}) {
        SCOPED_TRACE(c.zone);
        Timestamp reference;
        {
            const Zone zone(c.zone);
            reference = DemoData::referenceMoment();
        }
        EXPECT_EQ(reference, referenceInUTC() - c.utcOffsetHours * 3600);
    }
    EXPECT_EQ(DemoData::referenceMoment(), referenceInUTC()) << "the zone is put back";
}

TEST(DemoData, FiveDevicesBehindAHubThreeWithHistory) {
    struct History {
        std::int64_t timesSeen;
        double firstAge;
        double lastAge;
    };
    struct Expected {
        const char* name;
        const char* vendor;
        std::int64_t vendorID;
        std::int64_t productID;
        const char* serial;
        std::int64_t locationID;
        std::vector<Capability> caps;
        std::vector<std::string> serialPaths;
        std::optional<History> history;
    };
    const std::vector<Expected> expected{
        {"USB3.0 Hub", "VIA Labs, Inc.", 0x2109, 0x0817, "", 0x1200000, {Capability::hub}, {}, {}},
        {"USB 10/100/1000 LAN",
         "Realtek",
         0x0BDA,
         0x8153,
         "1",
         0x1210000,
         {Capability::network},
         {},
         History{37, 160 * day, day}},
        {"USB3.0 Card Reader",
         "Genesys Logic",
         0x05E3,
         0x0749,
         "2",
         0x1220000,
         {Capability::storage},
         {},
         History{12, 160 * day, 6 * day}},
        {"USB-C Charger",
         "QinHeng Electronics",
         0x1A86,
         0x7523,
         "",
         0x1230000,
         {Capability::input, Capability::serial},
         {"/dev/ttyUSB0"},
         History{1, 40, 40}},
        {"Billboard Device",
         "VIA Labs, Inc.",
         0x2109,
         0x8888,
         "3",
         0x1240000,
         {Capability::display},
         {},
         {}},
    };

    const Timestamp reference = DemoData::referenceMoment();
    const Monitor::DemoState state = DemoData::state(reference);
    ASSERT_EQ(state.usb.size(), expected.size());
    std::size_t withHistory = 0;
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const Expected& e = expected[i];
        const USBDevice& d = state.usb[i];
        SCOPED_TRACE(e.name);
        EXPECT_EQ(d.id, i + 1);
        EXPECT_EQ(d.name, e.name);
        EXPECT_EQ(d.vendor, e.vendor);
        EXPECT_EQ(d.vendorID, e.vendorID);
        EXPECT_EQ(d.productID, e.productID);
        EXPECT_EQ(d.serial, e.serial);
        EXPECT_EQ(d.locationID, e.locationID);
        EXPECT_EQ(d.caps, e.caps);
        EXPECT_EQ(d.serialPaths, e.serialPaths);
        EXPECT_FALSE(d.blocked);
        EXPECT_TRUE(d.disks.empty() && d.netNames.empty());

        // Histories are found under the key the Monitor gives the device.
        const auto found = state.history.find(d.key());
        ASSERT_EQ(found != state.history.end(), e.history.has_value()) << d.key();
        if (e.history) {
            ++withHistory;
            EXPECT_EQ(found->second.timesSeen, e.history->timesSeen);
            EXPECT_EQ(reference - found->second.firstSeen, e.history->firstAge);
            EXPECT_EQ(reference - found->second.lastSeen, e.history->lastAge);
            EXPECT_EQ(found->second.lastCaps, d.codes());
        }
    }
    EXPECT_EQ(state.history.size(), withHistory) << "no history of a device not plugged in";
}

TEST(DemoData, TheSampleRefersToItself) {
    const Monitor::DemoState state = DemoData::state(DemoData::referenceMoment());
    ASSERT_EQ(state.usb.size(), 5U);
    const USBDevice& lan = state.usb[1];
    const USBDevice& charger = state.usb[3];

    // The charger is the device with the open serial port, and the USB keyboard.
    ASSERT_EQ(state.activity.size(), 1U);
    EXPECT_EQ(state.activity.begin()->first, charger.id);
    ASSERT_FALSE(state.inputs.empty());
    EXPECT_EQ(state.inputs[0].name, charger.name);
    EXPECT_EQ(state.inputs[0].transport, "USB");
    EXPECT_EQ(state.inputs[0].vendorID, charger.vendorID);
    EXPECT_EQ(state.inputs[0].productID, charger.productID);

    // The Wi-Fi interface is the primary one; the LAN adapter brings the other.
    ASSERT_EQ(state.nets.size(), 2U);
    EXPECT_EQ(state.nets[0].id, "wlan0");
    EXPECT_TRUE(state.nets[0].isPrimary && state.nets[0].isWiFi && state.nets[0].active);
    EXPECT_EQ(state.config.primary, state.nets[0].id);
    EXPECT_EQ(state.nets[1].id, "enx00e04c680153");
    EXPECT_EQ(state.nets[1].name, lan.name);
    EXPECT_TRUE(state.nets[1].isUSB && !state.nets[1].active && state.nets[1].ipv4.empty());
}

TEST(DemoData, FourEventsNewestFirst) {
    struct Expected {
        double age;
        Event::Level level;
        const char* text;
    };
    const std::vector<Expected> expected{
        {20, Event::Level::warning,
         "zsh (pid 4120) opened the serial port of USB-C Charger (1A86:7523) (/dev/ttyUSB0). "
         "Serial ports have no Linux privacy prompt."},
        {42, Event::Level::warning,
         "New USB device never seen before: USB-C Charger (1A86:7523) from QinHeng Electronics. "
         "It claims: Keyboard/mouse, Serial port. It is plugged in behind a hub, so Linux may not "
         "have asked you about it."},
        {3600, Event::Level::info, "Connected: USB3.0 Hub (2109:0817)"},
        {day, Event::Level::info, "USB-C port 2: you allowed the connected accessory."},
    };

    const Timestamp reference = DemoData::referenceMoment();
    const std::vector<Event> events = DemoData::state(reference).events;
    ASSERT_EQ(events.size(), expected.size());
    std::set<std::string> ids;
    for (std::size_t i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(reference - events[i].date, expected[i].age);
        EXPECT_EQ(events[i].level, expected[i].level);
        EXPECT_EQ(events[i].text, expected[i].text);
        EXPECT_FALSE(events[i].reviewed);
        EXPECT_TRUE(Event::fromJSON(events[i].toJSON())) << "a well-formed id: " << events[i].id;
        ids.insert(events[i].id);
    }
    // Every event has its own identifier, fresh on every call.
    for (const Event& again : DemoData::state(reference).events) {
        ids.insert(again.id);
    }
    EXPECT_EQ(ids.size(), 2 * expected.size());
}

TEST(DemoData, TheTwoSamplePromptsAreReassuringAndAlarming) {
    const Timestamp reference = DemoData::referenceMoment();
    for (const bool safe : {true, false}) {
        SCOPED_TRACE(safe ? "safe" : "not safe");
        const TrustRequest request = DemoData::request(safe, reference);
        EXPECT_EQ(request.portName, "USB-C port 1");
        ASSERT_EQ(request.devices.size(), 1U);
        const PendingDevice& device = request.devices[0];
        EXPECT_TRUE(device.caps.empty());
        if (safe) {
            EXPECT_EQ(device.label(), "EarPods (USB-C) (05AC:110B)");
            EXPECT_EQ(device.vendorName, "Apple Inc.");
            ASSERT_TRUE(device.history);
            EXPECT_EQ(device.history->timesSeen, 41);
            EXPECT_EQ(reference - device.history->firstSeen, 200 * day);
            EXPECT_EQ(reference - device.history->lastSeen, 2 * day);
            EXPECT_EQ(device.history->lastCaps,
                      std::vector<std::string>{std::string(Capability(Capability::audio).code())});
        } else {
            EXPECT_EQ(device.label(), "USB-C Charger (1A86:7523)");
            EXPECT_EQ(device.vendorName, "QinHeng Electronics");
            EXPECT_FALSE(device.history);
        }
        const TrustScore::Level level = Trust::score(request, reference).trust.level;
        EXPECT_EQ(level == TrustScore::Level::safe, safe) << rawValue(level);
    }
}

TEST(DemoData, ADemoMonitorJudgesTheSampleAndNeverScans) {
    const Timestamp reference = DemoData::referenceMoment();
    DemoData::DemoMonitor demo(reference); // nothing plugged in: a scan would empty the lists
    const auto& monitor = demo.monitor;
    demo.scheduler.runUntil(reference + 3600, true);
    EXPECT_EQ(monitor->now(), reference);
    ASSERT_EQ(monitor->usb().size(), 5U);
    EXPECT_EQ(monitor->events().size(), 4U);
    EXPECT_EQ(monitor->unreviewed().size(), 2U);

    const auto level = [&](const std::string& name) {
        for (const USBDevice& d : monitor->usb()) {
            if (d.name == name) {
                return monitor->trust(d).level;
            }
        }
        ADD_FAILURE() << "no device " << name;
        return TrustScore::Level::check;
    };
    EXPECT_NE(level("USB-C Charger"), TrustScore::Level::safe);
    EXPECT_EQ(level("USB 10/100/1000 LAN"), TrustScore::Level::safe);

    std::vector<std::string> everyday;
    for (const USBDevice& d : monitor->everydayDevices()) {
        everyday.push_back(d.name);
    }
    EXPECT_EQ(everyday, (std::vector<std::string>{"USB 10/100/1000 LAN", "USB3.0 Card Reader",
                                                  "USB-C Charger"}));
}

} // namespace
} // namespace vantrel
