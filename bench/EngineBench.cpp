// Benchmarks of the Monitor on the scripted machine: one USB watch over 20 present devices, and
// one log line on a full event log, file rewrite included.
// Also one key press, a whole cycle on a busier machine, and reading a hostile event file of
// 4 MiB of empty objects (the parser's own depth callback took quadratic time over it).
// Run: build/bench/engine_bench
// Targets: USB watch under 200 us, log under 5 ms, key press under 1 us, whole cycle under 500 us.
#include "app/engine/AtomicFile.h"
#include "app/engine/Monitor.h"
#include "app/engine/scripted/ScriptedMachine.h"
#include "app/engine/scripted/VirtualScheduler.h"

#include <filesystem>
#include <unistd.h>

#include <benchmark/benchmark.h>

namespace vantrel {
namespace {

namespace fs = std::filesystem;

struct TempFolderForBench {
    fs::path path =
        fs::temp_directory_path() / ("vantrel-bench-files-" + std::to_string(::getpid()));
    TempFolderForBench() { fs::create_directories(path); }
    ~TempFolderForBench() { fs::remove_all(path); }
};

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

// A press of a keyboard that types at a person's pace: counted, judged, not reported.
void keyPressWithoutReport(benchmark::State& state) {
    Rig rig;
    rig.monitor->setKeystrokeGuard(true);
    const Keyboard keyboard{42, "USB Keyboard", false, {}};
    for (auto _ : state) {
        // 0.1 s apart: at most 15 presses in any window, far below a report.
        rig.scheduler.setNow(rig.scheduler.now() + 0.1);
        rig.keyboard.press(keyboard);
    }
}
BENCHMARK(keyPressWithoutReport);

// 20 USB devices (serial ports, disks, network adapters among them), 6 input devices, 4 ports
// and 6 network interfaces, nothing changing between cycles.
void wholeCycleOnABusyMachine(benchmark::State& state) {
    Rig rig;
    auto& s = rig.machine.state;
    for (std::size_t i = 0; i < s.usb.size(); ++i) {
        if (i % 5 == 1) {
            s.usb[i].serialPaths = {"/dev/ttyUSB" + std::to_string(i)};
        } else if (i % 5 == 2) {
            s.usb[i].disks = {"sd" + std::string(1, static_cast<char>('b' + i))};
            s.volumes[s.usb[i].disks[0]] = {"Backup"};
        }
    }
    for (int i = 0; i < 6; ++i) {
        NetInterface n;
        n.id = i == 0 ? "wlan0" : "enx" + std::to_string(i);
        n.name = i == 0 ? "Wi-Fi" : "USB LAN " + std::to_string(i);
        n.isWiFi = i == 0;
        n.active = true;
        n.isUSB = i != 0;
        n.ipv4 = {"192.168.1." + std::to_string(20 + i)};
        s.nets.push_back(n);
        if (i > 0) {
            s.usb[static_cast<std::size_t>(i) * 3].netNames = {n.id};
        }
    }
    s.config = {"wlan0", "192.168.1.1", {"192.168.1.1"}, {}};
    for (int i = 0; i < 6; ++i) {
        s.inputs.push_back({"Input " + std::to_string(i), i < 3 ? "USB" : "Bluetooth", 0x46D,
                            0xC52B + i, i == 0, i % 2 == 0 ? "Keyboard" : "Mouse/trackpad"});
    }
    for (int i = 0; i < 4; ++i) {
        s.ports.push_back({"Port-USB-C@" + std::to_string(i + 1),
                           "USB-C port " + std::to_string(i + 1), i < 2, i < 2 ? 1 : 0,
                           std::string("Authorized"), false});
    }
    rig.monitor->deviceChanged();
    for (auto _ : state) {
        for (auto& n : s.nets) {
            n.counters.inBytes += 1000;
        }
        rig.scheduler.setNow(rig.scheduler.now() + 3);
        rig.monitor->deviceChanged();
    }
}
BENCHMARK(wholeCycleOnABusyMachine)->Unit(benchmark::kMicrosecond);

void loadEventFileOfEmptyObjects(benchmark::State& state) {
    TempFolderForBench folder;
    const fs::path file = folder.path / "events.json";
    std::string text = "[{}";
    while (text.size() + 4 < EventStore::maxBytes) {
        text += ",{}";
    }
    text += "]";
    for (auto _ : state) {
        state.PauseTiming();
        AtomicFile::write(file, text);
        state.ResumeTiming();
        EventStore store(file);
        benchmark::DoNotOptimize(store.load());
    }
}
BENCHMARK(loadEventFileOfEmptyObjects)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace vantrel

BENCHMARK_MAIN();
