// Turns SIGTERM and SIGINT into a clean end of Qt's event loop: the handler only writes the signal
// to a pipe, and the loop, reading it, calls QCoreApplication::quit(), so that everything unwinds.
#pragma once

#include <memory>

#include <QSocketNotifier>

namespace vantrel {

class QuitOnSignal {
  public:
    // Needs a QCoreApplication. One at a time: it owns the two signals' handlers until it goes.
    QuitOnSignal();
    ~QuitOnSignal();
    QuitOnSignal(const QuitOnSignal&) = delete;
    QuitOnSignal& operator=(const QuitOnSignal&) = delete;

    // The signal that ended the loop, or 0.
    int caught() const { return caught_; }

  private:
    int read_ = -1;
    int write_ = -1;
    int caught_ = 0;
    std::unique_ptr<QSocketNotifier> notifier_;
};

} // namespace vantrel
