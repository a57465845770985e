// The window's full redraw: the developer layout with 20 USB devices (nets, disks, chips, menus)
// and 500 events, of which half wait for review, and the simple layout with the same devices; and
// its redraw after one of those devices changed. Run: build/bench/ui_bench (offscreen; no display
// needed). Targets: under 16 ms (one frame) for the full redraw, under 2 ms after one change.
#include "app/engine/Monitor.h"
#include "app/engine/scripted/ScriptedMachine.h"
#include "app/engine/scripted/VirtualScheduler.h"
#include "app/ui/ContentView.h"

#include <cstdlib>

#include <QApplication>
#include <benchmark/benchmark.h>

namespace vantrel {
namespace {

constexpr Timestamp now{813147840};

struct Rig {
    VirtualScheduler scheduler{now};
    ScriptedMachine machine;
    ScriptedKeyboardWatcher keyboard{machine, scheduler};
    RecordingNotifier notifier{nullptr};
    RecordingPanel panel{nullptr};
    std::unique_ptr<Monitor> monitor =
        Monitor::demo({machine, keyboard, notifier, panel, scheduler, scheduler}, now);
    Monitor::DemoState shown; // what the Monitor shows

    explicit Rig(bool reviewed = false) {
        Monitor::DemoState& state = shown;
        const std::vector<std::vector<Capability>> kinds = {
            {Capability::storage}, {Capability::input},
            {Capability::network}, {Capability::serial, Capability::vendor},
            {Capability::hub},
        };
        for (std::uint64_t i = 0; i < 20; ++i) {
            USBDevice d;
            d.id = 1000 + i;
            d.name = "Device " + std::to_string(i);
            d.vendor = "Maker " + std::to_string(i % 7);
            d.vendorID = 0x1000 + static_cast<std::int64_t>(i);
            d.productID = 0x2000 + static_cast<std::int64_t>(i);
            d.serial = "SN" + std::to_string(i);
            d.locationID = 0x01100000 + static_cast<std::uint32_t>(i % 4) * 0x10000;
            d.caps = kinds[i % kinds.size()];
            if (i % 5 == 2) {
                d.netNames = {"enx00e04c" + std::to_string(i)};
            }
            if (i % 5 == 0) {
                d.disks = {"sd" + std::string(1, static_cast<char>('b' + i % 20))};
            }
            state.usb.push_back(d);
            state.activity[d.id] = i % 3 == 0 ? "moving 1.2 MB/s" : "";
        }
        for (int i = 0; i < 500; ++i) {
            Event e;
            e.id = newUUID();
            e.date = now - i * 60.0;
            e.level = i % 2 == 0 ? Event::Level::warning : Event::Level::info;
            e.text = "Connected: Device " + std::to_string(i % 20) + " (1000:2000)";
            e.reviewed = reviewed;
            state.events.push_back(e);
        }
        for (int i = 0; i < 4; ++i) {
            state.inputs.push_back(
                {"Keyboard " + std::to_string(i), "USB", 1, i, i == 0, "Keyboard"});
            state.ports.push_back({"port" + std::to_string(i), "Port-USB-C@" + std::to_string(i),
                                   i % 2 == 0, i, "Authorized", false});
        }
        monitor->showDemo(state);
    }
};

void redraw(benchmark::State& state, bool developer, bool reviewed = false) {
    Rig rig(reviewed);
    ui::ContentView view(*rig.monitor, {}, developer);
    view.show();
    QApplication::processEvents();
    for (auto _ : state) {
        view.redraw();
        QApplication::processEvents(); // deletions and layout
    }
}

// Device 7 renamed, or its activity line changed, and told as that part only; then the redraw of
// the open window. The Monitor's own work is not timed.
void redrawOneDevice(benchmark::State& state, bool developer, Changes::Part part) {
    Rig rig;
    ui::ContentView view(*rig.monitor, {}, developer);
    view.show();
    QApplication::processEvents();
    bool changed = false;
    for (auto _ : state) {
        state.PauseTiming();
        changed = !changed;
        Monitor::DemoState next = rig.shown;
        if (part == Changes::usb) {
            next.usb[7].name = changed ? "Device 7 (renamed)" : "Device 7";
        } else {
            next.activity[next.usb[7].id] = changed ? "moving 3.4 MB/s" : "";
        }
        rig.monitor->showDemo(std::move(next), Changes::of(part));
        state.ResumeTiming();
        view.redrawChanged();
        QApplication::processEvents(); // deletions and layout
    }
}

void BM_RedrawDeveloperLayout(benchmark::State& state) {
    redraw(state, true);
}
BENCHMARK(BM_RedrawDeveloperLayout)->Unit(benchmark::kMillisecond);

// The same with every event reviewed: no "Needs review" card, only the 40 latest events.
void BM_RedrawDeveloperLayoutAllReviewed(benchmark::State& state) {
    redraw(state, true, true);
}
BENCHMARK(BM_RedrawDeveloperLayoutAllReviewed)->Unit(benchmark::kMillisecond);

void BM_RedrawSimpleLayout(benchmark::State& state) {
    redraw(state, false);
}
BENCHMARK(BM_RedrawSimpleLayout)->Unit(benchmark::kMillisecond);

void BM_RedrawDeveloperLayoutOneDeviceRenamed(benchmark::State& state) {
    redrawOneDevice(state, true, Changes::usb);
}
BENCHMARK(BM_RedrawDeveloperLayoutOneDeviceRenamed)->Unit(benchmark::kMillisecond);

// Only the USB card shows the activity; the header stays.
void BM_RedrawDeveloperLayoutOneActivityLine(benchmark::State& state) {
    redrawOneDevice(state, true, Changes::activity);
}
BENCHMARK(BM_RedrawDeveloperLayoutOneActivityLine)->Unit(benchmark::kMillisecond);

void BM_RedrawSimpleLayoutOneDeviceRenamed(benchmark::State& state) {
    redrawOneDevice(state, false, Changes::usb);
}
BENCHMARK(BM_RedrawSimpleLayoutOneDeviceRenamed)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace vantrel

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
