// Benchmarks of the trust core's hot paths: scoring a known device and feeding a rate window.
// Run: build/bench/core_bench   (targets: score under 5 us, window update under 100 ns)
#include "core/RateWindow.h"
#include "core/Rules.h"
#include "core/Trust.h"

#include <benchmark/benchmark.h>

namespace vantrel {
namespace {

constexpr Timestamp now{813147840};

void scoreWithHistory(benchmark::State& state) {
    const DeviceHistory history{4, now - 86400 * 30, now - 3 * 3600, {"input", "serial"}};
    const std::vector<Capability> caps{Capability::input, Capability::serial};
    for (auto _ : state) {
        benchmark::DoNotOptimize(Trust::score("Pro Keyboard", 0x2341, caps, history, now));
    }
}
BENCHMARK(scoreWithHistory);

void scoreWithoutHistory(benchmark::State& state) {
    const std::vector<Capability> caps{Capability::input};
    for (auto _ : state) {
        benchmark::DoNotOptimize(Trust::score("USB Device", 0x1234, caps, std::nullopt, now));
    }
}
BENCHMARK(scoreWithoutHistory);

// One key press added to a keyboard's window holding 30 presses, then the window's total.
void rateWindowAddAndTotal(benchmark::State& state) {
    RateWindow window(Rules::injectionWindow);
    Timestamp t = now;
    const double step = Rules::injectionWindow / 29.5; // keeps 30 samples in the window
    for (int i = 0; i < 30; ++i) {
        window.add(1, t);
        t = t + step;
    }
    for (auto _ : state) {
        window.add(1, t);
        benchmark::DoNotOptimize(window.total(t));
        t = t + step;
    }
    state.counters["samples"] = static_cast<double>(window.samples().size());
}
BENCHMARK(rateWindowAddAndTotal);

} // namespace
} // namespace vantrel

BENCHMARK_MAIN();
