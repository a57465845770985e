// The Monitor's scheduler on Qt's event loop: timers on the main thread, and background work on
// a thread pool whose results come back to the main thread as queued calls.
#pragma once

#include "app/engine/Seams.h"

#include <QObject>
#include <QThreadPool>

namespace vantrel {

class QtScheduler final : public Scheduler {
  public:
    QtScheduler();
    // Waits for background work still running; its results are dropped.
    ~QtScheduler() override;
    QtScheduler(const QtScheduler&) = delete;
    QtScheduler& operator=(const QtScheduler&) = delete;

    void after(double seconds, Task task) override;
    void every(double seconds, std::function<bool()> tick) override;
    void background(std::function<Task()> work) override;

  private:
    // Owns the timers; queued results are delivered to it, and dropped with it.
    QObject context_;
    QThreadPool pool_;
};

} // namespace vantrel
