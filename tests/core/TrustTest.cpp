#include "core/Trust.h"

#include "core/Vendors.h"

#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace vantrel {
namespace {

using Level = TrustScore::Level;
using Caps = std::vector<Capability>;

// 2026-10-08 10:24:00 UTC.
constexpr Timestamp now{813147840};
constexpr double hour = 3600;
constexpr double day = 24 * hour;
constexpr std::int64_t apple = 0x05AC, logitech = 0x046D, qinHeng = 0x1A86, notInTable = 0x1234;

// A device first seen on 2026-09-08 and last seen three hours ago.
DeviceHistory seen(std::int64_t times, std::vector<std::string> lastCaps) {
    return {times, now - 30 * day, now - 3 * hour, std::move(lastCaps)};
}

const std::string kCharger =
    "A charger has no reason to type on your computer. This one says it can.";
const std::string kGeneric = "It says it can type, but won't say what it is.";
const std::string kNew = "You've used it before, but now it says it can do something new.";
const std::string kCheapParts =
    "Built with parts found in cheap gadgets that pretend to be keyboards.";
const std::string kNewHere = "New to this computer, so Vantrel has no history with it yet.";

TEST(Trust, AppleKeyboardSeenForTheFirstTime) {
    const TrustScore expected{85,
                              Level::safe,
                              "Looks safe",
                              "An Apple accessory.",
                              "Keyboard",
                              {"Says it is made by Apple."},
                              {"Type and click as if it were you."},
                              {"First time on this computer."},
                              "Fine to allow if you just plugged it in."};
    EXPECT_EQ(Trust::score("Magic Keyboard", apple, {Capability::input}, std::nullopt, now),
              expected);
}

TEST(Trust, ChargerThatTypesIsDangerous) {
    const TrustScore expected{5,
                              Level::danger,
                              "Don’t plug this in",
                              kCharger,
                              "Keyboard",
                              {*Vendors::about(qinHeng)},
                              {"Type and click as if it were you.",
                               "Open a hidden data line that apps can use without asking you."},
                              {"First time on this computer."},
                              "Choose “Don’t Allow”, then unplug it."};
    EXPECT_EQ(Trust::score("USB-C Charger", qinHeng, {Capability::input, Capability::serial},
                           std::nullopt, now),
              expected);
}

TEST(Trust, EmptyRequestScoresAnUnnamedUnknownDevice) {
    const TrustScore expected{
        55,
        Level::check,
        "Check before you allow",
        kNewHere,
        "Accessory",
        {"Vantrel doesn't recognize this maker. That alone isn't a bad sign."},
        {"Clicking “Allow” lets it exchange data with your computer.",
         "Choosing “Don’t Allow” still lets it charge."},
        {"First time on this computer."},
        "Allow it only if you recognize it and just plugged it in."};
    const RequestScore result = Trust::score(TrustRequest{"Port 1", {}}, now);
    EXPECT_FALSE(result.device.has_value());
    EXPECT_EQ(result.trust, expected);
}

TEST(Trust, MakerSetsTheStartingPoints) {
    struct Case {
        std::int64_t vendorID;
        int score; // starting points less 5 for a first sighting
        std::string maker;
    };
    const Case cases[] = {
        {apple, 85, "Says it is made by Apple."},
        {logitech, 75, "Logitech, a well-known keyboard and mouse maker."},
        {qinHeng, 30,
         "QinHeng, whose low-cost chips turn up in cheap cables and in do-it-yourself gadgets that "
         "pretend to be keyboards."},
        {0x1209, 30, "An open-source hardware project. Anyone can build a device under this name."},
        {notInTable, 55, "Vantrel doesn't recognize this maker. That alone isn't a bad sign."},
        // Not masked to 16 bits: this is not Apple.
        {0x10005AC, 55, "Vantrel doesn't recognize this maker. That alone isn't a bad sign."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.vendorID);
        const TrustScore s = Trust::score("Thing", c.vendorID, {Capability::storage}, {}, now);
        EXPECT_EQ(s.score, c.score);
        EXPECT_EQ(s.maker, std::vector<std::string>{c.maker});
    }
}

TEST(Trust, PointsLevelAndSummary) {
    const Caps kbd{Capability::input}, disk{Capability::storage}, line{Capability::serial};
    const Caps kbdDisk{Capability::input, Capability::storage};
    const Caps kbdHub{Capability::input, Capability::hub};
    const std::optional<DeviceHistory> none;
    struct Case {
        const char* what;
        std::string name;
        std::int64_t vendorID;
        Caps caps;
        std::optional<DeviceHistory> history;
        int score;
        Level level;
        std::string summary;
    };
    const Case cases[] = {
        {"generic keyboard", "  Generic ", notInTable, kbd, none, 15, Level::danger, kGeneric},
        {"Zs and tab trimmed", "\u2003UNKNOWN\u00A0\t", notInTable, kbd, none, 15, Level::danger,
         kGeneric},
        {"line break kept", "generic\n", notInTable, kbd, none, 55, Level::check, kNewHere},
        {"generic, no input", "generic", notInTable, disk, none, 55, Level::check, kNewHere},
        {"charger, no input", "Battery Pack", notInTable, disk, none, 55, Level::check, kNewHere},
        {"charger word", "POWER Bank", notInTable, kbd, none, 5, Level::danger, kCharger},
        {"Apple, seen 12 times", "Magic Keyboard", apple, kbd, seen(12, {"input"}), 97, Level::safe,
         "An Apple accessory you've used 12 times."},
        {"generic Apple", "USB Device", apple, kbd, none, 45, Level::check, kGeneric},
        {"Apple lamp", "Desk Lamp", apple, kbd, seen(10, {"input"}), 55, Level::check, kCharger},
        {"new storage", "Receiver", logitech, kbdDisk, seen(3, {"input"}), 35, Level::danger, kNew},
        {"new hub only", "Receiver", logitech, kbdHub, seen(3, {"input"}), 90, Level::safe,
         "A device you've used 3 times. Nothing has changed."},
        {"known maker", "Drive", logitech, disk, none, 75, Level::safe, "From a well-known maker."},
        {"seen 10 times", "Thing", notInTable, disk, seen(10, {"storage"}), 75, Level::safe,
         "A device you've used 10 times. Nothing has changed."},
        {"programmable", "Board", qinHeng, line, none, 30, Level::danger, kCheapParts},
        {"programmable, seen", "Board", qinHeng, line, seen(2, {"serial"}), 45, Level::check,
         kCheapParts},
        {"programmable, new", "Board", qinHeng, line, seen(2, {"input"}), 5, Level::danger, kNew},
        {"lamp, new input", "Lamp", notInTable, kbd, seen(4, {}), 5, Level::danger, kNew},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const TrustScore s = Trust::score(c.name, c.vendorID, c.caps, c.history, now);
        EXPECT_EQ(s.score, c.score);
        EXPECT_EQ(s.level, c.level);
        EXPECT_EQ(s.summary, c.summary);
    }
}

TEST(Trust, UnknownMakerSeenBeforeIsNotCalledNew) {
    for (std::int64_t times : {1, 2, 9}) {
        SCOPED_TRACE(times);
        const TrustScore s =
            Trust::score("Thing", notInTable, {Capability::storage}, seen(times, {"storage"}), now);
        EXPECT_EQ(s.score, 70);
        EXPECT_EQ(s.level, Level::check);
        EXPECT_EQ(s.summary, "A device you've used " + std::to_string(times) +
                                 (times == 1 ? " time" : " times") +
                                 " before. Nothing about it has changed, but Vantrel doesn't "
                                 "recognize its maker.");
        EXPECT_EQ(s.summary.find("New to"), std::string::npos);
    }
}

TEST(Trust, HistoryLines) {
    struct Case {
        const char* what;
        Caps caps;
        DeviceHistory history;
        std::vector<std::string> lines;
    };
    const Case cases[] = {
        {"one sighting, last seen in the future",
         {Capability::network},
         {1, now - 400 * day, now + 120, {"network"}},
         {"Connected 1 time since Sep 3, 2025.", "Last used in 2 minutes.",
          "Nothing about it has changed."}},
        {"new capabilities in the device's order, hub left out",
         {Capability::storage, Capability::hub, Capability::input, Capability::network},
         {2, now - 1000 * day, now - day, {"input"}},
         {"Connected 2 times since Jan 12, 2024.", "Last used 1 day ago.",
          "It now says it can do something new: act as a drive, act as an internet connection."}},
        {"a stored label is not a code",
         {Capability::input},
         {5, now - 30 * day, now - 3 * hour, {"Keyboard/mouse"}},
         {"Connected 5 times since Sep 8, 2026.", "Last used 3 hours ago.",
          "It now says it can do something new: type and click."}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(Trust::score("Thing", notInTable, c.caps, c.history, now).history, c.lines);
    }
}

TEST(Trust, RequestScoresItsLowestDeviceFirstOnTies) {
    const PendingDevice known{
        "Thing", "", notInTable, 1, {Capability::storage}, seen(9, {"storage"})}; // 70
    const PendingDevice grown{"Receiver",        "", logitech, 2, {Capability::storage},
                              seen(3, {"input"})};                                     // 35
    const PendingDevice lamp{"Desk Lamp", "Apple", apple, 3, {Capability::input}, {}}; // 35
    const RequestScore result = Trust::score(TrustRequest{"Port 1", {known, grown, lamp}}, now);
    ASSERT_TRUE(result.device.has_value());
    EXPECT_EQ(*result.device, grown);
    EXPECT_EQ(result.trust.score, 35);
    EXPECT_EQ(result.trust.summary, kNew);
}

TEST(Trust, Kind) {
    struct Case {
        std::string name;
        Caps caps;
        std::string kind;
    };
    const Case cases[] = {
        {"my headphones", {Capability::input}, "Headphones"},
        {"airpods pro", {Capability::audio}, "Headphones"},
        {"earpods", {}, "Headphones"},
        {"HEADPHONES", {}, "Accessory"},
        {"magic mouse", {Capability::storage, Capability::input}, "Mouse"},
        {"mouse", {Capability::network}, "Network adapter"},
        {"", {Capability::storage, Capability::network}, "Network adapter"},
        {"", {Capability::audio, Capability::camera}, "Camera"},
        {"", {Capability::storage, Capability::audio}, "Audio device"},
        {"sd reader", {Capability::storage}, "Card reader"},
        {"stick", {Capability::storage}, "Drive"},
        {"reader", {Capability::hub, Capability::display}, "Display adapter"},
        {"charger", {Capability::serial, Capability::hub}, "Hub"},
        {"usb charger", {Capability::serial, Capability::firmware}, "Charger"},
        {"Charger", {}, "Accessory"},
        {"", {Capability::printer, Capability::vendor}, "Accessory"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Trust::kind(c.caps, c.name), c.kind);
    }
    // The scorer passes the name lower-cased and trimmed.
    EXPECT_EQ(Trust::score(" Magic MOUSE\t", apple, {Capability::input}, {}, now).kind, "Mouse");
}

TEST(Trust, DisplayName) {
    struct Case {
        std::string name;
        std::string kind;
        std::string shown;
    };
    const Case cases[] = {
        {"USB 2.0 Hub", "Hub", "Hub"},
        {"Magic Keyboard", "Keyboard", "Magic Keyboard"},
        {"\u00A0 Magic Keyboard\t", "Keyboard", "Magic Keyboard"},
        {"Pad\n", "Keyboard", "Pad\n"},
        {"Dock 2019 Edition", "Hub", "Hub"},
        {"Dock2019", "Hub", "Dock2019"},
        {"Model 12345", "Drive", "Model 12345"},
        {"usb 2.0 hub", "Hub", "usb 2.0 hub"},
        {"USB3.1 Card", "Drive", "Drive"},
        {"USB-C Hub", "Hub", "USB-C Hub"},
        {"10/100 Ethernet", "Network adapter", "Network adapter"},
        {"Office LAN", "Network adapter", "Network adapter"},
        {"LANTERN", "Accessory", "LANTERN"},
        {"Billboard Device", "Display adapter", "Display adapter"},
        {"billboard", "Display adapter", "billboard"},
        {"Composite", "Accessory", "Accessory"},
        {"Pad AB12", "Keyboard", "Keyboard"},
        {"   ", "Keyboard", "Keyboard"},
        {"", "Mouse", "Mouse"},
        {" GENERIC ", "Keyboard", "Keyboard"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Trust::displayName(c.name, c.kind), c.shown);
    }
}

TEST(Trust, SurvivesHostileNames) {
    // Long enough to exhaust a recursive matcher; hexadecimal throughout with no word boundary.
    const std::string huge(100000, 'A');
    EXPECT_EQ(Trust::displayName(huge, "Keyboard"), huge);
    EXPECT_EQ(Trust::score(huge + " charger", notInTable, {Capability::input}, {}, now).summary,
              kCharger);

    for (const std::string bad : {"\xFF\xFE", "\xC3( POWER", "Pad\xE2\x80", "\xE2\x80\xA8"}) {
        SCOPED_TRACE(::testing::PrintToString(bad));
        const TrustScore s = Trust::score(bad, notInTable, {Capability::input}, {}, now);
        EXPECT_TRUE(s.score == 55 || s.score == 5) << s.score;
        EXPECT_FALSE(Trust::displayName(bad, "Keyboard").empty());
    }
    // Undecodable bytes do not hide a charger word.
    EXPECT_EQ(Trust::score("\xC3( POWER", notInTable, {Capability::input}, {}, now).score, 5);
}

} // namespace
} // namespace vantrel
