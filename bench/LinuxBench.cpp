// Benchmarks of the USB scanner over generated sysfs trees of 20 and 500 devices, each with one
// to three interfaces, some with serial lines, disks or network interfaces; and of every probe of
// one scan cycle on the 20-device machine with its keyboards, ports and network.
// Run: build/bench/linux_bench
//
// Counters: `opens` is the files a scan opens; `floor_us` is the files the result needs (per
// device its uevent, product, manufacturer, serial and authorized; per interface its uevent)
// times the cost of one open, read and close of an attribute in the same tree, measured first.
#include "app/linux/HostFiles.h"
#include "app/linux/LinuxMachine.h"
#include "app/linux/Scanner.h"
#include "bench/BenchMachine.h"

#include <chrono>
#include <fcntl.h>
#include <memory>
#include <string>
#include <unistd.h>

#include <benchmark/benchmark.h>

namespace vantrel {
namespace {

// One open, read and close of a small attribute file, in microseconds.
double openReadCloseMicros(const std::string& file) {
    constexpr int rounds = 20000;
    char buffer[4096];
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < rounds; ++i) {
        const int fd = ::open(file.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        benchmark::DoNotOptimize(::read(fd, buffer, sizeof buffer));
        ::close(fd);
    }
    const std::chrono::duration<double, std::micro> spent =
        std::chrono::steady_clock::now() - start;
    return spent.count() / rounds;
}

void BM_usbDevices(benchmark::State& state) {
    const GeneratedMachine machine(static_cast<int>(state.range(0)));
    const double openCost = openReadCloseMicros(machine.anyAttribute);
    const std::uint64_t before = HostFiles::opens();
    std::size_t listed = 0;
    for (auto _ : state) {
        const auto devices = Scanner::usbDevices();
        listed = devices.size();
        benchmark::DoNotOptimize(devices.data());
    }
    const double scans = static_cast<double>(state.iterations());
    state.counters["devices"] = static_cast<double>(listed);
    state.counters["opens"] = static_cast<double>(HostFiles::opens() - before) / scans;
    state.counters["files_needed"] = machine.filesNeeded();
    state.counters["open_us"] = openCost;
    state.counters["floor_us"] = openCost * machine.filesNeeded();
}
BENCHMARK(BM_usbDevices)->Arg(20)->Arg(500)->Unit(benchmark::kMicrosecond);

void BM_allProbesOfOneCycle(benchmark::State& state) {
    GeneratedMachine machine(20);
    addDesktop(machine.tree);
    LinuxMachine linux;
    const bool store = linux.openNetworkStore();
    const double openCost = openReadCloseMicros(machine.anyAttribute);
    const std::uint64_t before = HostFiles::opens();
    std::size_t found = 0;
    for (auto _ : state) {
        found = linux.usbDevices().size() + linux.inputDevices().size() + linux.ports().size();
        const auto counters = linux.interfaceCounters();
        found += linux.networkInterfaces(counters).size();
        benchmark::DoNotOptimize(linux.netConfig());
    }
    // Every file these probes open is one their results need, so the floor is the opens.
    const double opens =
        static_cast<double>(HostFiles::opens() - before) / static_cast<double>(state.iterations());
    state.counters["records"] = static_cast<double>(found);
    state.counters["store"] = store;
    state.counters["opens"] = opens;
    state.counters["floor_us"] = opens * openCost;
}
BENCHMARK(BM_allProbesOfOneCycle)->Unit(benchmark::kMicrosecond);

} // namespace
} // namespace vantrel

BENCHMARK_MAIN();
