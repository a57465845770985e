#include "core/RateWindow.h"

#include <cmath>
#include <vector>

#include <gtest/gtest.h>

namespace vantrel {
namespace {

constexpr Timestamp t{813147840};

TEST(RateWindow, TotalCountsSamplesUpToExactlyTheWindowAge) {
    RateWindow w(1.5);
    EXPECT_EQ(w.total(t), 0);
    EXPECT_EQ(w.perSecond(t), 0);
    w.add(1, t);
    w.add(1, t + 0.5);
    w.add(1, t + 1.0);
    const std::pair<double, double> cases[] = {
        {1.0, 3}, {1.5, 3}, {1.6, 2}, {2.0, 2}, {2.6, 0}, {-1.0, 3}, // earlier `now`: all count
    };
    for (auto [offset, total] : cases) {
        EXPECT_EQ(w.total(t + offset), total) << offset;
    }
    EXPECT_EQ(w.samples().size(), 3u); // reading removes nothing
    EXPECT_EQ(w.perSecond(t + 1.0), 2);
}

TEST(RateWindow, AddPrunesRelativeToTheSampleTime) {
    RateWindow w(1.5);
    for (double offset : {0.0, 0.5, 1.0, 2.0}) {
        w.add(1, t + offset);
    }
    const std::vector<RateWindow::Sample> kept{{t + 0.5, 1}, {t + 1.0, 1}, {t + 2.0, 1}};
    EXPECT_EQ(w.samples(), kept);

    // A sample dated before the last one prunes relative to its own, earlier time.
    w.add(5, t + 0.2);
    EXPECT_EQ(w.samples().size(), 4u);
    EXPECT_EQ(w.total(t + 2.0), 3); // t+0.2 is 1.8 s old by then and no longer counts
    EXPECT_EQ(w.total(t + 1.0), 8);

    w.prune(t + 10);
    EXPECT_TRUE(w.samples().empty());
}

TEST(RateWindow, PerSecondDividesByTheWindowNotTheSpan) {
    RateWindow w(10);
    w.add(10'000'000, t);
    w.add(15'000'000, t + 3);
    EXPECT_EQ(w.perSecond(t + 3), 2'500'000);
}

TEST(RateWindow, NotANumberTimeNeitherCountsNorCrashes) {
    RateWindow w(1.5);
    w.add(1, t);
    w.add(1, Timestamp{std::nan("")});
    EXPECT_EQ(w.total(t), 1);
}

} // namespace
} // namespace vantrel
