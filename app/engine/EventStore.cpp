#include "app/engine/EventStore.h"

#include "app/engine/AtomicFile.h"

#include <utility>

#include <nlohmann/json.hpp>

namespace vantrel {

EventStore::EventStore(std::filesystem::path file) : file_(std::move(file)) {}

std::filesystem::path EventStore::standardPath() {
    return AtomicFile::userFile("XDG_DATA_HOME", ".local/share", "events.json");
}

std::vector<Event> EventStore::load() {
    const auto bytes = AtomicFile::read(file_);
    if (!bytes) {
        // Missing: nothing to keep. Present but unreadable: keep it before it is replaced.
        keepAside_ = AtomicFile::present(file_);
        return {};
    }
    const auto json = nlohmann::json::parse(*bytes, nullptr, false);
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
    if (keepAside_) {
        // Never replace a file that could not be copied aside; try again with the next save.
        if (!AtomicFile::keepAsideBeforeReplacing(file_)) {
            return false;
        }
        keepAside_ = false;
    }
    auto json = nlohmann::json::array();
    for (const auto& event : events) {
        json.push_back(event.toJSON());
    }
    // Texts with broken UTF-8 are written with U+FFFD rather than refused.
    return AtomicFile::write(file_,
                             json.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace));
}

} // namespace vantrel
