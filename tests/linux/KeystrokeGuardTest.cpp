#include "app/linux/KeystrokeGuard.h"

#include "tests/linux/FixtureTree.h"

#include <fcntl.h>
#include <linux/input.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <gtest/gtest.h>

namespace vantrel {
namespace {

struct TestClock final : Clock {
    Timestamp time{100};
    Timestamp now() const override { return time; }
};

// /dev/input/eventN as `kind` says: a "fifo", a "socket" (opening it fails with ENXIO), or
// nothing at all.
void makeNode(FixtureTree& tree, int n, std::string_view kind) {
    tree.folder("/dev/input");
    const std::string event = tree.at("/dev/input/event" + std::to_string(n)).string();
    if (kind == "fifo") {
        EXPECT_EQ(::mkfifo(event.c_str(), 0600), 0);
    } else if (kind == "socket") {
        const int s = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        event.copy(address.sun_path, sizeof address.sun_path - 1);
        EXPECT_EQ(::bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        ::close(s);
    }
}

// Keyboard inputN, on USB or built in (PS/2), with its eventN; the event device is a FIFO unless
// `node` says otherwise. The keyboard's registry id.
std::uint64_t addKeyboard(FixtureTree& tree, int n, const std::string& name, bool builtIn = false,
                          const char* node = "fifo") {
    const std::string path =
        (builtIn ? "/sys/devices/platform/i8042/serio0"
                 : "/sys/devices/pci0000:00/0000:00:14.0/usb1/1-2/1-2:1.0/0003:1234:5678.0001") +
        std::string("/input/input") + std::to_string(n);
    tree.attribute(path + "/name", name);
    tree.attribute(path + "/id/bustype", builtIn ? "0011" : "0003");
    tree.attribute(path + "/capabilities/key", "fffffffffffffffe");
    tree.folder(path + "/event" + std::to_string(n));
    tree.link("/sys/class/input/input" + std::to_string(n), "../../" + path.substr(5));
    makeNode(tree, n, node);
    struct stat info {};
    EXPECT_EQ(::stat(tree.at(path).c_str(), &info), 0);
    return info.st_ino;
}

// The writing end of a fixture event device, opened once the guard reads it.
struct Writer {
    int fd;
    Writer(FixtureTree& tree, int n)
        : fd(::open(tree.at("/dev/input/event" + std::to_string(n)).c_str(),
                    O_WRONLY | O_NONBLOCK)) {
        EXPECT_GE(fd, 0);
    }
    ~Writer() { ::close(fd); }
    void bytes(const void* data, std::size_t size) const {
        EXPECT_EQ(::write(fd, data, size), static_cast<ssize_t>(size));
    }
    void send(const std::vector<input_event>& events) const {
        bytes(events.data(), events.size() * sizeof(input_event));
    }
};

input_event ev(int type, int code, int value) {
    input_event event{};
    event.type = static_cast<__u16>(type);
    event.code = static_cast<__u16>(code);
    event.value = value;
    return event;
}

struct Fixture {
    FixtureTree tree;
    TestClock clock;
    KeystrokeGuard guard{clock};
    std::vector<Keyboard> heard;
    std::vector<Timestamp> times;
    int changes = 0;
    Fixture() {
        guard.setOnKeyDown([this](const Keyboard& k, Timestamp at) {
            heard.push_back(k);
            times.push_back(at);
        });
        guard.setDescriptorsChanged([this] { ++changes; });
    }
};

TEST(KeystrokeGuard, countsKeysGoingDownOnly) {
    const struct {
        const char* what;
        std::vector<input_event> events;
        std::size_t presses;
    } cases[] = {
        {"press, release", {ev(EV_KEY, KEY_A, 1), ev(EV_SYN, 0, 0), ev(EV_KEY, KEY_A, 0)}, 1},
        {"held down", {ev(EV_KEY, KEY_A, 1), ev(EV_KEY, KEY_A, 2), ev(EV_KEY, KEY_A, 2)}, 1},
        {"modifiers", {ev(EV_KEY, KEY_LEFTSHIFT, 1), ev(EV_KEY, KEY_RIGHTMETA, 1)}, 2},
        {"media key and the last key code", {ev(EV_KEY, KEY_PLAYPAUSE, 1), ev(EV_KEY, 255, 1)}, 2},
        {"no key", {ev(EV_KEY, KEY_RESERVED, 1)}, 0},
        {"buttons", {ev(EV_KEY, BTN_MISC, 1), ev(EV_KEY, BTN_LEFT, 1)}, 0},
        {"other types", {ev(EV_MSC, MSC_SCAN, 1), ev(EV_REL, KEY_A, 1), ev(EV_SYN, KEY_A, 1)}, 0},
    };
    for (const auto& c : cases) {
        Fixture f;
        const std::uint64_t id = addKeyboard(f.tree, 4, "Keys");
        f.guard.start();
        Writer(f.tree, 4).send(c.events);
        EXPECT_EQ(f.guard.pollOnce(1000), 1) << c.what;
        EXPECT_EQ(f.heard.size(), c.presses) << c.what;
        EXPECT_EQ(f.heard.empty() ? id : f.heard.back().registryID, id) << c.what;
    }
}

TEST(KeystrokeGuard, recordsEachKeyboardAtItsFirstPressAndKeepsItAcrossStopAndStart) {
    Fixture f;
    const std::uint64_t external = addKeyboard(f.tree, 3, "Keys");
    const std::uint64_t builtIn = addKeyboard(f.tree, 7, "", true);
    f.guard.start();
    {
        Writer a(f.tree, 3), b(f.tree, 7);
        a.send({ev(EV_KEY, KEY_A, 1)});
        f.guard.pollOnce(1000);
        f.clock.time = Timestamp{200};
        b.send({ev(EV_KEY, KEY_B, 1)});
        f.guard.pollOnce(1000);
        EXPECT_EQ(f.guard.seize(builtIn), false); // a FIFO cannot be grabbed
        f.guard.stop();
    }
    EXPECT_FALSE(f.guard.running());
    EXPECT_TRUE(f.guard.descriptors().empty());
    f.clock.time = Timestamp{300};
    f.guard.start();
    Writer(f.tree, 3).send({ev(EV_KEY, KEY_C, 1)});
    f.guard.pollOnce(1000);

    const Keyboard first{external, "Keys", false, Timestamp{100}};
    const Keyboard second{builtIn, "Unknown keyboard", true, Timestamp{200}};
    EXPECT_EQ(f.heard, (std::vector<Keyboard>{first, second, first}));
    EXPECT_EQ(f.guard.keyboards(),
              (std::map<std::uint64_t, Keyboard>{{external, first}, {builtIn, second}}));
    EXPECT_TRUE(f.guard.seized().empty());
    EXPECT_EQ(f.changes, 4); // started, stopped, started, the last writer gone
}

input_event stamped(double unixSeconds) {
    input_event event = ev(EV_KEY, KEY_A, 1);
    event.input_event_sec = static_cast<decltype(event.input_event_sec)>(unixSeconds);
    event.input_event_usec = static_cast<decltype(event.input_event_usec)>(
        (unixSeconds - static_cast<double>(event.input_event_sec)) * 1e6);
    return event;
}

// Presses that pile up while the main loop is busy keep the times they were typed at: a person's
// steady typing read in one go must not look like a burst. A stamp that cannot be right gives
// way to the time of the read.
TEST(KeystrokeGuard, datesEachPressByItsOwnStamp) {
    const Timestamp opened = Timestamp::fromUnix(1.8e9);
    const Timestamp read = opened + 20;
    const struct {
        const char* what;
        double stamp; // seconds after the node was opened
        Timestamp heard;
    } cases[] = {
        {"typed while the loop stalled", 4.5, opened + 4.5},
        {"just before the read", 20, read},
        {"after the read", 60, read},
        {"long before the node was opened", -3600, read},
        {"no stamp at all", -1.8e9, read},
    };
    for (const auto& c : cases) {
        Fixture f;
        f.clock.time = opened;
        addKeyboard(f.tree, 2, "Keys");
        f.guard.start();
        f.clock.time = read;
        Writer(f.tree, 2).send({stamped(opened.unixSeconds() + c.stamp)});
        f.guard.pollOnce(1000);
        ASSERT_EQ(f.times.size(), 1u) << c.what;
        EXPECT_NEAR(f.times[0].seconds, c.heard.seconds, 1e-3) << c.what;
        EXPECT_NEAR(f.heard[0].firstSeen.seconds, c.heard.seconds, 1e-3) << c.what;
    }
}

TEST(KeystrokeGuard, stopsReadingWhenTheHandlerStopsTheWatcher) {
    Fixture f;
    addKeyboard(f.tree, 1, "Keys");
    f.guard.setOnKeyDown([&f](const Keyboard& k, Timestamp) {
        f.heard.push_back(k);
        f.guard.stop();
    });
    f.guard.start();
    Writer(f.tree, 1).send({ev(EV_KEY, KEY_A, 1), ev(EV_KEY, KEY_B, 1)});
    EXPECT_EQ(f.guard.pollOnce(1000), 1);
    EXPECT_EQ(f.heard.size(), 1U);
    EXPECT_FALSE(f.guard.running());
}

TEST(KeystrokeGuard, readsAnEventCutInTwoWhole) {
    for (std::size_t cut : {std::size_t{1}, std::size_t{8}, sizeof(input_event) - 1}) {
        Fixture f;
        addKeyboard(f.tree, 2, "Keys");
        f.guard.start();
        Writer w(f.tree, 2);
        const input_event events[] = {ev(EV_KEY, KEY_A, 0), ev(EV_KEY, KEY_B, 1)};
        const auto* bytes = reinterpret_cast<const unsigned char*>(events);
        w.bytes(bytes, sizeof events[0] + cut);
        f.guard.pollOnce(1000);
        EXPECT_TRUE(f.heard.empty()) << cut;
        w.bytes(bytes + sizeof events[0] + cut, sizeof events[1] - cut);
        f.guard.pollOnce(1000);
        EXPECT_EQ(f.heard.size(), 1U) << cut;
    }
}

TEST(KeystrokeGuard, followsKeyboardsThatComeAndGoWhileRunning) {
    Fixture f;
    f.tree.folder("/dev/input");
    f.guard.start(); // no keyboard yet: runs all the same
    EXPECT_TRUE(f.guard.running());
    const std::uint64_t id = addKeyboard(f.tree, 5, "Late");
    EXPECT_TRUE(f.guard.descriptors().empty());
    f.guard.rescan();
    ASSERT_EQ(f.guard.descriptors().size(), 1U);
    EXPECT_EQ(f.changes, 1);
    {
        Writer w(f.tree, 5);
        w.send({ev(EV_KEY, KEY_A, 1)});
        EXPECT_EQ(f.guard.pollOnce(1000), 1);
        ASSERT_EQ(f.heard.size(), 1U);
        EXPECT_EQ(f.heard[0].registryID, id);
        f.guard.rescan(); // nothing new
        EXPECT_EQ(f.changes, 1);
    }
    f.guard.pollOnce(1000); // the writer's end is the device's end
    EXPECT_TRUE(f.guard.descriptors().empty());
    EXPECT_EQ(f.changes, 2);
    f.guard.rescan();
    EXPECT_EQ(f.guard.descriptors().size(), 1U);
    f.tree.remove("/sys/class/input/input5");
    f.guard.rescan();
    EXPECT_TRUE(f.guard.descriptors().empty());
    EXPECT_EQ(f.changes, 4);
    EXPECT_FALSE(f.guard.seize(id));
}

TEST(KeystrokeGuard, isGrantedWhenAnyKeyboardOpens) {
    const struct {
        const char* what;
        std::vector<const char*> keyboards; // the event device of each
        const char* other;                  // event9, of no keyboard
        bool granted;
    } cases[] = {
        {"readable", {"fifo"}, "socket", true},
        {"one of two readable", {"socket", "fifo"}, "none", true},
        {"refused", {"socket"}, "fifo", false},
        {"missing: another device readable", {"none"}, "fifo", true},
        {"no keyboard: another device refused", {}, "socket", false},
        {"no event device: /dev/input readable", {}, "none", true},
        {"no /dev/input", {}, nullptr, false},
    };
    for (const auto& c : cases) {
        Fixture f;
        int n = 0;
        for (const char* node : c.keyboards) {
            addKeyboard(f.tree, n++, "Keys", false, node);
        }
        if (c.other != nullptr) {
            makeNode(f.tree, 9, c.other);
        }
        EXPECT_EQ(f.guard.checkAccess(), c.granted) << c.what;
        EXPECT_EQ(f.guard.requestAccess(), c.granted) << c.what;
        f.guard.start();
        EXPECT_EQ(f.guard.running(), c.granted) << c.what;
    }
}

} // namespace
} // namespace vantrel
