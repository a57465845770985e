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

// The rest of a desktop: six input devices, two Type-C connectors and two hot-plug ports, six
// network interfaces with their counters, a default route and a resolver.
void addDesktop(FixtureTree& tree) {
    const char* const letters = "0 0 0 0 fffffffffffffffe"; // every key of a full keyboard
    for (int i = 0; i < 6; ++i) {
        const std::string n = std::to_string(i);
        const std::string path = "/sys/devices/platform/i8042/serio" + n + "/input/input" + n;
        tree.attribute(path + "/name", i % 2 == 0 ? "Keyboard " + n : "Mouse " + n);
        tree.attribute(path + "/id/bustype", i < 2 ? "0011" : "0003");
        tree.attribute(path + "/id/vendor", "046d");
        tree.attribute(path + "/id/product", "c52" + n);
        tree.attribute(path + "/capabilities/key", i % 2 == 0 ? letters : "0");
        tree.attribute(path + "/capabilities/rel", i % 2 == 0 ? "0" : "3");
        tree.attribute(path + "/capabilities/abs", "0");
        tree.link("/sys/class/input/input" + n, "../../" + path.substr(5));
    }
    for (int i = 0; i < 2; ++i) {
        const std::string name = "port" + std::to_string(i);
        const std::string folder = "/sys/devices/platform/USBC000:00/typec/" + name;
        tree.attribute(folder + "/data_role", "[host] device");
        tree.link("/sys/class/typec/" + name, "../../devices/platform/USBC000:00/typec/" + name);
    }
    std::string dev =
        "Inter-|   Receive                                                |  Transmit\n"
        " face |bytes    packets errs drop fifo frame compressed multicast|bytes    "
        "packets errs drop fifo colls carrier compressed\n";
    for (int i = 0; i < 6; ++i) {
        const std::string name = i == 0 ? "wlan0" : "enp0s" + std::to_string(i);
        dev += name + ": 1000 10 0 0 0 0 0 0 2000 20 0 0 0 0 0 0\n";
        const std::string folder = "/sys/devices/virtual/net/" + name;
        tree.attribute(folder + "/type", "1");
        tree.attribute(folder + "/operstate", "up");
        tree.link("/sys/class/net/" + name, "../../devices/virtual/net/" + name);
    }
    tree.write("/proc/net/dev", dev);
    tree.write("/proc/net/route", "Iface\tDestination\tGateway \tFlags\tRefCnt\tUse\tMetric\t"
                                  "Mask\t\tMTU\tWindow\tIRTT\nwlan0\t00000000\t0101A8C0\t0003\t0\t"
                                  "0\t600\t00000000\t0\t0\t0\n");
    tree.write("/etc/resolv.conf", "nameserver 192.168.1.1\n");
}

void BM_allProbesOfOneCycle(benchmark::State& state) {
    Machine machine(20);
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
