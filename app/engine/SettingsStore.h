// The user's settings file: $XDG_CONFIG_HOME/Vantrel/defaults.json, one JSON object of keys.
// Every change is written at once and atomically, with two-space indents; a file that cannot be
// read (of them, one past 1 MiB or nested past StoredJSON::maxDepth) is kept aside.
#pragma once

#include <cstddef>
#include <ctime>
#include <filesystem>
#include <optional>
#include <string_view>

#include <nlohmann/json.hpp>

namespace vantrel {

class SettingsStore {
  public:
    // The largest file read, and written: a larger one is unreadable.
    static constexpr std::size_t maxBytes = std::size_t{1} << 20;

    // Reads the file once; a missing or unreadable file reads as no keys at all. Temporary files
    // of writes cut short are removed first.
    explicit SettingsStore(std::filesystem::path file);

    // $XDG_CONFIG_HOME/Vantrel/defaults.json, with ~/.config when XDG_CONFIG_HOME is unset.
    static std::filesystem::path standardPath();

    const std::filesystem::path& path() const { return file_; }

    // The stored value, or nullptr when the key is absent.
    const nlohmann::json* value(std::string_view key) const;
    // The stored boolean; none when absent or not a boolean.
    std::optional<bool> boolean(std::string_view key) const;

    // Whether a file was there at start that could not be read at all.
    bool unreadable() const { return unreadable_; }

    // Stores `value` under `key` and writes the whole file at once; false when it could not be
    // written, or would be larger than maxBytes (the value is kept in memory and goes out with
    // the next write).
    bool set(std::string_view key, nlohmann::json value);

    // A stored value could not be read and will be replaced: before the next write, the file as
    // it is now is kept aside unchanged ("defaults.json.unreadable-20261209T101500").
    void keepAsideBeforeNextWrite();
    // Keeps the file aside now when that is due, named by the local time `when`. Where the file
    // was kept aside, now or by an earlier write; none when it was not (or could not be).
    const std::optional<std::filesystem::path>& keepAsideNow(std::time_t when);

  private:
    std::filesystem::path file_;
    nlohmann::json values_ = nlohmann::json::object();
    bool unreadable_ = false;
    bool keepAside_ = false;
    std::optional<std::filesystem::path> keptAside_;
};

} // namespace vantrel
