// The virtual run loop's order of tasks, the scripted keyboard watcher, and port names.
#include "app/engine/Devices.h"
#include "app/engine/scripted/ScriptedMachine.h"
#include "app/engine/scripted/VirtualScheduler.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace vantrel {
namespace {

// Each task notes "{name}@{seconds}" when it runs.
struct Journal {
    VirtualScheduler& clock;
    std::vector<std::string> entries;
    Scheduler::Task note(std::string name) {
        return [this, name] {
            entries.push_back(name + "@" + std::to_string(static_cast<int>(clock.now().seconds)));
        };
    }
};

TEST(VirtualScheduler, RunsTasksInTimeOrderThenQueueOrder) {
    struct Case {
        const char* name;
        void (*script)(VirtualScheduler&, Journal&);
        std::vector<std::string> expected;
    };
    const Case cases[] = {
        {"later first, earlier runs first; ties keep their order",
         [](VirtualScheduler& s, Journal& j) {
             s.after(5, j.note("c"));
             s.after(2, j.note("a"));
             s.after(5, j.note("d"));
             s.after(2, j.note("b"));
             s.runUntil(Timestamp{10}, false);
         },
         {"a@2", "b@2", "c@5", "d@5"}},
        {"a task due exactly at the end waits unless inclusive",
         [](VirtualScheduler& s, Journal& j) {
             s.after(4, j.note("due"));
             s.runUntil(Timestamp{4}, false);
             j.entries.push_back("gap");
             s.runUntil(Timestamp{4}, true);
         },
         {"gap", "due@4"}},
        {"tasks queued while running run too when they fall due",
         [](VirtualScheduler& s, Journal& j) {
             s.after(1, [&] {
                 j.note("outer")();
                 s.after(2, j.note("inner"));
                 s.after(20, j.note("beyond"));
             });
             s.runUntil(Timestamp{5}, true);
         },
         {"outer@1", "inner@3"}},
        {"a repeating tick comes back from its due time until it says stop",
         [](VirtualScheduler& s, Journal& j) {
             int left = 3;
             s.every(3, [&] {
                 j.note("tick")();
                 return --left > 0;
             });
             s.after(4, j.note("between"));
             s.runUntil(Timestamp{30}, true);
         },
         {"tick@3", "between@4", "tick@6", "tick@9"}},
        {"background work runs at once and hands back after the running task",
         [](VirtualScheduler& s, Journal& j) {
             s.after(2, [&] {
                 s.background([&] {
                     j.note("work")();
                     return j.note("handBack");
                 });
                 j.note("rest")();
             });
             s.after(2, j.note("queuedEarlier"));
             s.runUntil(Timestamp{2}, true);
         },
         {"work@2", "rest@2", "queuedEarlier@2", "handBack@2"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        VirtualScheduler scheduler(Timestamp{0});
        Journal journal{scheduler, {}};
        c.script(scheduler, journal);
        EXPECT_EQ(journal.entries, c.expected);
    }
}

TEST(VirtualScheduler, EndsAtTheTimeAskedEvenWithNothingDue) {
    VirtualScheduler scheduler(Timestamp{100});
    scheduler.runUntil(Timestamp{107.5}, false);
    EXPECT_EQ(scheduler.now(), Timestamp{107.5});
    scheduler.after(-3, [] {}); // never in the past
    scheduler.runUntil(Timestamp{107.5}, false);
    EXPECT_EQ(scheduler.pending(), 1u);
    scheduler.runUntil(Timestamp{107.5}, true);
    EXPECT_EQ(scheduler.pending(), 0u);
}

TEST(ScriptedKeyboardWatcher, PassesPressesOnOnlyWhileRunningAndDatesTheFirst) {
    VirtualScheduler clock(Timestamp{50});
    ScriptedMachine machine;
    ScriptedKeyboardWatcher watcher(machine, clock);
    std::vector<Keyboard> seen;
    watcher.setOnKeyDown([&](const Keyboard& k, Timestamp) { seen.push_back(k); });
    const Keyboard k{7, "Keys", false, {}};

    EXPECT_FALSE(watcher.press(k)); // not started
    machine.state.inputAccess = false;
    watcher.start();
    EXPECT_FALSE(watcher.running());
    machine.state.inputAccess = true;
    watcher.start();
    clock.setNow(Timestamp{60});
    EXPECT_TRUE(watcher.press(k));
    clock.setNow(Timestamp{61});
    EXPECT_TRUE(watcher.press(k));
    watcher.stop();
    EXPECT_FALSE(watcher.press(k));
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].firstSeen, Timestamp{60});
    EXPECT_EQ(seen[1].firstSeen, Timestamp{60});
}

TEST(ScriptedMachine, ReportsActionsWithTheScriptedOutcome) {
    ScriptedMachine machine;
    std::vector<std::string> calls;
    machine.setActionHook([&](const std::string& name, nlohmann::json args, nlohmann::json result) {
        calls.push_back(name + args.dump() + "=" + result.dump());
    });
    machine.state.results.ejectDisk["sdb"] = false;
    machine.state.results.serviceName["usb0"] = "Phone";
    machine.state.volumes["sdc"] = {"STICK"};
    machine.state.results.seize[9] = false;
    const VirtualScheduler clock;
    ScriptedKeyboardWatcher watcher(machine, clock);

    EXPECT_FALSE(machine.ejectDisk("sdb"));
    EXPECT_TRUE(machine.ejectDisk("sdc"));
    EXPECT_EQ(machine.serviceName("usb0"), "Phone");
    EXPECT_EQ(machine.serviceName("eth1"), std::nullopt);
    EXPECT_EQ(machine.mountedVolumes("sdc"), std::vector<std::string>{"STICK"});
    EXPECT_TRUE(machine.setNetworkService("Phone", false));
    EXPECT_FALSE(watcher.seize(9));
    EXPECT_EQ(calls, (std::vector<std::string>{
                         R"(ejectDisk["sdb"]=false)", R"(ejectDisk["sdc"]=true)",
                         R"(serviceName["usb0"]="Phone")", R"(serviceName["eth1"]=null)",
                         R"(mountedVolumes["sdc"]=["STICK"])",
                         R"(setNetworkService["Phone",false]=true)", R"(seize[9]=false)"}));
}

TEST(ScriptedMachine, InterfacesCarryTheCountersPassedIn) {
    ScriptedMachine machine;
    NetInterface wlan, usb;
    wlan.id = "wlan0";
    wlan.counters = {10, 20, 1, 2};
    wlan.inRate = 99;
    usb.id = "usb0";
    machine.state.nets = {wlan, usb};
    auto counters = machine.interfaceCounters();
    EXPECT_EQ(counters["wlan0"], (IfCounters{10, 20, 1, 2}));
    counters["wlan0"].inBytes = 500;
    counters.erase("usb0");
    const auto nets = machine.networkInterfaces(counters);
    ASSERT_EQ(nets.size(), 2u);
    EXPECT_EQ(nets[0].counters.inBytes, 500u);
    EXPECT_EQ(nets[0].inRate, 0);
    EXPECT_EQ(nets[1].counters, IfCounters{});
}

TEST(PrettyPortName, ReadsTheDescription) {
    const std::pair<const char*, const char*> cases[] = {
        {"Port-USB-C@2", "USB-C port 2"},
        {"USB-C@2@1", "USB-C port 2"},
        {"Port-USB-C", "USB-C"},
        {"Port-USB-C@", "USB-C"},
        {"Port-@@USB-C@@3", "USB-C port 3"},
        {"Port-USB-A@1", "USB-A"},
        {"usb-c@2", "usb-c"},
        {"xPort-USB-C@2", "xPort-USB-C"},
        {"Port-Port-USB-C@2", "Port-USB-C"},
        {"Port-", ""},
        {"@@", "@@"},
        {"", ""},
    };
    for (const auto& [description, name] : cases) {
        EXPECT_EQ(prettyPortName(description), name) << description;
    }
}

} // namespace
} // namespace vantrel
