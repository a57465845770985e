// The systemd journal as a place events go: one entry per event with its level and the device it
// concerns. Nothing when no journal answers.
#pragma once

#include "app/engine/Seams.h"

#include <memory>

namespace vantrel {

// A sink writing to the journal, or nullptr where there is none.
std::unique_ptr<EventSink> openJournalSink();

} // namespace vantrel
