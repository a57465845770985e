// Benchmarks of the USB scanner over generated sysfs trees of 20 and 500 devices, each with one
// to three interfaces, some with serial lines, disks or network interfaces.
// Run: build/bench/linux_bench
//
// Counters: `opens` is the files a scan opens; `floor_us` is the files the result needs (per
// device its uevent, product, manufacturer, serial and authorized; per interface its uevent)
// times the cost of one open, read and close of an attribute in the same tree, measured first.
#include "app/linux/HostFiles.h"
#include "app/linux/Scanner.h"
#include "tests/linux/FixtureTree.h"

#include <chrono>
#include <fcntl.h>
#include <memory>
#include <string>
#include <unistd.h>

#include <benchmark/benchmark.h>

namespace vantrel {
namespace {

struct Machine {
    FixtureTree tree;
    int devices = 0;
    int interfaces = 0;
    std::string anyAttribute;

    explicit Machine(int count) {
        for (int i = 0; i < count; ++i) {
            // Up to 100 devices a bus, behind hubs of ten ports.
            const std::string name = std::to_string(1 + i / 100) + "-" +
                                     std::to_string(1 + (i % 100) / 10) + "." +
                                     std::to_string(1 + i % 10);
            const auto device = tree.usbDevice(name, {.vendorID = 0x1000 + i,
                                                      .productID = i,
                                                      .product = "Device " + std::to_string(i),
                                                      .manufacturer = "Maker",
                                                      .serial = "SN" + std::to_string(i)});
            ++devices;
            switch (i % 5) {
            case 0: // hub
                tree.usbInterface(device, 0, 9, 0);
                interfaces += 1;
                break;
            case 1: { // keyboard with media keys
                const auto hid = tree.usbInterface(device, 0, 3, 1, 1);
                tree.folder(hid.path + "/0003:1000:0001.0001/input/input5/event5");
                tree.folder(hid.path + "/0003:1000:0001.0001/hidraw/hidraw0");
                tree.usbInterface(device, 1, 3, 0);
                interfaces += 2;
                break;
            }
            case 2: // serial adapter
                tree.usbSerial(tree.usbInterface(device, 0, 255, 1), "ttyUSB" + std::to_string(i));
                interfaces += 1;
                break;
            case 3: // card reader with a two-partition card
                tree.usbDisk(tree.usbInterface(device, 0, 8, 6, 0x50), "sd" + std::to_string(i), 2);
                interfaces += 1;
                break;
            default: // Ethernet adapter
                tree.classDevice(tree.usbInterface(device, 0, 2, 6), "net",
                                 "enx" + std::to_string(100000 + i));
                tree.usbInterface(device, 1, 10, 0);
                tree.usbInterface(device, 2, 255, 255);
                interfaces += 3;
                break;
            }
            if (i == 0) {
                anyAttribute = tree.at(device.path + "/product").string();
            }
        }
    }

    int filesNeeded() const { return devices * 5 + interfaces; }
};

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
    const Machine machine(static_cast<int>(state.range(0)));
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

} // namespace
} // namespace vantrel

BENCHMARK_MAIN();
