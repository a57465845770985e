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

TEST(DeviceHistory, WhenFullOnlyDevicesSeenOnceAreDroppedLongestAgoFirst) {
    // A device: its key, how often its record says it was seen (-1: no record), when last, and
    // whether it has an approved scope. Every case keeps at most 3 of each.
    struct Device {
        std::string key;
        std::int64_t seen;
        double last;
        bool scoped;
    };
    struct Case {
        const char* what;
        std::vector<Device> devices;
        std::vector<std::string> dropped;
    };
    const Case cases[] = {
        {"within the bound", {{"a", 1, 1, true}, {"b", 1, 2, true}, {"c", 1, 3, true}}, {}},
        {"seen once, longest ago first; seen twice never",
         {{"old", 2, 0, true},
          {"e", 1, 5, true},
          {"a", 1, 1, true},
          {"c", 1, 3, false},
          {"n", 0, 4, true}},
         {"a", "c"}},
        {"a tie goes by key",
         {{"b", 1, 1, true}, {"a", 1, 1, true}, {"c", 1, 1, true}, {"d", 1, 2, true}},
         {"a"}},
        {"too many scopes: only a device with one helps, one without a record stays",
         {{"x", -1, 0, true},
          {"y", -1, 0, true},
          {"h", 1, 0, false},
          {"s", 1, 9, true},
          {"t", 2, 1, true}},
         {"s"}},
        {"nothing that may go",
         {{"a", 2, 1, true},
          {"b", 3, 2, true},
          {"c", 2, 3, true},
          {"d", 5, 4, true},
          {"e", -1, 0, true}},
         {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        DeviceHistories histories;
        std::map<std::string, std::vector<std::string>> approved;
        for (const Device& d : c.devices) {
            if (d.seen >= 0) {
                histories[d.key] = {d.seen, Timestamp{0}, Timestamp{d.last}, {}};
            }
            if (d.scoped) {
                approved[d.key] = {"storage"};
            }
        }
        EXPECT_EQ(devicesToDrop(histories, approved, 3), c.dropped);
    }

    // Bytes count too: of three long keys made of control characters (each escaped in six
    // bytes), two fit. The estimate holds the file as the settings store writes it.
    DeviceHistories histories;
    std::map<std::string, std::vector<std::string>> approved;
    for (char c = 1; c <= 3; ++c) {
        const std::string key(126, c);
        histories[key] = {1, Timestamp{0}, Timestamp{double(c)}, {"input", "storage"}};
        approved[key] = {"input"};
    }
    const std::string first(126, '\1');
    const std::size_t each = storedSize(first, &histories[first], &approved[first]);
    EXPECT_EQ(devicesToDrop(histories, approved, 3, 2 * each), std::vector<std::string>{first});
    const json file{{"deviceHistory", historiesToJSON(histories)}, {"knownUSB", approved}};
    EXPECT_LE(file.dump(2).size(), 3 * each);
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
