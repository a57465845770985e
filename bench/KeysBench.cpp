// Benchmarks of the keyboard watcher: the time from a key press written to an event device (a
// FIFO in a fixture tree, carrying what a keyboard sends for one press: the scan code, the key
// and the report's end) to the key-down handler, through pollOnce().
// Run: build/bench/keys_bench
//
// BM_pressInline writes and reads on one thread, with 1 or 16 keyboards watched: the write, the
// poll, the read and the handler. BM_pressFromAnotherThread has another thread write while the
// watcher waits in poll(), so the time also holds the wake-up of the waiting thread; it is
// measured from just before the write to the handler's call.
#include "app/linux/KeystrokeGuard.h"
#include "tests/linux/FixtureTree.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <fcntl.h>
#include <linux/input.h>
#include <memory>
#include <mutex>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include <benchmark/benchmark.h>

namespace vantrel {
namespace {

using Clocked = std::chrono::steady_clock;

struct FixedClock final : Clock {
    Timestamp now() const override { return Timestamp{0}; }
};

// `count` USB keyboards, each with a FIFO for its event device, watched by a started guard; a
// writer open on each.
struct Keyboards {
    FixtureTree tree;
    FixedClock clock;
    KeystrokeGuard guard{clock};
    std::vector<int> writers;
    std::atomic<std::int64_t> presses{0};
    Clocked::time_point handled;

    explicit Keyboards(int count) {
        tree.folder("/dev/input");
        for (int n = 0; n < count; ++n) {
            const std::string input = "/sys/devices/pci0000:00/0000:00:14.0/usb1/1-" +
                                      std::to_string(n + 1) + "/input/input" + std::to_string(n);
            tree.attribute(input + "/name", "Keyboard " + std::to_string(n));
            tree.attribute(input + "/id/bustype", "0003");
            tree.attribute(input + "/capabilities/key", "fffffffffffffffe");
            tree.folder(input + "/event" + std::to_string(n));
            tree.link("/sys/class/input/input" + std::to_string(n), "../../" + input.substr(5));
            ::mkfifo(tree.at("/dev/input/event" + std::to_string(n)).c_str(), 0600);
        }
        guard.setOnKeyDown([this](const Keyboard&, Timestamp) {
            handled = Clocked::now();
            presses.fetch_add(1, std::memory_order_relaxed);
        });
        guard.start();
        for (int n = 0; n < count; ++n) {
            writers.push_back(::open(tree.at("/dev/input/event" + std::to_string(n)).c_str(),
                                     O_WRONLY | O_NONBLOCK | O_CLOEXEC));
        }
    }
    ~Keyboards() {
        for (const int fd : writers) {
            ::close(fd);
        }
    }

    bool ready() const {
        return guard.descriptors().size() == writers.size() &&
               std::find(writers.begin(), writers.end(), -1) == writers.end();
    }
};

input_event record(int type, int code, int value) {
    input_event event{};
    event.type = static_cast<__u16>(type);
    event.code = static_cast<__u16>(code);
    event.value = value;
    return event;
}

const input_event press[] = {record(EV_MSC, MSC_SCAN, 0x70004), record(EV_KEY, KEY_A, 1),
                             record(EV_SYN, SYN_REPORT, 0)};

void BM_pressInline(benchmark::State& state) {
    Keyboards keyboards(static_cast<int>(state.range(0)));
    if (!keyboards.ready()) {
        state.SkipWithError("the fixture keyboards could not be opened");
        return;
    }
    const int writer = keyboards.writers.back();
    for (auto _ : state) {
        benchmark::DoNotOptimize(::write(writer, press, sizeof press));
        keyboards.guard.pollOnce(1000);
    }
    if (keyboards.presses.load() != static_cast<std::int64_t>(state.iterations())) {
        state.SkipWithError("a press went missing");
    }
}
BENCHMARK(BM_pressInline)->Arg(1)->Arg(16)->Unit(benchmark::kMicrosecond);

void BM_pressFromAnotherThread(benchmark::State& state) {
    Keyboards keyboards(1);
    if (!keyboards.ready()) {
        state.SkipWithError("the fixture keyboard could not be opened");
        return;
    }
    std::mutex mutex;
    std::condition_variable wanted;
    std::int64_t requested = 0;
    bool done = false;
    std::atomic<Clocked::rep> written{0};
    std::thread writer([&] {
        std::int64_t sent = 0;
        for (;;) {
            std::unique_lock lock(mutex);
            wanted.wait(lock, [&] { return done || requested > sent; });
            if (done) {
                return;
            }
            ++sent;
            lock.unlock();
            written.store(Clocked::now().time_since_epoch().count());
            benchmark::DoNotOptimize(::write(keyboards.writers[0], press, sizeof press));
        }
    });
    for (auto _ : state) {
        {
            const std::lock_guard lock(mutex);
            ++requested;
        }
        wanted.notify_one();
        keyboards.guard.pollOnce(1000);
        const Clocked::time_point start{Clocked::duration{written.load()}};
        state.SetIterationTime(std::chrono::duration<double>(keyboards.handled - start).count());
    }
    {
        const std::lock_guard lock(mutex);
        done = true;
    }
    wanted.notify_one();
    writer.join();
    if (keyboards.presses.load() != static_cast<std::int64_t>(state.iterations())) {
        state.SkipWithError("a press went missing");
    }
}
BENCHMARK(BM_pressFromAnotherThread)->UseManualTime()->Unit(benchmark::kMicrosecond);

} // namespace
} // namespace vantrel

BENCHMARK_MAIN();
