#include "app/shell/QtScheduler.h"

#include <cmath>
#include <memory>
#include <utility>

#include <QMetaObject>
#include <QTimer>

namespace vantrel {
namespace {

int milliseconds(double seconds) {
    return seconds <= 0 ? 0 : static_cast<int>(std::lround(seconds * 1000.0));
}

} // namespace

QtScheduler::QtScheduler(std::function<void()> stopWork) : stopWork_(std::move(stopWork)) {
    // Background work is a tool run (NetworkManager, polkit); two at a time is plenty.
    pool_.setMaxThreadCount(2);
}

QtScheduler::~QtScheduler() {
    if (stopWork_) {
        // A task may run one tool after another: each is stopped in turn, a moment after it
        // started, until the task is done.
        pool_.clear();
        while (!pool_.waitForDone(20)) {
            stopWork_();
        }
    }
    pool_.waitForDone();
}

void QtScheduler::after(double seconds, Task task) {
    QTimer::singleShot(milliseconds(seconds), Qt::PreciseTimer, &context_, std::move(task));
}

void QtScheduler::every(double seconds, std::function<bool()> tick) {
    auto* timer = new QTimer(&context_);
    timer->setTimerType(Qt::PreciseTimer);
    timer->setInterval(milliseconds(seconds));
    QObject::connect(timer, &QTimer::timeout, timer, [timer, tick = std::move(tick)] {
        if (!tick()) {
            timer->stop();
            timer->deleteLater();
        }
    });
    timer->start();
}

void QtScheduler::background(std::function<Task()> work) {
    pool_.start([this, work = std::move(work)] {
        auto done = std::make_shared<Task>(work());
        // context_ outlives every task of the pool (the destructor waits for them), and a call
        // queued to it is dropped should it be gone before the event loop delivers it.
        QMetaObject::invokeMethod(
            &context_,
            [done] {
                if (*done) {
                    (*done)();
                }
            },
            Qt::QueuedConnection);
    });
}

} // namespace vantrel
