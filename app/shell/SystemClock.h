// The real clock of the running application: the system's wall-clock time, as Vantrel stores it.
#pragma once

#include "app/engine/Seams.h"

#include <chrono>

namespace vantrel {

class SystemClock final : public Clock {
  public:
    Timestamp now() const override {
        const auto since = std::chrono::system_clock::now().time_since_epoch();
        return Timestamp::fromUnix(std::chrono::duration<double>(since).count());
    }
};

} // namespace vantrel
