// Benchmarks of the USB scanner over generated sysfs trees of 20 and 500 devices, each with one
// to three interfaces, some with serial lines, disks or network interfaces; and of every probe of
// one scan cycle on the 20-device machine with its keyboards, ports and network. Each comes
// twice: the first cycle after the devices appear (a fresh cache every iteration) and the
// steady cycle of a machine whose devices stay (one cache kept across iterations).
// Run: build/bench/linux_bench
//
// Counters: `opens` is the files a scan opens; `floor_us` is the files the result needs (per
// device its uevent, product, manufacturer, serial and authorized; per interface its uevent; in a
// steady cycle, per device its authorized), each opened, read and closed by its whole path after
// each iteration with the clock stopped; a cycle of all probes takes as many of them as it
// opened files (and, in a steady cycle, read kept ones).
#include "app/linux/HostFiles.h"
#include "app/linux/LinuxMachine.h"
#include "app/linux/Scanner.h"
#include "app/linux/UsbCache.h"
#include "bench/BenchMachine.h"

#include <chrono>
#include <fcntl.h>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

#include <benchmark/benchmark.h>

namespace vantrel {
namespace {

// The floor of one iteration that needed `count` files: as many opens, reads and closes of
// `files` in turn (each a small attribute of the tree, by its whole path), in microseconds.
// It is measured right after the iteration with the clock stopped, so that the scan and its
// floor see the same machine: the cost of a file read drifts by a tenth and more between runs.
double floorMicros(benchmark::State& state, const std::vector<std::string>& files,
                   std::size_t count) {
    state.PauseTiming();
    char buffer[4096];
    const auto start = std::chrono::steady_clock::now();
    for (std::size_t i = 0; i < count; ++i) {
        const int fd = ::open(files[i % files.size()].c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        benchmark::DoNotOptimize(::read(fd, buffer, sizeof buffer));
        ::close(fd);
    }
    const std::chrono::duration<double, std::micro> spent =
        std::chrono::steady_clock::now() - start;
    state.ResumeTiming();
    return spent.count();
}

// The USB scan; `steady` keeps one cache across scans, else every scan is a first one. The
// steady scan's floor is one open per device, its authorization flag.
void usbScans(benchmark::State& state, bool steady) {
    const GeneratedMachine machine(static_cast<int>(state.range(0)));
    const auto needed = static_cast<std::size_t>(steady ? machine.devices : machine.filesNeeded());
    Scanner::UsbCache kept;
    if (steady) {
        Scanner::usbDevices(kept);
    }
    std::size_t listed = 0;
    std::uint64_t opens = 0;
    double floor = 0;
    for (auto _ : state) {
        const std::uint64_t start = HostFiles::opens();
        Scanner::UsbCache fresh;
        const auto devices = Scanner::usbDevices(steady ? kept : fresh);
        listed = devices.size();
        benchmark::DoNotOptimize(devices.data());
        opens += HostFiles::opens() - start;
        floor += floorMicros(state, machine.neededFiles, needed);
    }
    const double scans = static_cast<double>(state.iterations());
    state.counters["devices"] = static_cast<double>(listed);
    state.counters["opens"] = static_cast<double>(opens) / scans;
    state.counters["files_needed"] = static_cast<double>(needed);
    state.counters["open_us"] = floor / scans / static_cast<double>(needed);
    state.counters["floor_us"] = floor / scans;
}

void BM_usbDevices(benchmark::State& state) {
    usbScans(state, false);
}
BENCHMARK(BM_usbDevices)->Arg(20)->Arg(500)->Unit(benchmark::kMicrosecond);

void BM_usbDevicesSteady(benchmark::State& state) {
    usbScans(state, true);
}
BENCHMARK(BM_usbDevicesSteady)->Arg(20)->Arg(500)->Unit(benchmark::kMicrosecond);

// Every probe of one cycle; `steady` keeps one machine across cycles, else every cycle is the
// first of a new machine.
void cycles(benchmark::State& state, bool steady) {
    GeneratedMachine machine(20);
    addDesktop(machine.tree);
    auto kept = std::make_unique<LinuxMachine>();
    const bool store = kept->openNetworkStore();
    if (steady) {
        kept->usbDevices();
        kept->ports();
    }
    std::size_t found = 0;
    std::uint64_t opens = 0;
    double floor = 0;
    for (auto _ : state) {
        const std::uint64_t start = HostFiles::opens();
        if (!steady) {
            kept = std::make_unique<LinuxMachine>();
        }
        LinuxMachine& linux = *kept;
        const std::size_t usb = linux.usbDevices().size();
        found = usb + linux.inputDevices().size() + linux.ports().size();
        const auto counters = linux.interfaceCounters();
        const std::size_t nets = linux.networkInterfaces(counters).size();
        found += nets;
        benchmark::DoNotOptimize(linux.netConfig());
        // Every file these probes open is one their results need, so the first cycle's floor
        // is the opens. A steady cycle keeps the authorization flags and operstates open and
        // reads them again: its floor counts one file read for each of them besides what it
        // opens.
        const std::uint64_t opened = HostFiles::opens() - start;
        opens += opened;
        const std::size_t needed = opened + (steady ? usb + nets : 0);
        floor += floorMicros(state, machine.neededFiles, needed);
    }
    const double scans = static_cast<double>(state.iterations());
    state.counters["records"] = static_cast<double>(found);
    state.counters["store"] = store;
    state.counters["opens"] = static_cast<double>(opens) / scans;
    state.counters["floor_us"] = floor / scans;
}

void BM_allProbesOfOneCycle(benchmark::State& state) {
    cycles(state, false);
}
BENCHMARK(BM_allProbesOfOneCycle)->Unit(benchmark::kMicrosecond);

void BM_allProbesOfOneCycleSteady(benchmark::State& state) {
    cycles(state, true);
}
BENCHMARK(BM_allProbesOfOneCycleSteady)->Unit(benchmark::kMicrosecond);

} // namespace
} // namespace vantrel

BENCHMARK_MAIN();
