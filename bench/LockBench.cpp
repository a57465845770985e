// How soon the screen is locked against a known device that comes back as a keyboard with a
// drive, while udisks stalls on the drive and ignores SIGTERM: from the start of the scan cycle
// that judges the device to the moment the lock's tool is started. Target: under 50 ms.
// Run: build/bench/lock_bench
#include "app/engine/Monitor.h"
#include "app/engine/scripted/ScriptedMachine.h"
#include "app/linux/LinuxMachine.h"
#include "app/shell/QtScheduler.h"
#include "tests/linux/FixtureTree.h"
#include "tests/linux/StubTool.h"

#include <atomic>
#include <chrono>

#include <QCoreApplication>
#include <benchmark/benchmark.h>

namespace vantrel {
namespace {

using SteadyClock = std::chrono::steady_clock;

struct WallClock final : Clock {
    Timestamp now() const override {
        return Timestamp::fromUnix(
            std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch())
                .count());
    }
};

// The Linux machine, noting when the lock is asked for and when the report can follow.
struct TimedMachine final : Machine {
    LinuxMachine real;
    std::atomic<SteadyClock::rep> lockedAt{0};
    std::atomic<int> ejects{0};

    std::vector<USBDevice> usbDevices() override { return real.usbDevices(); }
    std::vector<InputDevice> inputDevices() override { return real.inputDevices(); }
    std::vector<PortInfo> ports() override { return real.ports(); }
    bool openNetworkStore() override { return real.openNetworkStore(); }
    std::map<std::string, IfCounters> interfaceCounters() override {
        return real.interfaceCounters();
    }
    std::vector<NetInterface>
    networkInterfaces(const std::map<std::string, IfCounters>& counters) override {
        return real.networkInterfaces(counters);
    }
    NetConfig netConfig() override { return real.netConfig(); }
    std::vector<std::string> serialUsers(const std::string& path) override {
        return real.serialUsers(path);
    }
    std::vector<std::string> mountedVolumes(const std::string& disk) override {
        return real.mountedVolumes(disk);
    }
    std::optional<std::string> serviceName(const std::string& name) override {
        return real.serviceName(name);
    }
    bool ejectDisk(const std::string& disk) override {
        const bool ok = real.ejectDisk(disk);
        ++ejects;
        return ok;
    }
    bool setNetworkService(const std::string& service, bool on) override {
        return real.setNetworkService(service, on);
    }
    bool lockScreen() override {
        lockedAt = SteadyClock::now().time_since_epoch().count();
        return real.lockScreen();
    }
    bool canAllow() override { return false; }
    bool allowDevice(const USBDevice& device, bool permanent) override {
        return real.allowDevice(device, permanent);
    }
    bool mayHoldWhileLocked() override { return false; }
    void holdWhileLocked(bool /*on*/) override {}
    bool holdingWhileLocked() override { return false; }
};

void BM_LockBeforeAStallingEject(benchmark::State& state) {
    FixtureTree tree;
    const auto charger = tree.usbDevice("1-2", {.product = "Charger", .serial = "S"});
    tree.usbInterface(charger, 0, 3, 1, 1);
    tree.usbDisk(tree.usbInterface(charger, 1, 8, 6), "sdb");
    stubTool(tree, "/usr/bin/loginctl", 0);
    stubTool(tree, "/usr/bin/udisksctl", 0, "trap '' TERM; sleep 0.3");
    const std::string settings = R"({"knownUSB": {"1234:5678:S": ["hub"]}})";

    WallClock clock;
    ScriptedMachine unused;
    ScriptedKeyboardWatcher keyboard{unused, clock};
    RecordingNotifier notifier{nullptr};
    RecordingPanel panel{nullptr};
    for (auto _ : state) {
        tree.write("/home/config/defaults.json", settings);
        tree.remove("/home/data");
        TimedMachine machine;
        QtScheduler scheduler;
        const auto begun = SteadyClock::now();
        // The first cycle judges the charger at once.
        auto monitor = std::make_unique<Monitor>(
            MonitorProviders{machine, keyboard, notifier, panel, scheduler, clock},
            MonitorFiles{tree.at("/home/config/defaults.json"), tree.at("/home/data/events.json")});
        while (machine.lockedAt == 0 || machine.ejects == 0) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        }
        state.SetIterationTime(
            std::chrono::duration<double>(
                SteadyClock::time_point(SteadyClock::duration(machine.lockedAt)) - begun)
                .count());
        monitor.reset();
    }
}
BENCHMARK(BM_LockBeforeAStallingEject)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(20);

} // namespace
} // namespace vantrel

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
