#include "app/engine/EventStore.h"

#include "app/engine/AtomicFile.h"
#include "app/engine/StoredJSON.h"

#include <utility>

#include <nlohmann/json.hpp>

namespace vantrel {

EventStore::EventStore(std::filesystem::path file) : file_(std::move(file)) {
    AtomicFile::removeStaleTemporaries(file_);
}

std::filesystem::path EventStore::standardPath() {
    return AtomicFile::userFile("XDG_DATA_HOME", ".local/share", "events.json");
}

std::vector<Event> EventStore::load() {
    const auto bytes = AtomicFile::read(file_, maxBytes);
    if (!bytes) {
        // Missing: nothing to keep. Present but unreadable: keep it before it is replaced.
        keepAside_ = AtomicFile::present(file_);
        return {};
    }
    const auto json = StoredJSON::parse(*bytes);
    std::vector<Event> events;
    if (json.is_array()) {
        events.reserve(json.size());
        for (const auto& element : json) {
            auto event = Event::fromJSON(element);
            if (!event) {
                break;
            }
            events.push_back(std::move(*event));
        }
    }
    if (!json.is_array() || events.size() != json.size()) {
        keepAside_ = true;
        return {};
    }
    keepAside_ = false;
    return events;
}

bool EventStore::save(const std::vector<Event>& events) {
    auto json = nlohmann::json::array();
    for (const auto& event : events) {
        json.push_back(event.toJSON());
    }
    // Texts with broken UTF-8 are written with U+FFFD rather than refused.
    const std::string text = json.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
    // A file that the next start could not read would lose every event in it.
    if (text.size() > maxBytes) {
        return false;
    }
    if (keepAside_) {
        // Never replace a file that could not be kept aside; try again with the next save.
        if (!AtomicFile::keepAsideBeforeReplacing(file_, maxBytes)) {
            return false;
        }
        keepAside_ = false;
    }
    return AtomicFile::write(file_, text);
}

} // namespace vantrel
