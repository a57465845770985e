#include "core/RateWindow.h"

#include <algorithm>

namespace vantrel {

void RateWindow::add(double value, Timestamp at) {
    samples_.push_back({at, value});
    prune(at);
}

void RateWindow::prune(Timestamp now) {
    // A sample exactly `window` seconds old stays; samples may be out of time order.
    std::erase_if(samples_, [&](const Sample& s) { return now - s.at > window_; });
}

double RateWindow::total(Timestamp now) const {
    double sum = 0;
    for (const Sample& s : samples_) {
        if (now - s.at <= window_) {
            sum += s.value;
        }
    }
    return sum;
}

} // namespace vantrel
