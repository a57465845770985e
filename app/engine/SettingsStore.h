// The user's settings file: $XDG_CONFIG_HOME/Vantrel/defaults.json, one JSON object of keys.
// Every change is written at once and atomically, with two-space indents; a file that cannot be
// read is kept aside.
#pragma once

#include <filesystem>
#include <optional>
#include <string_view>

#include <nlohmann/json.hpp>

namespace vantrel {

class SettingsStore {
  public:
    // Reads the file once; a missing or unreadable file reads as no keys at all.
    explicit SettingsStore(std::filesystem::path file);

    // $XDG_CONFIG_HOME/Vantrel/defaults.json, with ~/.config when XDG_CONFIG_HOME is unset.
    static std::filesystem::path standardPath();

    const std::filesystem::path& path() const { return file_; }

    // The stored value, or nullptr when the key is absent.
    const nlohmann::json* value(std::string_view key) const;
    // The stored boolean; none when absent or not a boolean.
    std::optional<bool> boolean(std::string_view key) const;

    // Stores `value` under `key` and writes the whole file at once; false when it could not be
    // written (the value is kept in memory and goes out with the next write).
    bool set(std::string_view key, nlohmann::json value);

    // A stored value could not be read and will be replaced: before the next write, the file as
    // it is now is copied aside unchanged ("defaults.json.unreadable-20261209T101500").
    void keepAsideBeforeNextWrite();

  private:
    std::filesystem::path file_;
    nlohmann::json values_ = nlohmann::json::object();
    bool keepAside_ = false;
};

} // namespace vantrel
