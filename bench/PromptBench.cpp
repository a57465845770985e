// The prompt over the real policy daemon (run under umockdev-wrapper, as bench/prompt.sh does):
// from the daemon's signal that a device is held back to the advisor panel shown, and from
// "Allow" to the kernel's `authorized` reading 1.
#include "app/engine/Monitor.h"
#include "app/engine/scripted/ScriptedMachine.h"
#include "app/linux/LinuxMachine.h"
#include "app/shell/QtScheduler.h"
#include "app/shell/SystemClock.h"
#include "app/shell/UsbGuardPolicy.h"
#include "tests/stack/UsbGuardStack.h"

#include <chrono>
#include <functional>
#include <memory>
#include <thread>

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusMessage>
#include <benchmark/benchmark.h>

namespace vantrel {
namespace {

using Steady = std::chrono::steady_clock;

bool spinUntil(const std::function<bool()>& done) {
    const auto until = Steady::now() + std::chrono::seconds(10);
    while (!done()) {
        if (Steady::now() >= until) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        std::this_thread::sleep_for(std::chrono::microseconds(100));
    }
    return true;
}

// The daemon's id of the keyboard: the device whose rule names its port.
uint keyboardID(UsbGuardStack& stack) {
    const QDBusMessage listing =
        stack.bus().call(QDBusMessage::createMethodCall("org.usbguard1", "/org/usbguard1/Devices",
                                                        "org.usbguard.Devices1", "listDevices")
                         << QStringLiteral("match"));
    const QDBusArgument list = listing.arguments().value(0).value<QDBusArgument>();
    uint found = 0;
    list.beginArray();
    while (!list.atEnd()) {
        uint id = 0;
        QString rule;
        list.beginStructure();
        list >> id >> rule;
        list.endStructure();
        if (rule.contains(QStringLiteral("via-port \"%1\"").arg(UsbGuardStack::keyboard))) {
            found = id;
        }
    }
    list.endArray();
    return found;
}

void BM_PromptOverThePolicyDaemon(benchmark::State& state) {
    UsbGuardStack stack;
    if (!stack.ready()) {
        state.SkipWithError(stack.error().c_str());
        return;
    }
    std::unique_ptr<Monitor> monitor;
    UsbGuardPolicy policy(stack.bus(), [&] {
        if (monitor) {
            monitor->deviceChanged();
        }
    });
    spinUntil([&] { return policy.answers(); });
    LinuxMachine machine(&policy);
    SystemClock clock;
    ScriptedMachine unused;
    ScriptedKeyboardWatcher keyboard{unused, clock};
    RecordingNotifier notifier{nullptr};
    Steady::time_point shownAt;
    RecordingPanel panel{[&](const std::optional<TrustRequest>& request) {
        if (request) {
            shownAt = Steady::now();
        }
    }};
    QtScheduler scheduler;
    monitor = std::make_unique<Monitor>(
        MonitorProviders{machine, keyboard, notifier, panel, scheduler, clock},
        MonitorFiles{stack.folder() / "defaults.json", stack.folder() / "events.json"});
    const uint id = keyboardID(stack);

    double toPanel = 0;
    double toAuthorized = 0;
    for (auto _ : state) {
        // Let in, then held back again by the daemon: its policy signal starts the scan.
        const auto allowAt = Steady::now();
        if (!policy.allow(UsbGuardStack::keyboard, false) ||
            !spinUntil([&] { return stack.authorized(UsbGuardStack::keyboard) == "1"; })) {
            state.SkipWithError("the keyboard was not let in");
            break;
        }
        const auto authorizedAt = Steady::now();
        spinUntil([&] { return !monitor->trustRequest(); });
        const auto blockAt = Steady::now();
        shownAt = {};
        stack.bus().call(QDBusMessage::createMethodCall("org.usbguard1", "/org/usbguard1/Devices",
                                                        "org.usbguard.Devices1",
                                                        "applyDevicePolicy")
                         << id << 1U << false);
        if (!spinUntil([&] { return shownAt != Steady::time_point{}; })) {
            state.SkipWithError("the panel did not show");
            break;
        }
        const std::chrono::duration<double> a = shownAt - blockAt;
        const std::chrono::duration<double> b = authorizedAt - allowAt;
        toPanel += a.count();
        toAuthorized += b.count();
        state.SetIterationTime(a.count() + b.count());
    }
    const double n = static_cast<double>(state.iterations());
    state.counters["signal_to_panel_ms"] = n > 0 ? 1000 * toPanel / n : 0;
    state.counters["allow_to_authorized_ms"] = n > 0 ? 1000 * toAuthorized / n : 0;
    monitor.reset();
}
BENCHMARK(BM_PromptOverThePolicyDaemon)
    ->UseManualTime()
    ->Iterations(20)
    ->Unit(benchmark::kMillisecond);

} // namespace
} // namespace vantrel

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
