#include "core/DeviceHistory.h"

#include "core/ApprovedScope.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

namespace vantrel {
namespace {

using nlohmann::json;

TEST(DeviceHistory, RoundTripKeepsOrderAndFullPrecision) {
    const DeviceHistory h{
        3, Timestamp{813147840.123456789}, Timestamp{813150000.000001}, {"input", "serial"}};
    const std::string text = h.toJSON().dump();
    auto back = DeviceHistory::fromJSON(json::parse(text));
    ASSERT_TRUE(back);
    EXPECT_EQ(*back, h); // exact doubles, list order kept
    EXPECT_EQ(json::parse(text),
              json::parse(R"({"timesSeen":3,"firstSeen":813147840.1234568,)"
                          R"("lastSeen":813150000.000001,"lastCaps":["input","serial"]})"));
}

TEST(DeviceHistory, DecodingNeedsEveryMemberWithItsType) {
    const json good = json::parse(
        R"({"timesSeen":2,"firstSeen":1.5,"lastSeen":2,"lastCaps":["Keyboard/mouse"],"x":1})");
    auto decoded = DeviceHistory::fromJSON(good);
    ASSERT_TRUE(decoded); // unknown members are ignored, labels are kept as they are
    EXPECT_EQ(*decoded, (DeviceHistory{2, Timestamp{1.5}, Timestamp{2}, {"Keyboard/mouse"}}));
    EXPECT_TRUE(DeviceHistory::fromJSON(
        json::parse(R"({"timesSeen":2.0,"firstSeen":0,"lastSeen":0,"lastCaps":[]})")));

    const char* bad[] = {
        R"({"firstSeen":1,"lastSeen":2,"lastCaps":[]})",
        R"({"timesSeen":1,"lastSeen":2,"lastCaps":[]})",
        R"({"timesSeen":1,"firstSeen":1,"lastCaps":[]})",
        R"({"timesSeen":1,"firstSeen":1,"lastSeen":2})",
        R"({"timesSeen":"1","firstSeen":1,"lastSeen":2,"lastCaps":[]})",
        R"({"timesSeen":1.5,"firstSeen":1,"lastSeen":2,"lastCaps":[]})",
        R"({"timesSeen":1e300,"firstSeen":1,"lastSeen":2,"lastCaps":[]})",
        R"({"timesSeen":18446744073709551615,"firstSeen":1,"lastSeen":2,"lastCaps":[]})",
        R"({"timesSeen":true,"firstSeen":1,"lastSeen":2,"lastCaps":[]})",
        R"({"timesSeen":1,"firstSeen":"2026-10-08","lastSeen":2,"lastCaps":[]})",
        R"({"timesSeen":1,"firstSeen":1,"lastSeen":null,"lastCaps":[]})",
        R"({"timesSeen":1,"firstSeen":1,"lastSeen":2,"lastCaps":["input",3]})",
        R"({"timesSeen":1,"firstSeen":1,"lastSeen":2,"lastCaps":"input"})",
        R"([1,1,2,[]])",
        R"("text")",
    };
    for (const char* text : bad) {
        EXPECT_FALSE(DeviceHistory::fromJSON(json::parse(text))) << text;
    }
}

TEST(DeviceHistory, CollectionIsReadWholeOrNotAtAll) {
    const DeviceHistories histories{
        {"05ac:024f:ABC", {12, Timestamp{10}, Timestamp{20}, {"input"}}},
        {"1a86:7523:", {1, Timestamp{30}, Timestamp{30}, {"serial", "input"}}},
    };
    EXPECT_EQ(historiesFromJSON(json::parse(historiesToJSON(histories).dump())), histories);
    EXPECT_EQ(historiesFromJSON(json::object()), DeviceHistories{});

    json damaged = historiesToJSON(histories);
    damaged["1a86:7523:"].erase("lastCaps");
    EXPECT_FALSE(historiesFromJSON(damaged));
    EXPECT_FALSE(historiesFromJSON(json::array()));
    EXPECT_FALSE(historiesFromJSON(json("{}")));
}

TEST(ApprovedScope, CodedFormRoundTripsAndNeedsBothMembers) {
    const ApprovedScope scope{{"serial", "input"}, Timestamp{813147840.25}};
    EXPECT_EQ(ApprovedScope::fromJSON(json::parse(scope.toJSON().dump())), scope);
    EXPECT_FALSE(ApprovedScope::fromJSON(json::parse(R"({"caps":["input"]})")));
    EXPECT_FALSE(ApprovedScope::fromJSON(json::parse(R"({"approvedAt":1})")));
    EXPECT_FALSE(ApprovedScope::fromJSON(json::parse(R"({"caps":[1],"approvedAt":1})")));
}

} // namespace
} // namespace vantrel
