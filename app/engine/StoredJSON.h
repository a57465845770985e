// Reading the JSON documents Vantrel keeps (settings, the event log) with their nesting bounded,
// so that no stored file can build a value too deep to write back or to walk.
#pragma once

#include <string_view>

#include <nlohmann/json.hpp>

namespace vantrel::StoredJSON {

// The deepest nesting of arrays and objects read; our own documents nest four deep at most.
inline constexpr int maxDepth = 64;

// The document in `text`; a discarded value when it is not JSON or nests deeper than maxDepth.
nlohmann::json parse(std::string_view text);

} // namespace vantrel::StoredJSON
