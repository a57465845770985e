#include "app/linux/OwnPrograms.h"

#include "app/linux/HostFiles.h"

#include <filesystem>
#include <system_error>

namespace vantrel::OwnPrograms {

std::optional<std::string> find(std::string_view name) {
    std::error_code error;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error) {
        return std::nullopt;
    }
    const std::filesystem::path folder = self.parent_path();
    for (const auto& candidate : {folder / name, folder.parent_path() / "lib" / "vantrel" / name}) {
        if (HostFiles::executable(candidate.string())) {
            return candidate.string();
        }
    }
    return std::nullopt;
}

} // namespace vantrel::OwnPrograms
