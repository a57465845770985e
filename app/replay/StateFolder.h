// Where a replay keeps the settings file, the event log and whatever it keeps aside: a folder the
// caller names, or a fresh temporary one, so that a replay never touches the user's own files.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace vantrel::replay {

class StateFolder {
  public:
    // The folder `named` (made when missing, kept afterwards), or a new private folder under the
    // temporary folder that goes with this object. None, with why in `error`, when it cannot be
    // made or is no folder.
    static std::optional<StateFolder> make(const std::optional<std::filesystem::path>& named,
                                           std::string& error);

    StateFolder(StateFolder&& other) noexcept;
    StateFolder& operator=(StateFolder&&) = delete;
    StateFolder(const StateFolder&) = delete;
    StateFolder& operator=(const StateFolder&) = delete;
    // Removes a temporary folder with everything in it; a named one stays.
    ~StateFolder();

    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path settings() const { return path_ / "defaults.json"; }
    std::filesystem::path events() const { return path_ / "events.json"; }

  private:
    StateFolder(std::filesystem::path path, bool temporary)
        : path_(std::move(path)), temporary_(temporary) {}

    std::filesystem::path path_;
    bool temporary_ = false;
};

} // namespace vantrel::replay
