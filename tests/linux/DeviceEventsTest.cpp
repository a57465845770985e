#include "app/linux/DeviceEvents.h"

#include <chrono>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <gtest/gtest.h>

namespace vantrel {
namespace {

// The main loop's shape: wait for the descriptor or the timer, drain, run a cycle. Returns how
// many rounds ran within `rounds` waits of `tick` each.
int cycles(DeviceEvents& events, int rounds, int tick) {
    int ran = 0;
    for (int i = 0; i < rounds; ++i) {
        pollfd watch{events.fd(), POLLIN, 0}; // poll passes over a negative descriptor
        const int ready = ::poll(&watch, 1, tick);
        if (ready > 0 && (watch.revents & POLLIN) != 0) {
            events.drain();
        }
        ++ran; // an event or the timer: either way a scan cycle
    }
    return ran;
}

TEST(DeviceEvents, OpensTheSourceThatCanHear) {
    DeviceEvents events;
    if (events.fd() < 0) {
        GTEST_SKIP() << "no netlink sockets here";
    }
    EXPECT_EQ(events.source(), ::access("/run/udev/control", F_OK) == 0 ? "udev" : "kernel");
    const int flags = ::fcntl(events.fd(), F_GETFL);
    EXPECT_NE(flags & O_NONBLOCK, 0) << "a drain must never wait";
    EXPECT_NE(::fcntl(events.fd(), F_GETFD) & FD_CLOEXEC, 0) << "tools started must not inherit it";

    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(cycles(events, 3, 10), 3);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
}

TEST(DeviceEvents, WithoutAMonitorTheTimerDrives) {
    DeviceEvents events("no such source");
    EXPECT_EQ(events.fd(), -1);
    EXPECT_EQ(events.source(), "");
    EXPECT_FALSE(events.drain());
    EXPECT_EQ(cycles(events, 2, 5), 2);
}

} // namespace
} // namespace vantrel
