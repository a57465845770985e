#include "app/replay/StateFolder.h"

#include <cerrno>
#include <cstdlib>
#include <system_error>

namespace fs = std::filesystem;

namespace vantrel::replay {

std::optional<StateFolder> StateFolder::make(const std::optional<fs::path>& named,
                                             std::string& error) {
    std::error_code why;
    if (named) {
        fs::create_directories(*named, why);
        if (!why && !fs::is_directory(*named, why)) {
            why = std::make_error_code(std::errc::not_a_directory);
        }
        if (why) {
            error = named->string() + ": cannot be the state folder (" + why.message() + ")";
            return std::nullopt;
        }
        return StateFolder(*named, false);
    }
    const fs::path base = fs::temp_directory_path(why);
    // mkdtemp makes the folder readable by its owner only, under a name nobody else can take.
    std::string path = (base / "vantrel-replay-XXXXXX").string();
    if (why || ::mkdtemp(path.data()) == nullptr) {
        if (!why) {
            why.assign(errno, std::generic_category());
        }
        error = "state folder: cannot make a temporary folder in " +
                (base.empty() ? std::string("the temporary folder") : base.string()) + " (" +
                why.message() + ")";
        return std::nullopt;
    }
    return StateFolder(path, true);
}

StateFolder::StateFolder(StateFolder&& other) noexcept
    : path_(std::move(other.path_)), temporary_(other.temporary_) {
    other.temporary_ = false;
}

StateFolder::~StateFolder() {
    if (temporary_) {
        std::error_code ignored;
        fs::remove_all(path_, ignored);
    }
}

} // namespace vantrel::replay
