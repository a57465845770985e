// Benchmarks of the Monitor on the scripted machine: one USB watch over 20 present devices, and
// one log line on a full event log, file rewrite included.
// Run: build/bench/engine_bench   (targets: USB watch under 200 us, log under 5 ms)
#include "app/engine/Monitor.h"
#include "app/engine/scripted/ScriptedMachine.h"
#include "app/engine/scripted/VirtualScheduler.h"

#include <filesystem>
#include <unistd.h>

#include <benchmark/benchmark.h>

namespace vantrel {
namespace {

namespace fs = std::filesystem;

struct Rig {
    fs::path folder = fs::temp_directory_path() / ("vantrel-bench-" + std::to_string(::getpid()));
    VirtualScheduler scheduler{Timestamp{813147840}};
    ScriptedMachine machine;
    ScriptedKeyboardWatcher keyboard{machine, scheduler};
    RecordingNotifier notifier{nullptr};
    RecordingPanel panel{nullptr};
    std::unique_ptr<Monitor> monitor;

    Rig() {
        fs::remove_all(folder);
        for (std::uint64_t i = 0; i < 20; ++i) {
            USBDevice d;
            d.id = 1000 + i;
            d.name = "Device " + std::to_string(i);
            d.vendor = "Acme";
            d.vendorID = 0x1234;
            d.productID = static_cast<std::int64_t>(i);
            d.serial = "SN" + std::to_string(i);
            d.locationID = 0x01100000 + static_cast<std::int64_t>(i << 16);
            d.caps = {Capability::input, Capability::storage};
            machine.state.usb.push_back(d);
        }
        monitor = std::make_unique<Monitor>(
            MonitorProviders{machine, keyboard, notifier, panel, scheduler, scheduler},
            MonitorFiles{folder / "defaults.json", folder / "events.json"});
    }
    ~Rig() {
        monitor.reset();
        fs::remove_all(folder);
    }
};

// A cycle of a machine whose only probes are the 20 USB devices: the other watches find nothing,
// so the time is the USB watch's.
void usbWatchOverTwentyDevices(benchmark::State& state) {
    Rig rig;
    for (auto _ : state) {
        rig.monitor->deviceChanged();
    }
}
BENCHMARK(usbWatchOverTwentyDevices)->Unit(benchmark::kMicrosecond);

void logOnAFullLog(benchmark::State& state) {
    Rig rig;
    for (std::size_t i = 0; i < Monitor::maxEvents; ++i) {
        rig.monitor->log(Event::Level::info,
                         "Connected: Device " + std::to_string(i) + " (1234:00" +
                             std::to_string(i % 100) + ")",
                         false);
    }
    for (auto _ : state) {
        rig.monitor->log(Event::Level::warning, "Disconnected: Device 7 (1234:0007)", false);
    }
}
BENCHMARK(logOnAFullLog)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace vantrel

BENCHMARK_MAIN();
