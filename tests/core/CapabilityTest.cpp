#include "core/Capability.h"

#include <set>
#include <string>

#include <gtest/gtest.h>

namespace vantrel {
namespace {

TEST(Capability, CasesKeepTheirOrderAndEveryTextIsDistinct) {
    const auto& all = Capability::allCases();
    ASSERT_EQ(all.size(), 11u);
    EXPECT_EQ(all.front(), Capability::input);
    EXPECT_EQ(all.back(), Capability::hub);

    std::set<std::string_view> codes, labels, plains, shorts, grants;
    for (std::size_t i = 0; i < all.size(); ++i) {
        const Capability c = all[i];
        EXPECT_EQ(c.value(), i);
        EXPECT_EQ(c.risky(), i < 6) << c.code();
        // Each form round-trips to its own case.
        EXPECT_EQ(Capability::from(c.code()), c);
        EXPECT_EQ(Capability::fromRawValue(c.rawValue()), c);
        EXPECT_EQ(Capability::code(c.rawValue()), c.code());
        // A phrase to run on inside a sentence: lower case, no full stop.
        EXPECT_FALSE(c.plainShort().ends_with('.'));
        EXPECT_TRUE(std::islower(static_cast<unsigned char>(c.plainShort().front())));
        EXPECT_TRUE(c.plain().ends_with('.'));
        codes.insert(c.code());
        labels.insert(c.rawValue());
        plains.insert(c.plain());
        shorts.insert(c.plainShort());
        grants.insert(c.grants());
    }
    for (const auto* set : {&codes, &labels, &plains, &shorts, &grants}) {
        EXPECT_EQ(set->size(), 11u);
    }
}

TEST(Capability, TextsNameThisPlatform) {
    EXPECT_EQ(Capability(Capability::serial).rawValue(), "Serial port");
    EXPECT_EQ(Capability(Capability::storage).plainShort(), "act as a drive");
    EXPECT_EQ(Capability(Capability::display).plain(),
              "Carry video only. Nothing comes into your computer.");
    EXPECT_EQ(Capability(Capability::hub).grants(),
              "Connect more devices behind it. Linux will not ask about those.");
}

TEST(Capability, LookupByCodeAndLabelIsExact) {
    struct Case {
        const char* text;
        std::optional<Capability> byCode;
        std::optional<Capability> byLabel;
    };
    const Case cases[] = {
        {"serial", Capability::serial, std::nullopt},
        {"Serial port", std::nullopt, Capability::serial},
        {"Serial", std::nullopt, std::nullopt},
        {"Network", std::nullopt, Capability::network},
        {"INPUT", std::nullopt, std::nullopt},
        {"", std::nullopt, std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(Capability::from(std::string_view(c.text)), c.byCode);
        EXPECT_EQ(Capability::fromRawValue(c.text), c.byLabel);
    }
}

TEST(Capability, SavedEntriesAreNormalisedToCodes) {
    const std::pair<const char*, const char*> cases[] = {
        {"Keyboard/mouse", "input"},
        {"Network/serial", "network"},
        {"input", "input"},
        {"keyboard/mouse", "keyboard/mouse"}, // other letter case is not a label
        {"Teleport", "Teleport"},             // unknown text is kept, not dropped
        {"", ""},
    };
    for (const auto& [saved, code] : cases) {
        EXPECT_EQ(Capability::code(std::string_view(saved)), code) << saved;
    }
}

TEST(Capability, UsbClassCodes) {
    struct Case {
        int usbClass, subclass;
        std::optional<Capability> expected;
    };
    const Case cases[] = {
        {1, 0, Capability::audio},      {2, 2, Capability::serial},
        {2, 6, Capability::network},    {2, 0, Capability::network},
        {3, 1, Capability::input},      {6, 1, Capability::camera},
        {7, 1, Capability::printer},    {8, 6, Capability::storage},
        {9, 0, Capability::hub},        {14, 1, Capability::camera},
        {17, 0, Capability::display},   {224, 1, Capability::network},
        {254, 1, Capability::firmware}, {255, 255, Capability::vendor},
        {0, 0, std::nullopt},           {10, 0, std::nullopt},
        {11, 0, std::nullopt},          {18, 0, std::nullopt},
        {253, 0, std::nullopt},         {-1, 0, std::nullopt},
        {256, 0, std::nullopt},         {0x102, 2, std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Capability::from(c.usbClass, c.subclass), c.expected)
            << c.usbClass << "/" << c.subclass;
    }
}

} // namespace
} // namespace vantrel
