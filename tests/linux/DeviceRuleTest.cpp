// Device rules of the USB policy daemon: the rules it writes, escaped and hostile strings, sets,
// and malformed or oversized text, each read to a rule or to none without a crash.
#include "app/linux/DeviceRule.h"

#include <string>

#include <gtest/gtest.h>

namespace vantrel {
namespace {

using Target = DeviceRule::Target;

TEST(DeviceRule, readsTheRulesTheDaemonWrites) {
    const auto rule = DeviceRule::parse(
        R"(block id 05f3:0007 serial "" name "Keyboard" hash "E4ly+/7c=" parent-hash "m5Nq=" )"
        R"(via-port "1-1.5.4.2" with-interface { 03:01:01 03:00:00 } with-connect-type "hotplug")");
    ASSERT_TRUE(rule);
    EXPECT_EQ(rule->target, Target::block);
    EXPECT_EQ(rule->vendorID, "05f3");
    EXPECT_EQ(rule->productID, "0007");
    EXPECT_EQ(rule->serial, "");
    EXPECT_EQ(rule->name, "Keyboard");
    EXPECT_EQ(rule->hash, "E4ly+/7c=");
    EXPECT_EQ(rule->parentHash, "m5Nq=");
    EXPECT_EQ(rule->viaPort, "1-1.5.4.2");
    EXPECT_EQ(rule->connectType, "hotplug");
    using Interface = std::array<std::uint16_t, 3>;
    EXPECT_EQ(rule->interfaces, (std::vector<Interface>{{3, 1, 1}, {3, 0, 0}}));

    const auto single = DeviceRule::parse(R"(allow id 1d6b:* with-interface 09:00:*)");
    ASSERT_TRUE(single);
    EXPECT_EQ(single->target, Target::allow);
    EXPECT_EQ(single->productID, "*");
    EXPECT_EQ(single->interfaces, (std::vector<Interface>{{9, 0, 0xFFFF}}));
    EXPECT_EQ(DeviceRule::parse("reject")->target, Target::reject);
}

TEST(DeviceRule, quotedStrings) {
    const struct {
        const char* text;
        std::string name;
    } cases[] = {
        {R"(block name "Key\"board")", "Key\"board"},
        {R"(block name "back\\slash")", "back\\slash"},
        {R"(block name "\x4b\x45Y")", "KEY"},
        {R"(block name "\xff\x00\x7f")", std::string("\xff\x00\x7f", 3)},
        {R"(block name "\101\0")", std::string("A\0", 2)},
        {R"(block name "tab\there\n")", "tab\there\n"},
        {R"(block name "\xZZ")", "xZZ"},
        {R"(block name "{ } via-port \"9-9\"" via-port "1-2")", "{ } via-port \"9-9\""},
        {"block name \"\xE2\x80\xAE"
         "evil\"",
         "\xE2\x80\xAE"
         "evil"},
    };
    for (const auto& c : cases) {
        const auto rule = DeviceRule::parse(c.text);
        ASSERT_TRUE(rule) << c.text;
        EXPECT_EQ(rule->name, c.name) << c.text;
    }
    EXPECT_EQ(DeviceRule::parse(R"(block name "{ } via-port \"9-9\"" via-port "1-2")")->viaPort,
              "1-2");
}

TEST(DeviceRule, setsAndOtherAttributes) {
    const struct {
        const char* text;
        std::string viaPort;
        std::string vendor;
    } cases[] = {
        {R"(block via-port one-of { "1-1" "1-2" } id 05f3:0007)", "", "05f3"},
        {R"(block via-port { "1-3" })", "1-3", ""},
        {R"(block via-port none-of { "1-3" })", "", ""},
        {R"(block label "mine" via-port "2-1" if !rule-applied)", "2-1", ""},
        {R"(block id one-of { 05f3:0007 046d:c52b } via-port "3-1")", "3-1", ""},
    };
    for (const auto& c : cases) {
        const auto rule = DeviceRule::parse(c.text);
        ASSERT_TRUE(rule) << c.text;
        EXPECT_EQ(rule->viaPort, c.viaPort) << c.text;
        EXPECT_EQ(rule->vendorID, c.vendor) << c.text;
    }
}

TEST(DeviceRule, malformedTextIsNoRule) {
    for (const char* text : {
             "",
             "   ",
             "permit id 05f3:0007",
             R"(block name "unterminated)",
             R"(block name "ends in a backslash\)",
             "block with-interface { 03:01:01",
             "block with-interface { 03:01:01 \"x\" }",
             "block with-interface 3:1",
             "block with-interface 003:01:01",
             "block id 5f3:0007",
             "block id 05f3",
             "block name",
             "block via-port }",
             "\"block\"",
         }) {
        EXPECT_FALSE(DeviceRule::parse(text)) << text;
    }
}

TEST(DeviceRule, boundedInput) {
    std::string huge = "block with-interface {";
    for (int i = 0; i < 5000; ++i) {
        huge += " 03:01:01";
    }
    huge += " } via-port \"1-1\"";
    const auto rule = DeviceRule::parse(huge);
    ASSERT_TRUE(rule);
    EXPECT_EQ(rule->interfaces.size(), DeviceRule::interfaceLimit);
    EXPECT_EQ(rule->viaPort, "1-1");

    std::string name(DeviceRule::lengthLimit - 20, 'A');
    EXPECT_TRUE(DeviceRule::parse("block name \"" + name + "\""));
    EXPECT_FALSE(DeviceRule::parse("block name \"" + name + std::string(40, 'A') + "\""));
}

} // namespace
} // namespace vantrel
