// A run loop and a clock in virtual time: nothing waits, tasks run when the driver moves time
// forward. Tasks due at the same time run in the order they were queued.
#pragma once

#include "app/engine/Seams.h"

#include <cstddef>
#include <cstdint>
#include <map>
#include <utility>

namespace vantrel {

class VirtualScheduler final : public Scheduler, public Clock {
  public:
    explicit VirtualScheduler(Timestamp start = {}) : now_(start) {}

    Timestamp now() const override { return now_; }

    // Queues `task` at now + seconds (a negative delay counts as none).
    void after(double seconds, Task task) override;
    // Queues `tick` at now + seconds; each time it runs and returns true it is queued again,
    // `seconds` after the time it was due. An interval that is not positive queues nothing.
    void every(double seconds, std::function<bool()> tick) override;
    // Runs `work` at once and queues the task it returns at the current time, so that it runs
    // after whatever is running now.
    void background(std::function<Task()> work) override;

    // Runs every task due before `t` (and at `t` when `inclusive`) in time order, including tasks
    // queued meanwhile that fall due in that span; each runs with now() at its own time. Then
    // now() is `t`.
    void runUntil(Timestamp t, bool inclusive);
    void setNow(Timestamp t) { now_ = t; }

    // Tasks and ticks still queued.
    std::size_t pending() const { return queue_.size(); }

  private:
    struct Entry {
        Task task;
        std::function<bool()> tick;
        double interval = 0;
    };
    void queue(Timestamp at, Entry entry);

    Timestamp now_;
    std::uint64_t sequence_ = 0;
    std::map<std::pair<double, std::uint64_t>, Entry> queue_;
};

} // namespace vantrel
