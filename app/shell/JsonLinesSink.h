// Events as JSON lines on a stream (the headless guard's standard output): one object per event,
// {"date": ISO 8601 UTC, "level", "text", "id"}, every device string escaped and kept on its line.
#pragma once

#include "app/engine/Seams.h"

#include <iosfwd>
#include <string>

namespace vantrel {

class JsonLinesSink final : public EventSink {
  public:
    // `out` must outlive the sink.
    explicit JsonLinesSink(std::ostream& out) : out_(out) {}
    // Writes one line and flushes it, so that a reader sees each event as it happens.
    void record(const Event& event, const std::optional<EventDevice>& device) override;

    // The line for `event`, without its newline.
    static std::string line(const Event& event);
    // "2024-05-01T09:30:00.250Z": UTC, to the millisecond.
    static std::string isoDate(Timestamp date);

  private:
    std::ostream& out_;
};

} // namespace vantrel
