// The event log's file: $XDG_DATA_HOME/Vantrel/events.json, one compact JSON array, newest
// first, of at most 4 MiB. Written whole and atomically; a file that cannot be read is kept
// aside, never lost.
#pragma once

#include "app/engine/Event.h"

#include <cstddef>
#include <filesystem>
#include <vector>

namespace vantrel {

class EventStore {
  public:
    // The largest file read, and written: a larger one is unreadable.
    static constexpr std::size_t maxBytes = std::size_t{4} << 20;

    // Removes the temporary files of writes cut short.
    explicit EventStore(std::filesystem::path file);

    // $XDG_DATA_HOME/Vantrel/events.json, with ~/.local/share when XDG_DATA_HOME is unset.
    static std::filesystem::path standardPath();

    const std::filesystem::path& path() const { return file_; }

    // The stored events; empty when the file is missing, unreadable (past maxBytes or nested
    // past StoredJSON::maxDepth, too), or any element fails to decode. A file that exists but is
    // unreadable is set aside unchanged by the next save.
    std::vector<Event> load();

    // Replaces the file with `events`; false when it could not be written or would be larger
    // than maxBytes.
    bool save(const std::vector<Event>& events);

  private:
    std::filesystem::path file_;
    bool keepAside_ = false;
};

} // namespace vantrel
