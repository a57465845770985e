#include "app/engine/SettingsStore.h"

#include "app/engine/AtomicFile.h"
#include "app/engine/StoredJSON.h"

#include <string>
#include <utility>

namespace vantrel {

SettingsStore::SettingsStore(std::filesystem::path file) : file_(std::move(file)) {
    AtomicFile::removeStaleTemporaries(file_);
    const auto bytes = AtomicFile::read(file_, maxBytes);
    if (!bytes) {
        unreadable_ = keepAside_ = AtomicFile::present(file_);
        return;
    }
    auto json = StoredJSON::parse(*bytes);
    if (json.is_object()) {
        values_ = std::move(json);
    } else {
        unreadable_ = keepAside_ = true;
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
    // Two-space indents and a final newline, so that the file reads well in an editor; texts with
    // broken UTF-8 are written with U+FFFD rather than refused.
    const std::string text =
        values_.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
    // A file that the next start could not read would lose everything in it.
    if (text.size() > maxBytes) {
        return false;
    }
    if (keepAside_) {
        // Never replace a file that could not be kept aside; try again with the next write.
        keepAsideNow(std::time(nullptr));
        if (keepAside_) {
            return false;
        }
    }
    return AtomicFile::write(file_, text);
}

void SettingsStore::keepAsideBeforeNextWrite() {
    keepAside_ = true;
}

const std::optional<std::filesystem::path>& SettingsStore::keepAsideNow(std::time_t when) {
    if (keepAside_) {
        if (auto aside = AtomicFile::keepAside(file_, maxBytes, when)) {
            keptAside_ = std::move(aside);
            keepAside_ = false;
        } else if (!AtomicFile::present(file_)) {
            keepAside_ = false; // gone meanwhile: nothing left to keep
        }
    }
    return keptAside_;
}

} // namespace vantrel
