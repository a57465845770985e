// Reading JSON documents with their nesting bounded (the settings, the event log, replay
// scenarios), so that no file can build a value too deep to write back or to walk.
#pragma once

#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

namespace vantrel::StoredJSON {

// The deepest nesting of arrays and objects read; our own documents nest four deep at most.
inline constexpr int maxDepth = 64;

// Why `text` is no JSON document nesting at most `depth` arrays and objects deep ("not valid
// JSON (at byte 12)", "nested deeper than 64 arrays and objects"); empty when it is one. Builds
// nothing and takes time linear in the text.
std::string fault(std::string_view text, int depth = maxDepth);

// The document in `text`; a discarded value when it is not JSON or nests deeper than maxDepth.
nlohmann::json parse(std::string_view text);

} // namespace vantrel::StoredJSON
