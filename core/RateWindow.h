// A sliding time window of numeric samples that turns a stream of events into a rate:
// key presses per keyboard, bytes per network interface. A plain value.
#pragma once

#include "core/Timestamp.h"

#include <vector>

namespace vantrel {

class RateWindow {
  public:
    struct Sample {
        Timestamp at;
        double value;
        friend bool operator==(const Sample&, const Sample&) = default;
    };

    explicit RateWindow(double window) : window_(window) {}

    double window() const { return window_; }
    const std::vector<Sample>& samples() const { return samples_; }

    // Appends the sample, then prunes relative to `at`.
    void add(double value, Timestamp at);
    // Removes the samples more than `window` seconds older than `now`.
    void prune(Timestamp now);
    // The sum of the samples no more than `window` seconds older than `now` (later ones count).
    double total(Timestamp now) const;
    // total(now) / window.
    double perSecond(Timestamp now) const { return total(now) / window_; }

    friend bool operator==(const RateWindow&, const RateWindow&) = default;

  private:
    double window_;
    std::vector<Sample> samples_;
};

} // namespace vantrel
