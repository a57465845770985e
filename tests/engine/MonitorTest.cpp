#include "app/engine/Monitor.h"

#include "app/engine/AtomicFile.h"
#include "app/engine/scripted/ScriptedMachine.h"
#include "app/engine/scripted/VirtualScheduler.h"
#include "tests/TestSupport.h"

#include <clocale>
#include <fstream>
#include <optional>
#include <set>
#include <sstream>
#include <string_view>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

namespace vantrel {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;

constexpr Timestamp start{813147840};

std::string contents(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

void put(const fs::path& file, const std::string& bytes) {
    fs::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << bytes;
}

std::vector<fs::path> asideCopies(const fs::path& file) {
    std::vector<fs::path> found;
    for (const auto& entry : fs::directory_iterator(file.parent_path())) {
        if (entry.path().filename().string().starts_with(file.filename().string() +
                                                         ".unreadable-")) {
            found.push_back(entry.path());
        }
    }
    return found;
}

USBDevice device(std::uint64_t id, std::string name, std::vector<Capability> caps,
                 std::string serial = "") {
    USBDevice d;
    d.id = id;
    d.name = std::move(name);
    d.vendor = "Acme";
    d.vendorID = 0x1234;
    d.productID = 0x5678;
    d.serial = std::move(serial);
    d.locationID = 0x01100000;
    d.caps = std::move(caps);
    return d;
}

// A Monitor on a scripted machine in virtual time, with its files in a scratch folder.
struct Rig {
    TempFolder folder;
    MonitorFiles files{folder.path / "config/Vantrel/defaults.json",
                       folder.path / "data/Vantrel/events.json"};
    VirtualScheduler scheduler{start};
    ScriptedMachine machine;
    ScriptedKeyboardWatcher keyboard{machine, scheduler};
    std::vector<std::string> notifications;
    RecordingNotifier notifier{[this](const std::string& body) { notifications.push_back(body); }};
    RecordingPanel panel{nullptr};
    EventSink* sink = nullptr;
    std::unique_ptr<Monitor> monitor;

    void launch() {
        monitor.reset();
        monitor = std::make_unique<Monitor>(
            MonitorProviders{machine, keyboard, notifier, panel, scheduler, scheduler, sink},
            files);
    }
    void advance(double seconds) { scheduler.runUntil(scheduler.now() + seconds, true); }
    json settings() const { return json::parse(contents(files.settings)); }
};

TEST(Monitor, LogKeepsTheNewestFiveHundredOnDiskAndInMemory) {
    Rig rig;
    rig.launch(); // logs the baseline line
    for (int i = 0; i < 500; ++i) {
        rig.monitor->log(Event::Level::info, "event " + std::to_string(i), false);
    }
    const auto& events = rig.monitor->events();
    ASSERT_EQ(events.size(), Monitor::maxEvents);
    EXPECT_EQ(events.front().text, "event 499");
    EXPECT_EQ(events.back().text, "event 0"); // the baseline line was the oldest and went
    const json stored = json::parse(contents(rig.files.events));
    ASSERT_EQ(stored.size(), 500u);
    EXPECT_EQ(stored.front()["text"], "event 499");

    // The log survives a restart (which, with no device ever recorded, baselines again).
    rig.launch();
    EXPECT_EQ(rig.monitor->events().at(1).text, "event 499");
}

TEST(Monitor, NotificationsFollowTheNotifyFlagAndWarningsAwaitReview) {
    Rig rig;
    rig.launch();
    rig.monitor->log(Event::Level::warning, "quiet warning", false);
    rig.monitor->log(Event::Level::warning, "loud warning", true);
    rig.monitor->log(Event::Level::info, "loud info", true);
    EXPECT_EQ(rig.notifications, (std::vector<std::string>{"loud warning", "loud info"}));
    ASSERT_EQ(rig.monitor->unreviewed().size(), 2u);
    EXPECT_EQ(rig.monitor->unreviewed()[0].text, "loud warning");

    rig.monitor->markAllReviewed();
    EXPECT_TRUE(rig.monitor->unreviewed().empty());
    for (const auto& e : json::parse(contents(rig.files.events))) {
        EXPECT_TRUE(e["reviewed"].get<bool>());
    }
}

TEST(Monitor, EachEventAboutOneDeviceTellsTheSinkWhichDeviceAndItsScoreWhenScored) {
    struct Sink final : EventSink {
        std::vector<std::pair<Event, std::optional<EventDevice>>> got;
        void record(const Event& e, const std::optional<EventDevice>& d) override {
            got.emplace_back(e, d);
        }
    } sink;
    Rig rig;
    rig.sink = &sink;
    USBDevice alpha = device(1, "Alpha", {Capability::storage, Capability::serial}, "A");
    alpha.disks = {"sdc"};
    alpha.serialPaths = {"/dev/ttyACM0"};
    const USBDevice beta = device(2, "Beta", {Capability::storage}, "B");
    const USBDevice gamma = device(4, "Gamma", {Capability::storage}, "C");
    USBDevice delta = device(5, "Delta", {Capability::storage}, "D");
    delta.blocked = true;
    auto plugged = [&rig](std::vector<USBDevice> usb, double wait) {
        rig.machine.state.usb = std::move(usb);
        rig.monitor->deviceChanged();
        rig.advance(wait);
    };
    rig.machine.state.usb = {beta};
    rig.launch();
    plugged({beta, alpha}, 2);
    rig.machine.state.serialUsers["/dev/ttyACM0"] = {"minicom"};
    rig.machine.state.volumes["sdc"] = {"STICK"};
    rig.advance(3);
    rig.monitor->approveScope(alpha);
    rig.monitor->ejectDisks(alpha);
    rig.advance(0);
    rig.monitor->forget(alpha);
    plugged({alpha}, 0);
    USBDevice beyond = beta;
    beyond.id = 3;
    beyond.caps = {Capability::input, Capability::storage};
    plugged({alpha, beyond}, 2);
    plugged({alpha, gamma}, 0.5);
    plugged({alpha}, 0);
    rig.machine.state.ports = {{"Port-1", "USB port 1-1", true, 1, "Not Authorized", true}};
    plugged({alpha, delta}, 0);
    rig.monitor->refusePrompt();

    const std::map<std::string, std::string> keys{{"Alpha", alpha.key()},
                                                  {"Beta", beta.key()},
                                                  {"Gamma", gamma.key()},
                                                  {"Delta", delta.key()}};
    std::set<std::string> seen;
    for (const auto& [event, about] : sink.got) {
        std::optional<std::string> named;
        for (const auto& [name, key] : keys) {
            if (event.text.find(name + " (1234:5678)") != std::string::npos) {
                named = key;
            }
        }
        ASSERT_EQ(about.has_value(), named.has_value()) << event.text;
        seen.insert(event.text);
        if (!about) {
            continue;
        }
        EXPECT_EQ(about->key, *named) << event.text;
        EXPECT_EQ(std::pair(about->vendorID, about->productID), std::pair(0x1234, 0x5678));
        const bool scored = event.text.find("Trust score") != std::string::npos ||
                            event.text.starts_with("New USB device");
        EXPECT_EQ(about->trustScore.has_value(), scored) << event.text;
    }
    // Every kind of event about one device came by.
    for (const char* kind :
         {"New USB device", "opened the serial port", "mounted a disk", "You approved",
          "Ejected sdc", "Forgot Alpha", "Disconnected: Beta", "is out of scope", "Brief USB",
          "asked whether to allow Delta", "You chose Don't Allow for Delta"}) {
        EXPECT_TRUE(std::any_of(seen.begin(), seen.end(), [&](const std::string& s) {
            return s.find(kind) != std::string::npos;
        })) << kind;
    }
}

TEST(Monitor, DemoMonitorKeepsEverythingInMemory) {
    Rig rig;
    auto demo = Monitor::demo(MonitorProviders{rig.machine, rig.keyboard, rig.notifier, rig.panel,
                                               rig.scheduler, rig.scheduler},
                              start);
    for (int i = 0; i < 501; ++i) {
        demo->log(Event::Level::warning, "demo " + std::to_string(i), true);
    }
    demo->setAutoPause(false);
    demo->approveScope(device(1, "Drive", {Capability::storage}));
    EXPECT_EQ(demo->events().size(), Monitor::maxEvents);
    EXPECT_TRUE(rig.notifications.empty());
    EXPECT_FALSE(fs::exists(rig.files.events));
    EXPECT_FALSE(fs::exists(rig.files.settings));
    EXPECT_EQ(rig.scheduler.pending(), 0u); // it never scans
}

TEST(Monitor, WindowPreferencesAndTheScreenLock) {
    Rig rig;
    rig.launch();
    EXPECT_FALSE(rig.monitor->developerMode());
    rig.monitor->setDeveloperMode(true);
    EXPECT_EQ(rig.settings()["developerMode"], true);
    rig.launch();
    EXPECT_TRUE(rig.monitor->developerMode()) << "remembered across launches";

    // The lock is logged only when it happened.
    const std::size_t before = rig.monitor->events().size();
    rig.machine.state.results.lockScreen = false;
    rig.monitor->lockScreen();
    rig.advance(0);
    EXPECT_EQ(rig.monitor->events().size(), before);
    rig.machine.state.results.lockScreen = true;
    rig.monitor->lockScreen();
    rig.advance(0);
    EXPECT_EQ(rig.monitor->events().front().text, "You locked the screen from Vantrel.");
    EXPECT_EQ(rig.monitor->events().front().level, Event::Level::info);
    EXPECT_TRUE(rig.notifications.empty());

    auto demo = Monitor::demo(MonitorProviders{rig.machine, rig.keyboard, rig.notifier, rig.panel,
                                               rig.scheduler, rig.scheduler},
                              start);
    int locks = 0;
    rig.machine.setActionHook(
        [&](const std::string& name, auto, auto) { locks += name == "lockScreen" ? 1 : 0; });
    demo->lockScreen();
    EXPECT_EQ(locks, 0) << "a demo never touches the machine";
    EXPECT_TRUE(demo->events().empty());
}

TEST(Monitor, UnreadableStoredStateIsKeptAsideBeforeItIsReplaced) {
    const std::string brokenEvents = R"([{"id":"6F1C3B0E-8F2A-4C55-9D3B-2B7E0E5C9A11","date":1,)"
                                     R"("level":"info","text":"no reviewed flag"}])";
    const std::string oddSettings =
        R"({"knownUSB": "not a map", "deviceHistory": "{broken", "developerMode": true})";
    Rig rig;
    put(rig.files.events, brokenEvents);
    put(rig.files.settings, oddSettings);
    rig.machine.state.usb = {device(1, "Drive", {Capability::storage})};
    rig.launch();

    // Both start empty, as if nothing had been stored...
    ASSERT_EQ(rig.monitor->events().size(), 1u);
    EXPECT_EQ(rig.monitor->events()[0].text,
              "Vantrel couldn't read its list of approved devices and kept it aside as "
              "defaults.json.unreadable-20261008T102400. It recorded 1 connected USB devices as "
              "your new trusted baseline. Check that you know them.");
    EXPECT_EQ(rig.monitor->knownUSB().size(), 1u);
    // ...but what was there is kept, byte for byte, and the rest of the settings survive.
    const auto eventsAside = asideCopies(rig.files.events);
    const auto settingsAside = asideCopies(rig.files.settings);
    ASSERT_EQ(eventsAside.size(), 1u);
    ASSERT_EQ(settingsAside.size(), 1u);
    EXPECT_EQ(contents(eventsAside[0]), brokenEvents);
    EXPECT_EQ(contents(settingsAside[0]), oddSettings);
    EXPECT_EQ(rig.settings()["developerMode"], true);

    // Once replaced by readable state, nothing more is set aside.
    rig.launch();
    rig.monitor->log(Event::Level::info, "later", false);
    EXPECT_EQ(asideCopies(rig.files.events).size(), 1u);
    EXPECT_EQ(asideCopies(rig.files.settings).size(), 1u);
}

TEST(Monitor, ABaselineTakenWithoutTheApprovedDevicesIsAWarning) {
    struct Case {
        std::string stored; // empty: no file
        bool warned;
    };
    const Case cases[] = {
        {"", false},
        {R"({"knownUSB": {}, "deviceHistory": 1})", false},
        {R"({"knownUSB": []})", true},
        {"{broken", true},
        {"[" + std::string(SettingsStore::maxBytes, ' ') + "]", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.stored.substr(0, 40));
        Rig rig;
        if (!c.stored.empty()) {
            put(rig.files.settings, c.stored);
        }
        rig.machine.state.usb = {device(1, "Drive", {Capability::storage}, "S1"),
                                 device(2, "Keypad", {Capability::input}, "S2")};
        rig.launch();
        ASSERT_EQ(rig.monitor->events().size(), 1u);
        const Event& line = rig.monitor->events()[0];
        EXPECT_EQ(rig.monitor->knownUSB().size(), 2u);
        if (!c.warned) {
            EXPECT_EQ(
                line.text,
                "Vantrel started. Recorded 2 connected USB devices as your trusted baseline.");
            EXPECT_TRUE(rig.notifications.empty());
            continue;
        }
        const auto aside = asideCopies(rig.files.settings);
        ASSERT_EQ(aside.size(), 1u);
        EXPECT_EQ(contents(aside[0]), c.stored);
        const std::string text =
            "Vantrel couldn't read its list of approved devices and kept it aside as " +
            aside[0].filename().string() +
            ". It recorded 2 connected USB devices as your new trusted baseline. Check that you "
            "know them.";
        EXPECT_EQ(line.text, text);
        EXPECT_EQ(line.level, Event::Level::warning);
        EXPECT_EQ(rig.notifications, std::vector<std::string>{text});
    }
}

TEST(Monitor, DevicesCanMakeItStoreAThousandAtMostAndNeverDropAnEstablishedOne) {
    Rig rig;
    json known = json::object(), history = json::object();
    const auto record = [](int seen, double at) {
        return json{
            {"timesSeen", seen}, {"firstSeen", at}, {"lastSeen", at}, {"lastCaps", json::array()}};
    };
    // A thousand and one devices, seen once each, but for the oldest, seen twice, and one
    // approved without a record.
    for (int i = 0; i <= 1000; ++i) {
        const std::string key = "1234:5678:crafted" + std::to_string(i);
        known[key] = json::array();
        history[key] = record(i == 0 ? 2 : 1, i);
    }
    known["1234:5678:approved"] = {"storage"};
    put(rig.files.settings, json{{"knownUSB", known}, {"deviceHistory", history}}.dump());
    rig.launch(); // nothing to record: the excess goes with the next write
    rig.machine.state.usb = {device(1, "Drive", {Capability::storage}, "new")};
    rig.monitor->deviceChanged();
    rig.advance(2);

    // Dropped, from both alike, as few as bring each to a thousand: two at start (one for each
    // collection), one for the new device.
    const json stored = rig.settings();
    EXPECT_EQ(stored["knownUSB"].size(), maxStoredDevices);
    EXPECT_EQ(stored["deviceHistory"].size(), maxStoredDevices - 1);
    EXPECT_TRUE(stored["knownUSB"].contains("1234:5678:approved"));
    for (const auto& part : {stored["knownUSB"], stored["deviceHistory"]}) {
        for (const char* kept : {"1234:5678:crafted0", "1234:5678:crafted4", "1234:5678:new"}) {
            EXPECT_TRUE(part.contains(kept)) << kept;
        }
        for (int gone = 1; gone <= 3; ++gone) {
            EXPECT_FALSE(part.contains("1234:5678:crafted" + std::to_string(gone))) << gone;
        }
    }
}

TEST(Monitor, StoredSettingsLoadByTheirShape) {
    struct Case {
        const char* stored;
        bool autoPause;
        std::map<std::string, std::vector<std::string>> known;
    };
    const Case cases[] = {
        {R"({})", true, {}},
        {R"({"autoPause": "no"})", true, {}},
        {R"({"autoPause": false})", false, {}},
        {R"({"knownUSB": {"05ac:029c:": ["Keyboard/mouse", "Network/serial", "hub", "x"]}})",
         true,
         {{"05ac:029c:", {"input", "network", "hub", "x"}}}},
        {R"({"knownUSB": {"05ac:029c:": "input"}})", true, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.stored);
        Rig rig;
        put(rig.files.settings, c.stored);
        rig.launch();
        EXPECT_EQ(rig.monitor->autoPause(), c.autoPause);
        EXPECT_EQ(rig.monitor->knownUSB(), c.known);
        // The value read at start is not written back.
        EXPECT_EQ(contents(rig.files.settings), c.stored);
    }
}

TEST(Monitor, KeystrokeGuardStartsOnlyWhenStoredOnAndAlreadyPermitted) {
    struct Case {
        const char* stored;
        bool access;
        bool on;
    };
    const Case cases[] = {
        {R"({"keystrokeGuard": true})", true, true},
        {R"({"keystrokeGuard": true})", false, false},
        {R"({"keystrokeGuard": "yes"})", true, false},
        {R"({})", true, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.stored);
        Rig rig;
        put(rig.files.settings, c.stored);
        rig.machine.state.inputAccess = c.access;
        rig.launch();
        EXPECT_EQ(rig.monitor->keystrokeGuardOn(), c.on);
    }

    Rig refused;
    refused.machine.state.inputAccess = false;
    refused.launch();
    refused.monitor->setKeystrokeGuard(true);
    EXPECT_FALSE(refused.monitor->keystrokeGuardOn());
    EXPECT_EQ(refused.settings()["keystrokeGuard"], true);
}

// A person's typing that reaches the Monitor late and all at once, after the main loop stalled,
// is judged by when each key went down; presses that really came in a burst still are an
// injection.
TEST(Monitor, KeyPressesAreJudgedByWhenTheyWereTyped) {
    for (const double spacing : {0.125, 0.01}) {
        SCOPED_TRACE(spacing);
        Rig rig;
        put(rig.files.settings, R"({"keystrokeGuard": true})");
        rig.launch();
        const Keyboard keys{7, "Keys", false, {}};
        const Timestamp typed = rig.scheduler.now();
        rig.advance(10);
        for (int i = 0; i < 80; ++i) {
            rig.keyboard.press(keys, typed + spacing * i);
        }
        rig.advance(0);
        const auto& events = rig.monitor->events();
        const bool injection = std::any_of(events.begin(), events.end(), [](const Event& e) {
            return e.text.find("faster than a person") != std::string::npos;
        });
        EXPECT_EQ(injection, spacing < 0.05);
    }
}

// Puts the process under German, which writes a decimal comma, as a desktop session is once Qt
// has read the environment, and back afterwards: the installed locale or, where the locale
// sources are, one compiled into a scratch folder. `active` is false when neither is there.
struct CommaLocale {
    TempFolder folder;
    std::optional<EnvGuard> path;
    const std::string before = std::setlocale(LC_ALL, nullptr);
    bool active = std::setlocale(LC_ALL, "de_DE.UTF-8") != nullptr;
    CommaLocale() {
        const std::string compile =
            "localedef -i de_DE -f UTF-8 " + folder.path.string() + "/de_DE.UTF-8 >/dev/null 2>&1";
        if (!active && std::system(compile.c_str()) == 0) {
            path.emplace("LOCPATH", folder.path.c_str());
            active = std::setlocale(LC_ALL, "de_DE.UTF-8") != nullptr;
        }
    }
    ~CommaLocale() { std::setlocale(LC_ALL, before.c_str()); }
};

TEST(Monitor, TheTypingReportWritesItsWindowWithAPointInEveryLocale) {
    Rig rig;
    put(rig.files.settings, R"({"keystrokeGuard": true})");
    rig.launch();
    const CommaLocale german;
    if (!german.active) {
        GTEST_SKIP() << "no German locale here";
    }
    ASSERT_EQ(std::string_view(std::localeconv()->decimal_point), ",");
    const Timestamp typed = rig.scheduler.now();
    rig.advance(10);
    for (int i = 0; i < 80; ++i) {
        rig.keyboard.press({7, "Keys", false, {}}, typed + 0.01 * i);
    }
    rig.advance(0);
    ASSERT_FALSE(rig.monitor->events().empty());
    EXPECT_NE(rig.monitor->events().front().text.find(" keys in 1.5 seconds,"), std::string::npos)
        << rig.monitor->events().front().text;
}

// Input devices name themselves: a flood of made-up ones cannot grow the settings without end.
TEST(Monitor, RemembersABoundedNumberOfInputDevices) {
    Rig rig;
    for (int i = 0; i < 1100; ++i) {
        rig.machine.state.inputs.push_back(
            {"Keys " + std::to_string(i), "USB", 1, i, false, "Keyboard"});
    }
    rig.launch();
    EXPECT_EQ(rig.monitor->knownInputs().size(), maxStoredDevices);
    EXPECT_EQ(rig.settings()["knownInputs"].size(), maxStoredDevices);
}

TEST(Monitor, CyclesRunOnTheTimerOnDeviceChangesAndAfterASettlingDevice) {
    Rig rig;
    std::vector<std::string> cycles;
    rig.launch();
    rig.monitor->setTrace({[&](std::string_view reason) {
                               cycles.emplace_back(std::to_string(static_cast<int>(
                                                       (rig.scheduler.now() - start) * 10)) +
                                                   " " + std::string(reason));
                           },
                           nullptr});
    rig.advance(1);
    rig.machine.state.usb = {device(7, "Keypad", {Capability::input})};
    rig.monitor->deviceChanged();
    rig.advance(3);
    EXPECT_EQ(cycles, (std::vector<std::string>{"10 device", "26 follow-up", "30 timer"}));
    ASSERT_FALSE(rig.monitor->events().empty());
    EXPECT_TRUE(rig.monitor->events()[0].text.starts_with("New USB device never seen before: "));

    // Once the Monitor is gone its timer and follow-ups do nothing.
    rig.monitor.reset();
    rig.advance(10);
    EXPECT_EQ(cycles.size(), 3u);
}

TEST(Monitor, EverydayDevicesLeaveOutPureInfrastructure) {
    Rig rig;
    USBDevice blockedHub = device(3, "Blocked Hub", {Capability::hub});
    blockedHub.blocked = true;
    rig.machine.state.usb = {device(1, "Dock", {Capability::hub, Capability::display}),
                             device(2, "Charger", {}), blockedHub,
                             device(4, "Hub Keyboard", {Capability::input, Capability::hub})};
    rig.launch();
    std::vector<std::string> names;
    for (const USBDevice& d : rig.monitor->everydayDevices()) {
        names.push_back(d.name);
    }
    EXPECT_EQ(names, (std::vector<std::string>{"Charger", "Blocked Hub", "Hub Keyboard"}));
}

TEST(Monitor, TrustOfADeviceSeenOnceIgnoresItsHistory) {
    Rig rig;
    rig.machine.state.usb = {device(1, "Keypad", {Capability::input}, "S1")};
    rig.launch();
    const USBDevice d = rig.monitor->usb().at(0);
    ASSERT_EQ(rig.monitor->history().at(d.key()).timesSeen, 1);
    const TrustScore once = rig.monitor->trust(d);
    EXPECT_EQ(once.history, std::vector<std::string>{"First time on this computer."});

    // Seen again on a later plug-in, the history counts.
    rig.machine.state.usb = {};
    rig.monitor->deviceChanged();
    rig.machine.state.usb = {device(2, "Keypad", {Capability::input}, "S1")};
    rig.monitor->deviceChanged();
    rig.advance(2);
    const TrustScore twice = rig.monitor->trust(rig.monitor->usb().at(0));
    EXPECT_EQ(twice.history.at(0), "Connected 2 times since Oct 8, 2026.");
}

TEST(Monitor, RatesAreMeasuredOverTheRealIntervalAndResetCountersGiveNone) {
    Rig rig;
    NetInterface lan;
    lan.id = "enx1";
    lan.name = "USB LAN";
    lan.active = true;
    lan.counters = {1'000'000, 50'000, 0, 0};
    rig.machine.state.nets = {lan};
    USBDevice adapter = device(1, "USB LAN", {Capability::network});
    adapter.netNames = {"enx1"};
    rig.machine.state.usb = {adapter};
    rig.launch();

    rig.machine.state.nets[0].counters = {4'000'000, 80'000, 0, 0};
    rig.advance(3);
    ASSERT_EQ(rig.monitor->nets().size(), 1u);
    EXPECT_DOUBLE_EQ(rig.monitor->nets()[0].inRate, 1'000'000);
    EXPECT_DOUBLE_EQ(rig.monitor->nets()[0].outRate, 10'000);
    EXPECT_EQ(rig.monitor->activity().at(1), "enx1 \u2193 1 MB/s \u2191 10 KB/s");

    // A counter that went backwards gives no rate for that direction; the other still counts.
    rig.machine.state.nets[0].counters = {10, 110'000, 0, 0};
    rig.advance(3);
    EXPECT_DOUBLE_EQ(rig.monitor->nets()[0].inRate, 0);
    EXPECT_DOUBLE_EQ(rig.monitor->nets()[0].outRate, 10'000);

    // Two cycles at the same moment divide by a millisecond, not by zero.
    rig.machine.state.nets[0].counters = {1010, 110'000, 0, 0};
    rig.monitor->deviceChanged();
    EXPECT_DOUBLE_EQ(rig.monitor->nets()[0].inRate, 1'000'000);
}

// Observers hear what changed, and nothing at all from a cycle that changed nothing.
TEST(Monitor, ObserversHearWhatChangedAndNothingElse) {
    const std::vector<std::pair<std::string, std::function<void(Rig&)>>> cases = {
        {"nothing", [](Rig& rig) { rig.advance(3); }},
        {"usb",
         [](Rig& rig) {
             rig.machine.state.usb[0].name = "Renamed";
             rig.advance(3);
         }},
        {"switches", [](Rig& rig) { rig.monitor->setAutoPause(false); }},
        {"events", [](Rig& rig) { rig.monitor->log(Event::Level::info, "Noted.", false); }},
        {"policy",
         [](Rig& rig) {
             rig.machine.state.canAllow = !rig.machine.state.canAllow;
             rig.advance(3);
         }},
    };
    const std::map<std::string, Changes::Part> parts = {{"usb", Changes::usb},
                                                        {"switches", Changes::switches},
                                                        {"events", Changes::events},
                                                        {"policy", Changes::policy}};
    for (const auto& [name, act] : cases) {
        SCOPED_TRACE(name);
        Rig rig;
        rig.machine.state.usb = {device(1, "Keyboard", {Capability::input})};
        rig.launch();
        rig.advance(6); // past the settling of the device found at start
        std::vector<Changes> heard;
        rig.monitor->observe([&](Changes changes) { heard.push_back(changes); });
        act(rig);
        if (name == "nothing") {
            EXPECT_TRUE(heard.empty());
            continue;
        }
        ASSERT_EQ(heard.size(), 1U);
        EXPECT_TRUE(heard[0].has(parts.at(name)));
        EXPECT_FALSE(heard[0].has(Changes::network));
    }
}

TEST(Monitor, WhileTheSessionIsLockedKeyboardsAndHubsComeInAndTheRestWaitForTheUnlock) {
    Rig rig;
    auto held = [](USBDevice d) {
        d.blocked = true;
        return d;
    };
    const USBDevice keyboard = device(1, "Keyboard", {Capability::input});
    const USBDevice hub = device(2, "Hub", {Capability::hub});
    const USBDevice stick = device(3, "Stick", {Capability::input, Capability::storage});
    rig.machine.state.lockedHold = true;
    rig.machine.state.usb = {held(keyboard), held(hub), held(stick)};
    rig.machine.state.ports = {
        {"Port-USB port 1-1", "USB port 1-1", true, 3, "Not Authorized", true}};
    std::vector<std::pair<std::string, json>> actions;
    rig.machine.setActionHook(
        [&](const std::string& name, json args, json) { actions.emplace_back(name, args); });
    rig.monitor.reset();
    rig.monitor =
        std::make_unique<Monitor>(MonitorProviders{rig.machine, rig.keyboard, rig.notifier,
                                                   rig.panel, rig.scheduler, rig.scheduler},
                                  rig.files);
    rig.advance(0);
    const std::vector<std::pair<std::string, json>> letIn{{"allowDevice", json::array({1})},
                                                          {"allowDevice", json::array({2})}};
    EXPECT_EQ(actions, letIn) << "only keyboards and hubs, once each";
    EXPECT_FALSE(rig.monitor->trustRequest()) << "nobody can answer while the session is locked";
    EXPECT_TRUE(
        std::any_of(rig.monitor->events().begin(), rig.monitor->events().end(), [](const Event& e) {
            return e.text.starts_with("Let in Keyboard (1234:5678) while the "
                                      "screen is locked") &&
                   e.text.find("Trust score") != std::string::npos;
        }));
    rig.advance(3);
    EXPECT_EQ(actions.size(), 2U) << "not tried again";

    // At the unlock the stick gets the usual prompt, alone.
    rig.machine.state.lockedHold = false;
    rig.machine.state.usb = {keyboard, hub, held(stick)};
    rig.monitor->deviceChanged();
    ASSERT_TRUE(rig.monitor->trustRequest());
    ASSERT_EQ(rig.monitor->trustRequest()->devices.size(), 1U);
    EXPECT_EQ(rig.monitor->trustRequest()->devices[0].name, "Stick");

    // The switch is remembered and handed to the machine at every start.
    actions.clear();
    rig.monitor->setHoldWhileLocked(true);
    EXPECT_EQ(rig.settings()["holdWhileLocked"], true);
    rig.launch();
    EXPECT_TRUE(rig.monitor->holdWhileLocked());
    EXPECT_EQ(std::count(actions.begin(), actions.end(),
                         std::pair<std::string, json>{"holdWhileLocked", json::array({true})}),
              2);
}

} // namespace
} // namespace vantrel
