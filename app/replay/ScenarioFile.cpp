// Reading a scenario file within its bounds: its size and how deep its values nest.
#include "app/engine/AtomicFile.h"
#include "app/engine/StoredJSON.h"
#include "app/replay/Scenario.h"

#include <system_error>

namespace vantrel::replay {
using nlohmann::json;

std::optional<json> readScenarioFile(const std::filesystem::path& file, std::string& error) {
    const std::string name = file.empty() ? std::string("FILE") : file.string();
    const auto text = AtomicFile::read(file, Limits::fileBytes);
    if (!text) {
        std::error_code ignored;
        const bool tooLarge = std::filesystem::is_regular_file(file, ignored) &&
                              std::filesystem::file_size(file, ignored) > Limits::fileBytes;
        error = name + (tooLarge ? ": larger than 16 MiB" : ": cannot be read");
        return std::nullopt;
    }
    // Checked before anything is built, so that a hostile file costs no more than its reading.
    if (const std::string fault = StoredJSON::fault(*text, Limits::depth); !fault.empty()) {
        error = name + ": " + fault;
        return std::nullopt;
    }
    return json::parse(*text, nullptr, false);
}

} // namespace vantrel::replay
