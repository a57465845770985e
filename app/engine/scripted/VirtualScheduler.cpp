#include "app/engine/scripted/VirtualScheduler.h"

#include <cmath>

namespace vantrel {

void VirtualScheduler::queue(Timestamp at, Entry entry) {
    queue_.emplace(std::pair(at.seconds, sequence_++), std::move(entry));
}

void VirtualScheduler::after(double seconds, Task task) {
    if (!task) {
        return;
    }
    const double delay = std::isfinite(seconds) && seconds > 0 ? seconds : 0;
    queue(now_ + delay, Entry{std::move(task), {}, 0});
}

void VirtualScheduler::every(double seconds, std::function<bool()> tick) {
    // A tick that never moves time on would keep runUntil busy for ever.
    if (!tick || !std::isfinite(seconds) || seconds <= 0) {
        return;
    }
    queue(now_ + seconds, Entry{{}, std::move(tick), seconds});
}

void VirtualScheduler::background(std::function<Task()> work) {
    if (!work) {
        return;
    }
    Task handBack = work();
    if (handBack) {
        queue(now_, Entry{std::move(handBack), {}, 0});
    }
}

void VirtualScheduler::runUntil(Timestamp t, bool inclusive) {
    while (!queue_.empty()) {
        auto first = queue_.begin();
        const double at = first->first.first;
        if (at > t.seconds || (!inclusive && at == t.seconds)) {
            break;
        }
        Entry entry = std::move(first->second);
        queue_.erase(first);
        if (at > now_.seconds) {
            now_ = Timestamp{at};
        }
        if (entry.tick) {
            if (entry.tick()) {
                queue(Timestamp{at} + entry.interval, std::move(entry));
            }
        } else {
            entry.task();
        }
    }
    now_ = t;
}

} // namespace vantrel
