#include "app/engine/SettingsStore.h"

#include "app/engine/AtomicFile.h"

#include <string>
#include <utility>

namespace vantrel {

SettingsStore::SettingsStore(std::filesystem::path file) : file_(std::move(file)) {
    const auto bytes = AtomicFile::read(file_);
    if (!bytes) {
        keepAside_ = AtomicFile::present(file_);
        return;
    }
    auto json = nlohmann::json::parse(*bytes, nullptr, false);
    if (json.is_object()) {
        values_ = std::move(json);
    } else {
        keepAside_ = true;
    }
}

std::filesystem::path SettingsStore::standardPath() {
    return AtomicFile::userFile("XDG_CONFIG_HOME", ".config", "defaults.json");
}

const nlohmann::json* SettingsStore::value(std::string_view key) const {
    auto it = values_.find(key);
    return it == values_.end() ? nullptr : &*it;
}

std::optional<bool> SettingsStore::boolean(std::string_view key) const {
    const auto* stored = value(key);
    if (stored == nullptr || !stored->is_boolean()) {
        return std::nullopt;
    }
    return stored->get<bool>();
}

bool SettingsStore::set(std::string_view key, nlohmann::json value) {
    values_[std::string(key)] = std::move(value);
    if (keepAside_) {
        // Never replace a file that could not be copied aside; try again with the next write.
        if (!AtomicFile::keepAsideBeforeReplacing(file_)) {
            return false;
        }
        keepAside_ = false;
    }
    // Two-space indents and a final newline, so that the file reads well in an editor; texts with
    // broken UTF-8 are written with U+FFFD rather than refused.
    return AtomicFile::write(
        file_, values_.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) + "\n");
}

void SettingsStore::keepAsideBeforeNextWrite() {
    keepAside_ = true;
}

} // namespace vantrel
