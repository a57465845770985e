// The system journal as a place events go: each event one structured entry with its level and,
// when it concerns one USB device, that device's key, ids and trust score.
#pragma once

#include "app/engine/Seams.h"

#include <filesystem>
#include <memory>
#include <optional>

namespace vantrel {

class JournalSink final : public EventSink {
  public:
    static constexpr const char* standardSocket = "/run/systemd/journal/socket";

    // Whether a journal answers here: its socket exists. Without one, a sink is not worth making.
    // The socket is looked for on the machine Vantrel reads, so that a fixture machine's events
    // (under VANTREL_ROOT, in tests and benchmarks) never reach the system's journal.
    static bool available();
    static bool available(const std::filesystem::path& socket);

    // Sends the entry. Each field goes whole: no value is formatted, and one with a newline is
    // sent length-prefixed, so it cannot start another field. When the journal cannot take it,
    // the event is in the event log only, and nothing is said.
    void record(const Event& event, const std::optional<EventDevice>& device) override;
};

// A sink writing to the journal, or nullptr where none answers.
std::unique_ptr<EventSink> openJournalSink();

} // namespace vantrel
