// The cost of one event written to the system journal: JournalSink::record with and without a
// device, sent to whatever journal answers on /run/systemd/journal/socket.
// Run: bench/journal.sh [BUILD] (a journald of its own in a private mount namespace; needs root)
#include "app/shell/JournalSink.h"

#include <benchmark/benchmark.h>

namespace vantrel {
namespace {

Event sample(int i) {
    return Event{newUUID(), Timestamp{800000000.0 + i}, Event::Level::warning,
                 "New USB device never seen before: Keyboard (1A86:7523) from QinHeng "
                 "Electronics. It claims: Keyboard/mouse, Serial port.",
                 false};
}

void BM_journalRecord(benchmark::State& state) {
    if (!JournalSink::available()) {
        state.SkipWithError("no journal answers here");
        return;
    }
    JournalSink sink;
    const bool withDevice = state.range(0) != 0;
    const std::optional<EventDevice> device =
        withDevice ? std::optional(EventDevice{"1a86:7523:SN123", 0x1a86, 0x7523, 34})
                   : std::nullopt;
    const Event event = sample(0);
    for (auto _ : state) {
        sink.record(event, device);
    }
}
BENCHMARK(BM_journalRecord)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

} // namespace
} // namespace vantrel

BENCHMARK_MAIN();
