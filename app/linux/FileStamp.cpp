#include "app/linux/FileStamp.h"

#include <sys/stat.h>

namespace vantrel {

FileStamp stamp(const std::string& file) {
    struct stat info {};
    if (::stat(file.c_str(), &info) != 0) {
        return {};
    }
    const auto nanoseconds = [](const timespec& t) {
        return static_cast<std::int64_t>(t.tv_sec) * 1'000'000'000 + t.tv_nsec;
    };
    return {static_cast<std::uint64_t>(info.st_dev),
            static_cast<std::uint64_t>(info.st_ino),
            static_cast<std::uint64_t>(info.st_size),
            nanoseconds(info.st_mtim),
            nanoseconds(info.st_ctim),
            true};
}

} // namespace vantrel
