#include "core/Advisor.h"

#include "core/Vendors.h"

#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace vantrel {
namespace {

using Verdict = Advice::Verdict;
using Lines = std::vector<std::string>;
using Caps = std::vector<Capability>;

// 2026-10-08 10:24:00 UTC.
constexpr Timestamp now{813147840};
constexpr double day = 24 * 3600;
constexpr std::int64_t logitech = 0x046D, qinHeng = 0x1A86, notInTable = 0x1234;

DeviceHistory seen(std::int64_t times, std::vector<std::string> lastCaps, double ago = day) {
    return {times, now - 100 * day, now - ago, std::move(lastCaps)};
}

const std::string kDataLine =
    "Allow lets it exchange data with your computer. Don't Allow still lets it charge.";
const std::string kKeyboardGrant =
    "Keyboard/mouse: Type keystrokes and move the pointer as if it were you.";
const std::string kHubGrant = "Hub: anything plugged into it later is trusted without another "
                              "prompt. Vantrel will still alert you about each new device.";
const std::string kFamiliar = "This looks like your own device. Allow it if you just plugged it "
                              "in. Vantrel will alert you if it starts claiming anything new.";
const std::string kUnfamiliar =
    "Allow it only if you recognize it and just plugged it in. After you allow it, Vantrel will "
    "show exactly what it claims to be and watch what it does.";
const std::string kCaution = "Choose Don't Allow unless you are sure what this is. You can still "
                             "charge from it: Linux keeps power flowing when you don't allow data.";
const std::string kNoName = "It says it is a keyboard but gives no real product name.";
const std::string kQinHengLine =
    "Its chip maker, QinHeng (CH34x USB-serial chips), makes parts commonly used in programmable "
    "gadgets, including keystroke-injection tools.";

TEST(Advisor, PromptWithoutDevices) {
    const Advice expected{
        Verdict::unfamiliar,
        "Something on USB-C Port 2 wants to connect",
        {"The device has not identified itself to Linux yet."},
        {kDataLine, "Linux hasn't let it list its functions yet. Once allowed, Vantrel shows "
                    "exactly what it claims and alerts you if that changes."},
        {"Vantrel can't see a name or vendor for this device yet."},
        "If you did not just plug something into USB-C Port 2, choose Don't Allow."};
    EXPECT_EQ(Advisor::advise({"USB-C Port 2", {}}, now), expected);
}

TEST(Advisor, FamiliarKeyboard) {
    const PendingDevice keys{"MX Keys", "Logitech Inc.",     logitech,
                             0xB35B,    {Capability::input}, seen(5, {"input"}, 3 * 3600)};
    const Advice expected{Verdict::familiar,
                          "MX Keys is a device you've used before",
                          {"MX Keys, made by Logitech (046D:B35B)"},
                          {kDataLine, kKeyboardGrant},
                          {"You have connected MX Keys 5 times before, most recently 3 hours ago."},
                          kFamiliar};
    EXPECT_EQ(Advisor::advise({"Port 1", {keys}}, now), expected);
}

TEST(Advisor, OneNewDeviceMakesThePromptUnfamiliar) {
    const PendingDevice headset{"Headset H390",
                                "",
                                logitech,
                                0x0A44,
                                {Capability::audio, Capability::input},
                                seen(1, {"input", "audio"})};
    const PendingDevice drive{
        "Extreme", "SanDisk", 0x0781, 0x5583, {Capability::storage, Capability::audio}, {}};
    const Advice expected{
        Verdict::unfamiliar,
        "Headset H390 is new to this computer",
        {"Headset H390, made by Logitech (046D:0A44)", "Extreme, made by SanDisk (0781:5583)"},
        {kDataLine, "Audio/mic: Record or play audio.", kKeyboardGrant,
         "Storage: Show up as a disk that can hold or receive files."},
        {"You have connected Headset H390 1 time before, most recently 1 day ago.",
         "Vantrel has never seen Extreme (0781:5583) before."},
        kUnfamiliar};
    EXPECT_EQ(Advisor::advise({"Port 1", {headset, drive}}, now), expected);
}

TEST(Advisor, UnnamedKeyboardCallsForCaution) {
    const PendingDevice pad{"", "", notInTable, 0x5678, {Capability::input}, {}};
    const Advice expected{Verdict::caution,
                          "Be careful with A device",
                          {"Unnamed device, made by unknown maker (1234:5678)"},
                          {kDataLine, kKeyboardGrant},
                          {"Vantrel has never seen this device (1234:5678) before.", kNoName},
                          kCaution};
    EXPECT_EQ(Advisor::advise({"Port 1", {pad}}, now), expected);
}

TEST(Advisor, ReasonsAndVerdict) {
    const Caps kbd{Capability::input}, line{Capability::serial};
    const auto dev = [](std::string name, std::int64_t vendorID, Caps caps,
                        std::optional<DeviceHistory> history) {
        return PendingDevice{std::move(name), "", vendorID, 0x7523, std::move(caps), history};
    };
    const std::string kTyping = " but says it is a keyboard or mouse. Chargers and cables have no "
                                "reason to type.";
    struct Case {
        const char* what;
        PendingDevice device;
        Lines reasons;
        Verdict verdict;
    };
    const Case cases[] = {
        {"programmable, never seen",
         dev("CH340", qinHeng, line, {}),
         {"Vantrel has never seen CH340 (1A86:7523) before.", kQinHengLine},
         Verdict::caution},
        {"programmable, seen",
         dev("CH340", qinHeng, line, seen(2, {"serial"})),
         {"You have connected CH340 2 times before, most recently 1 day ago.", kQinHengLine},
         Verdict::familiar},
        {"new hub counts",
         dev("Receiver", logitech, {Capability::input, Capability::storage, Capability::hub},
             seen(3, {"input"})),
         {"You have connected Receiver 3 times before, most recently 1 day ago.",
          "It now claims new functions it did not have before: Hub, Storage."},
         Verdict::caution},
        {"sorted by label",
         dev("Receiver", logitech, {Capability::storage, Capability::audio},
             seen(3, {"input"}, -120)),
         {"You have connected Receiver 3 times before, most recently in 2 minutes.",
          "It now claims new functions it did not have before: Audio/mic, Storage."},
         Verdict::caution},
        {"stored label",
         dev("Receiver", logitech, {Capability::network}, seen(3, {"Network"})),
         {"You have connected Receiver 3 times before, most recently 1 day ago.",
          "It now claims new functions it did not have before: Network."},
         Verdict::caution},
        {"fewer functions",
         dev("Receiver", logitech, {}, seen(3, {"input"})),
         {"You have connected Receiver 3 times before, most recently 1 day ago."},
         Verdict::familiar},
        {"charger keyboard",
         dev("Power Bank", notInTable, kbd, {}),
         {"Vantrel has never seen Power Bank (1234:7523) before.",
          "It calls itself “Power Bank”" + kTyping},
         Verdict::caution},
        {"charger, no input",
         dev("Cable Adapter", notInTable, {Capability::network}, {}),
         {"Vantrel has never seen Cable Adapter (1234:7523) before."},
         Verdict::unfamiliar},
        {"generic keyboard",
         dev("\u00A0 Unknown\t", logitech, kbd, seen(3, {"input"})),
         {"You have connected \u00A0 Unknown\t 3 times before, most recently 1 day ago.", kNoName},
         Verdict::caution},
        {"upper-case keyboard",
         dev("CARD READER", logitech, kbd, seen(3, {"input"})),
         {"You have connected CARD READER 3 times before, most recently 1 day ago.",
          "It calls itself “CARD READER”" + kTyping},
         Verdict::caution},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const Advice advice = Advisor::advise({"Port 1", {c.device}}, now);
        EXPECT_EQ(advice.reasons, c.reasons);
        EXPECT_EQ(advice.verdict, c.verdict);
    }
}

TEST(Advisor, IdentityNamesTheMaker) {
    struct Case {
        std::int64_t vendorID;
        std::string vendorName;
        std::string maker;
    };
    const Case cases[] = {
        {logitech, "Some Other Co", "Logitech"},
        {0x16C0, "", Vendors::lookup(0x16C0)->name},
        {notInTable, "Acme", "Acme"},
        {notInTable, "", "unknown maker"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.maker);
        const PendingDevice d{"Pad", c.vendorName, c.vendorID, 0x00FF, {Capability::vendor}, {}};
        EXPECT_EQ(Advisor::advise({"Port 1", {d}}, now).identity,
                  Lines{"Pad, made by " + c.maker + " (" + d.idString() + ")"});
    }
}

TEST(Advisor, GrantsAreSortedByLabelWithTheHubLast) {
    const PendingDevice a{"A", "", notInTable, 1, {Capability::hub, Capability::serial}, {}};
    const PendingDevice b{"B", "", notInTable, 2, {Capability::input, Capability::serial}, {}};
    const Lines expected{kDataLine, kKeyboardGrant,
                         "Serial port: Open a serial line that apps can read and write without "
                         "any privacy prompt.",
                         kHubGrant};
    EXPECT_EQ(Advisor::advise({"Port 1", {a, b}}, now).grants, expected);

    EXPECT_EQ(Advisor::baseGrants({Capability::input, Capability::hub}, true),
              (Lines{kDataLine, kKeyboardGrant, kHubGrant}));
    EXPECT_EQ(Advisor::baseGrants({Capability::hub}, false), Lines{kDataLine});
}

TEST(Advisor, SurvivesHostileNames) {
    const std::string huge = std::string(100000, 'x') + " charger";
    const Advice big =
        Advisor::advise({"Port 1", {{huge, huge, notInTable, 1, {Capability::input}, {}}}}, now);
    EXPECT_EQ(big.verdict, Verdict::caution);
    EXPECT_EQ(big.headline, "Be careful with " + huge);

    for (const std::string bad : {"\xFF\xFE", "\xC3( POWER", "Pad\xE2\x80"}) {
        SCOPED_TRACE(::testing::PrintToString(bad));
        const Advice advice = Advisor::advise(
            {"Port \xFF", {{bad, bad, notInTable, 1, {Capability::input}, {}}}}, now);
        EXPECT_EQ(advice.identity.size(), 1u);
        EXPECT_FALSE(advice.reasons.empty());
    }
}

} // namespace
} // namespace vantrel
