// Benchmark of the serial-line holder scan: one Actions::serialUsers over a fixture /proc of 300
// processes with 10 descriptors each, one of which holds a line open, for one line and for four.
// The Monitor runs one such scan for all the serial lines of the USB devices on each activity
// check, and none while there is no serial line.
// Run: build/bench/actions_bench
//
// Counters: `links` is the descriptor links the scan reads; `readlink_us` is what one readlink
// of such a link costs in the same tree, measured first, and `floor_us` that times `links`.
#include "app/linux/Actions.h"
#include "tests/linux/FixtureTree.h"

#include <chrono>
#include <string>
#include <unistd.h>
#include <vector>

#include <benchmark/benchmark.h>

namespace vantrel {
namespace {

constexpr int processes = 300;
constexpr int descriptors = 10;

void BM_serialUsers(benchmark::State& state) {
    FixtureTree tree;
    for (int p = 0; p < processes; ++p) {
        const std::string folder = "/proc/" + std::to_string(1000 + p);
        tree.attribute(folder + "/comm", "worker" + std::to_string(p));
        for (int fd = 0; fd < descriptors; ++fd) {
            const bool holder = p == processes / 2 && fd == descriptors - 1;
            tree.link(folder + "/fd/" + std::to_string(fd),
                      holder ? "/dev/ttyUSB0" : "/dev/pts/" + std::to_string(fd));
        }
    }
    const std::string anyLink = tree.at("/proc/1000/fd/3").string();
    constexpr int rounds = 20000;
    char target[64];
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < rounds; ++i) {
        benchmark::DoNotOptimize(::readlink(anyLink.c_str(), target, sizeof target));
    }
    const std::chrono::duration<double, std::micro> spent =
        std::chrono::steady_clock::now() - start;
    const double readlinkCost = spent.count() / rounds;

    std::vector<std::string> lines{"/dev/ttyUSB0", "/dev/ttyUSB1", "/dev/ttyACM0", "/dev/ttyACM1"};
    lines.resize(static_cast<std::size_t>(state.range(0)));
    std::size_t found = 0;
    for (auto _ : state) {
        const auto users = Actions::serialUsers(lines);
        found = users.at("/dev/ttyUSB0").size();
        benchmark::DoNotOptimize(users.size());
    }
    state.counters["holders"] = static_cast<double>(found);
    state.counters["links"] = processes * descriptors;
    state.counters["readlink_us"] = readlinkCost;
    state.counters["floor_us"] = readlinkCost * processes * descriptors;
}
BENCHMARK(BM_serialUsers)->Arg(1)->Arg(4)->Unit(benchmark::kMicrosecond);

} // namespace
} // namespace vantrel

BENCHMARK_MAIN();
