#include "app/engine/StoredJSON.h"

namespace vantrel::StoredJSON {

nlohmann::json parse(std::string_view text) {
    using Event = nlohmann::json::parse_event_t;
    bool tooDeep = false;
    // The callback sees the depth of every array and object as it opens; one too deep is
    // discarded at once, so that nothing of it is built, and the whole document fails.
    auto json = nlohmann::json::parse(
        text,
        [&tooDeep](int depth, Event event, const nlohmann::json&) {
            if ((event == Event::object_start || event == Event::array_start) &&
                depth >= maxDepth) {
                tooDeep = true;
                return false;
            }
            return true;
        },
        false);
    return tooDeep ? nlohmann::json(nlohmann::json::value_t::discarded) : json;
}

} // namespace vantrel::StoredJSON
