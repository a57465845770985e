// The Monitor's scheduler on Qt's event loop: timers on the main thread, and background work on
// a thread pool whose results come back to the main thread as queued calls.
#pragma once

#include "app/engine/Seams.h"

#include <functional>

#include <QObject>
#include <QThreadPool>

namespace vantrel {

class QtScheduler final : public Scheduler {
  public:
    // `stopWork`, when given, makes background work under way end soon (the tray application
    // kills the tools it waits for); without it the end waits for the work however long it takes.
    explicit QtScheduler(std::function<void()> stopWork = {});
    // Waits for background work still running, calling `stopWork` until it has ended, after
    // dropping work not yet started; the results are dropped.
    ~QtScheduler() override;
    QtScheduler(const QtScheduler&) = delete;
    QtScheduler& operator=(const QtScheduler&) = delete;

    void after(double seconds, Task task) override;
    void every(double seconds, std::function<bool()> tick) override;
    void background(std::function<Task()> work) override;

  private:
    // Owns the timers; queued results are delivered to it, and dropped with it.
    QObject context_;
    std::function<void()> stopWork_;
    QThreadPool pool_;
};

} // namespace vantrel
