// The headless guard's own parts without Qt: events as JSON lines, and the held-back line that
// stands in for the prompt nobody can answer, through a real Monitor on a scripted machine.
#include "app/engine/Monitor.h"
#include "app/engine/scripted/ScriptedMachine.h"
#include "app/engine/scripted/VirtualScheduler.h"
#include "app/shell/HeadlessPanel.h"
#include "app/shell/JsonLinesSink.h"
#include "tests/TestSupport.h"

#include <sstream>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

namespace vantrel {
namespace {

using nlohmann::json;

TEST(JsonLines, OneValidObjectPerEventOnOneLine) {
    using namespace std::string_literals; // a text with a NUL in it
    const struct {
        std::string text;
        Timestamp date;
        std::string isoDate;
    } cases[] = {
        {"Plain sentence.", Timestamp{0}, "2001-01-01T00:00:00.000Z"},
        {"Name \"quoted\" with \\ and \n a newline\r\t", Timestamp::fromUnix(1714555800.25),
         "2024-05-01T09:30:00.250Z"},
        {"nul \0 and \x1b[31m escape"s, Timestamp::fromUnix(-1.5), "1969-12-31T23:59:58.500Z"},
        {"line\xE2\x80\xA8separator and \xF0\x9F\x94\x8C", Timestamp::fromUnix(951782400),
         "2000-02-29T00:00:00.000Z"},
    };
    for (const auto& c : cases) {
        std::ostringstream out;
        JsonLinesSink sink(out);
        const Event event{"0F8FAD5B-D9CB-469F-A165-70867728950E", c.date, Event::Level::warning,
                          c.text, false};
        sink.record(event, std::nullopt);
        const std::string line = out.str();
        ASSERT_TRUE(line.ends_with('\n'));
        EXPECT_EQ(line.find('\n'), line.size() - 1) << "one line: " << line;
        const json parsed = json::parse(line);
        EXPECT_EQ(
            parsed,
            (json{{"date", c.isoDate}, {"level", "warning"}, {"text", c.text}, {"id", event.id}}));
        EXPECT_EQ(line.substr(0, 9), R"({"date":")") << "the keys in a fixed order";
    }
}

TEST(JsonLines, BytesThatAreNotUtf8StayOneValidLine) {
    std::ostringstream out;
    JsonLinesSink sink(out);
    sink.record(Event{"ID", Timestamp{0}, Event::Level::info, "bad \xC3\x28 \xFF\n", false},
                std::nullopt);
    const json parsed = json::parse(out.str());
    EXPECT_EQ(parsed["text"], "bad \xEF\xBF\xBD( \xEF\xBF\xBD\n");
    EXPECT_EQ(parsed["level"], "info");
}

USBDevice heldBack(std::uint64_t id, std::string name, std::int64_t vendorID,
                   std::vector<Capability> caps) {
    USBDevice d;
    d.id = id;
    d.name = std::move(name);
    d.vendorID = vendorID;
    d.productID = 0x0001;
    d.serial = "S" + std::to_string(id);
    d.locationID = 0x01100000;
    d.caps = std::move(caps);
    d.blocked = true;
    return d;
}

// The journal's view: each event with the device it concerns.
struct RecordingSink final : EventSink {
    std::vector<std::pair<Event, std::optional<EventDevice>>> seen;
    void record(const Event& event, const std::optional<EventDevice>& device) override {
        seen.emplace_back(event, device);
    }
};

struct HeadlessRig {
    TempFolder folder;
    VirtualScheduler scheduler{Timestamp{813147840}};
    ScriptedMachine machine;
    ScriptedKeyboardWatcher keyboard{machine, scheduler};
    RecordingNotifier notifier{nullptr};
    HeadlessPanel panel;
    RecordingSink sink;
    std::unique_ptr<Monitor> monitor;

    HeadlessRig() {
        monitor = std::make_unique<Monitor>(
            MonitorProviders{machine, keyboard, notifier, panel, scheduler, scheduler, &sink},
            MonitorFiles{folder.path / "defaults.json", folder.path / "events.json"});
        panel.attach(*monitor);
    }
    void plug(std::vector<USBDevice> usb) {
        machine.state.usb = std::move(usb);
        machine.state.ports = {PortInfo{"p1", "USB-C Port 1", !machine.state.usb.empty(),
                                        static_cast<std::int64_t>(machine.state.usb.size()),
                                        std::nullopt, !machine.state.usb.empty()}};
        monitor->deviceChanged();
        scheduler.runUntil(scheduler.now() + 4, true);
    }
    // The log's lines since `from` (oldest first).
    std::vector<std::string> linesSince(std::size_t from) const {
        std::vector<std::string> lines;
        for (std::size_t i = from; i < sink.seen.size(); ++i) {
            lines.push_back(sink.seen[i].first.text);
        }
        return lines;
    }
};

TEST(HeadlessPanel, AHeldBackDeviceIsLoggedOncePerPromptAndStaysHeldBack) {
    HeadlessRig rig;
    const std::size_t start = rig.sink.seen.size();
    const USBDevice stick = heldBack(7, "Flash \"Disk\"\n", 0x0781, {Capability::storage});
    rig.plug({stick});
    // Another device behind the same prompt, then the prompt staying open for many cycles.
    rig.plug({stick, heldBack(8, "", 0xFFFF, {Capability::input})});
    rig.scheduler.runUntil(rig.scheduler.now() + 30, true);

    const auto lines = rig.linesSince(start);
    ASSERT_EQ(lines.size(), 1u) << ::testing::PrintToString(lines);
    EXPECT_EQ(lines[0], "Flash \"Disk\" (0781:0001) is held back on USB-C Port 1. Trust score 75: "
                        "Looks safe. From a well-known maker.");
    const auto& [event, device] = rig.sink.seen.back();
    EXPECT_EQ(event.level, Event::Level::info);
    EXPECT_EQ(device, (EventDevice{"0781:0001:S7", 0x0781, 1, 75}));
    EXPECT_TRUE(rig.monitor->trustRequest().has_value());
    EXPECT_TRUE(rig.machine.state.usb.front().blocked);

    // Gone and plugged in again: a new prompt, a new line; an unknown maker's keyboard warns.
    rig.plug({});
    const std::size_t again = rig.sink.seen.size();
    rig.plug({heldBack(9, "", 0xFFFF, {Capability::input})});
    const auto more = rig.linesSince(again);
    ASSERT_EQ(more.size(), 1u) << ::testing::PrintToString(more);
    EXPECT_TRUE(more[0].starts_with("Unnamed device (FFFF:0001) is held back on USB-C Port 1. "
                                    "Trust score "))
        << more[0];
    EXPECT_EQ(rig.sink.seen.back().first.level, Event::Level::warning) << more[0];
}

} // namespace
} // namespace vantrel
