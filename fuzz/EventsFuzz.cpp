// The event file through a write: the input as events.json, loaded, saved and loaded again.
// Properties: the save succeeds and loads back as the same events; an input that was not read
// whole is kept aside byte for byte, and one that was read lost no element.
#include "app/engine/EventStore.h"
#include "fuzz/FuzzSupport.h"

#include <nlohmann/json.hpp>

using namespace vantrel;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input = fuzz::text(data, size);
    const auto file = fuzz::freshFile("events", "events.json", input);
    const auto folder = file.parent_path();

    EventStore store(file);
    const auto events = store.load();
    for (const Event& event : events) {
        fuzz::require(Event::fromJSON(event.toJSON()) == event, "an event encodes to itself");
    }
    fuzz::require(store.save(events), "the event file can be written");
    fuzz::require(EventStore(file).load() == events, "the saved events load back");

    const auto aside = fuzz::filesNamed(folder, ".unreadable-");
    fuzz::require(aside.size() <= 1, "a file is kept aside at most once");
    if (aside.empty()) {
        const auto original = nlohmann::json::parse(input, nullptr, false);
        fuzz::require(original.is_array() && original.size() == events.size(),
                      "a file not read whole is kept aside");
    } else {
        fuzz::require(fuzz::readFile(aside.front()) == input,
                      "the file kept aside is the unreadable file, unchanged");
    }
    return 0;
}
