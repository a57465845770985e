// The prompt end to end over the real policy daemon: the held-back keyboard is listed with what
// its descriptors claim, its port waits, and the answer given to the Monitor reaches the daemon.
#include "app/engine/Monitor.h"
#include "app/engine/scripted/ScriptedMachine.h"
#include "app/linux/LinuxMachine.h"
#include "app/linux/Scanner.h"
#include "app/shell/QtScheduler.h"
#include "app/shell/Reports.h"
#include "app/shell/SystemClock.h"
#include "app/shell/UsbGuardPolicy.h"
#include "tests/stack/UsbGuardStack.h"

#include <chrono>
#include <functional>
#include <memory>
#include <thread>

#include <QCoreApplication>
#include <gtest/gtest.h>

namespace vantrel {
namespace {

using namespace std::chrono_literals;

bool logged(const Monitor& monitor, const std::string& text) {
    return std::any_of(monitor.events().begin(), monitor.events().end(),
                       [&](const Event& e) { return e.text == text; });
}

TEST(Prompt, theHeldBackKeyboardIsAskedAboutAndTheAnswerReachesTheDaemon) {
    for (const bool allow : {true, false}) {
        SCOPED_TRACE(allow ? "Allow" : "Don't Allow");
        UsbGuardStack stack;
        ASSERT_TRUE(stack.ready()) << stack.error();
        const std::string snapshot =
            Snapshot::text(Scanner::usbDevices(), Scanner::inputDevices(), Scanner::ports(true));
        EXPECT_NE(snapshot.find(": Keyboard/mouse [WAITING FOR APPROVAL]"), std::string::npos)
            << snapshot;
        EXPECT_NE(snapshot.find("PROMPT SHOWING"), std::string::npos) << snapshot;

        std::unique_ptr<Monitor> monitor;
        UsbGuardPolicy policy(stack.bus(), [&] {
            if (monitor) {
                monitor->deviceChanged();
            }
        });
        ASSERT_TRUE(waitFor([&] { return policy.answers(); }));
        LinuxMachine machine(&policy);
        SystemClock clock;
        ScriptedMachine unused;
        ScriptedKeyboardWatcher keyboard{unused, clock};
        RecordingNotifier notifier{nullptr};
        std::vector<TrustRequest> shown;
        RecordingPanel panel{[&](const std::optional<TrustRequest>& request) {
            if (request) {
                shown.push_back(*request);
            }
        }};
        QtScheduler scheduler;
        monitor = std::make_unique<Monitor>(
            MonitorProviders{machine, keyboard, notifier, panel, scheduler, clock},
            MonitorFiles{stack.folder() / "defaults.json", stack.folder() / "events.json"});
        ASSERT_TRUE(monitor->canAllow());
        ASSERT_FALSE(shown.empty());
        ASSERT_EQ(shown.back().devices.size(), 1U);
        EXPECT_EQ(shown.back().devices[0].caps, std::vector<Capability>{Capability::input});
        const std::string what = shown.back().devices[0].label() + " on " + shown.back().portName;

        if (allow) {
            monitor->allowPrompt();
            EXPECT_TRUE(stack.waitAuthorized(UsbGuardStack::keyboard, "1"));
            EXPECT_TRUE(waitFor([&] { return !monitor->trustRequest(); }));
            EXPECT_TRUE(logged(*monitor,
                               "You allowed " + what + ". Vantrel is now watching what it does."));
        } else {
            monitor->refusePrompt();
            EXPECT_FALSE(
                waitFor([&] { return stack.authorized(UsbGuardStack::keyboard) != "0"; }, 500ms));
            monitor->deviceChanged();
            EXPECT_FALSE(monitor->trustRequest()) << "not asked again while it stays";
        }
        monitor.reset();
    }
}

} // namespace
} // namespace vantrel
