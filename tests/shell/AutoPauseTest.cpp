// Auto-pause on the real machine layer: the Monitor over the Linux probes and actions, a fixture
// tree with stub tools, and the Qt scheduler's real background threads.
#include "app/engine/Monitor.h"
#include "app/engine/scripted/ScriptedMachine.h"
#include "app/engine/scripted/VirtualScheduler.h"
#include "app/linux/LinuxMachine.h"
#include "app/shell/QtScheduler.h"
#include "tests/linux/FixtureTree.h"
#include "tests/linux/StubTool.h"

#include <fstream>
#include <sstream>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <gtest/gtest.h>

namespace vantrel {
namespace {

struct WallClock final : Clock {
    Timestamp now() const override {
        return Timestamp::fromUnix(
            std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch())
                .count());
    }
};

std::string contents(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// A Monitor on the Linux machine layer over `tree`, with its files in the tree.
struct LinuxRig {
    LinuxRig(FixtureTree& t, Scheduler& s, Clock& c) : tree(t), scheduler(s), clock(c) {}
    FixtureTree& tree;
    Scheduler& scheduler;
    Clock& clock;
    LinuxMachine machine;
    ScriptedMachine unused;
    ScriptedKeyboardWatcher keyboard{unused, clock};
    std::vector<std::string> notifications;
    RecordingNotifier notifier{[this](const std::string& body) { notifications.push_back(body); }};
    RecordingPanel panel{nullptr};
    MonitorFiles files{tree.at("/home/config/defaults.json"), tree.at("/home/data/events.json")};
    std::unique_ptr<Monitor> monitor;

    void launch() {
        monitor = std::make_unique<Monitor>(
            MonitorProviders{machine, keyboard, notifier, panel, scheduler, clock}, files);
    }
    bool logged(std::string_view part) const {
        const auto& events = monitor->events();
        return std::any_of(events.begin(), events.end(),
                           [&](const Event& e) { return e.text.find(part) != std::string::npos; });
    }
};

// A charger approved as a hub comes back as a keyboard with a drive, and udisks stalls on the
// drive without heeding SIGTERM. The screen is locked first, the scan does not wait for either
// tool, and the report follows once both have finished.
TEST(AutoPause, LocksBeforeEjectingAndNeverHoldsUpTheScan) {
    FixtureTree tree;
    const auto charger = tree.usbDevice("1-2", {.product = "Charger", .serial = "S"});
    tree.usbInterface(charger, 0, 3, 1, 1);
    tree.usbDisk(tree.usbInterface(charger, 1, 8, 6), "sdb");
    const std::string order = tree.at("/order").string();
    stubTool(tree, "/usr/bin/loginctl", 0, "echo lock >> '" + order + "'");
    stubTool(tree, "/usr/bin/udisksctl", 0, "trap '' TERM; sleep 2; echo eject >> '" + order + "'");
    tree.write("/home/config/defaults.json", R"({"knownUSB": {"1234:5678:S": ["hub"]}})");

    QtScheduler scheduler;
    WallClock clock;
    LinuxRig rig{tree, scheduler, clock};
    rig.launch(); // the first cycle judges the charger at once
    EXPECT_FALSE(rig.logged("is out of scope")) << "the scan waited for a tool";

    const QDeadlineTimer deadline(20000);
    while (!rig.logged("is out of scope") && !deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    }
    EXPECT_EQ(contents(order), "lock\neject\n");
    EXPECT_TRUE(rig.logged("Charger (1234:5678) is out of scope. You trusted it as: Hub. It now "
                           "also claims: Keyboard/mouse, Storage. Vantrel ejected sdb, locked "
                           "your screen so it can't type into your session. Unplug it unless you "
                           "expected this."));
    ASSERT_EQ(rig.notifications.size(), 1u);
    EXPECT_EQ(rig.notifications[0], "Charger now says it can type and click and act as a drive. "
                                    "Vantrel paused it. Unplug it unless you expected this.");
}

// NetworkManager names no connection for an interface once its connection is down: the one a
// pause took down is the one a resume brings back.
TEST(AutoPause, ResumeBringsBackTheConnectionThePauseTookDown) {
    FixtureTree tree;
    const std::string state = tree.at("/nm-state").string();
    tree.write("/nm-state", "up");
    // `-g GENERAL.CONNECTION device show IF` names the connection only while it is up;
    // `connection up|down id NAME` switches it.
    stubTool(tree, "/usr/bin/nmcli", 0,
             "if [ \"$1\" = -g ]; then [ \"$(cat '" + state +
                 "')\" = up ] && echo 'Office\\:LAN'; exit 0; fi\necho \"$2\" > '" + state + "'");
    stubTool(tree, "/usr/bin/pkexec", 0,
             "shift; exec '" + tree.at("/usr/bin/nmcli").string() + "' \"$@\"");

    VirtualScheduler scheduler{Timestamp{813147840}};
    LinuxRig rig{tree, scheduler, scheduler};
    rig.launch();
    USBDevice adapter;
    adapter.name = "LAN Adapter";
    adapter.vendorID = 0x0BDA;
    adapter.productID = 0x8153;
    adapter.netNames = {"enx1"};

    rig.monitor->pauseNetwork(adapter);
    scheduler.runUntil(scheduler.now(), true);
    EXPECT_EQ(contents(state), "down\n");
    rig.monitor->resumeNetwork(adapter);
    scheduler.runUntil(scheduler.now(), true);
    EXPECT_EQ(contents(state), "up\n");
    EXPECT_TRUE(rig.logged("Turned off the network adapter of LAN Adapter (0BDA:8153) (enx1)."));
    EXPECT_TRUE(rig.logged("Turned the network adapter of LAN Adapter (0BDA:8153) back on."));
    EXPECT_EQ(toolCalls(tree, "/usr/bin/pkexec").back(),
              (ToolCalls::value_type{"/usr/bin/nmcli", "connection", "up", "id", "Office:LAN"}));
}

} // namespace
} // namespace vantrel
