#include "core/ApprovedScope.h"
#include "core/Rules.h"

#include <cmath>
#include <limits>
#include <vector>

#include <gtest/gtest.h>

namespace vantrel {
namespace {

const double nan = std::numeric_limits<double>::quiet_NaN();

TEST(Rules, Injection) {
    struct Case {
        double keys, age;
        bool builtIn, expected;
    };
    const Case cases[] = {
        {30, 0, false, true},     {29.9, 0, false, false},  {29, 0, false, false},
        {1000, 0, true, false},   {100, 600, false, true},  {100, 600.001, false, false},
        {100, -50, false, true},  {100, nan, false, false}, {nan, 0, false, false},
        {30, 599.9, false, true}, {0, 0, false, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Rules::isInjection(c.keys, c.age, c.builtIn), c.expected)
            << c.keys << " keys at age " << c.age << (c.builtIn ? " built-in" : "");
    }
}

TEST(Rules, NetworkBurst) {
    EXPECT_TRUE(Rules::isNetworkBurst(2'000'000));
    EXPECT_TRUE(Rules::isNetworkBurst(std::numeric_limits<double>::infinity()));
    EXPECT_FALSE(Rules::isNetworkBurst(1'999'999.99));
    EXPECT_FALSE(Rules::isNetworkBurst(nan));
}

TEST(ApprovedScope, OutOfScopeKeepsOrderAndDuplicates) {
    using C = Capability;
    struct Case {
        std::set<std::string, std::less<>> approved;
        std::vector<Capability> current, expected;
    };
    const Case cases[] = {
        {{"input"}, {C::input, C::serial, C::storage}, {C::serial, C::storage}},
        {{}, {C::hub, C::input}, {C::hub, C::input}},
        {{"input"}, {}, {}},
        {{"Keyboard/mouse"}, {C::input}, {C::input}}, // a label approves nothing
        {{"network"}, {C::serial, C::network, C::serial}, {C::serial, C::serial}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ((ApprovedScope{c.approved, Timestamp::distantPast()}.outOfScope(c.current)),
                  c.expected);
    }
}

} // namespace
} // namespace vantrel
