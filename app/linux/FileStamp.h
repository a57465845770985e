// A file as stat saw it, so that a file read once is read again only after it was written,
// replaced, made or removed: the resolver files and the desktop's proxy settings are kept so.
#pragma once

#include <cstdint>
#include <string>

namespace vantrel {

// A file written since, replaced or gone differs.
struct FileStamp {
    std::uint64_t device = 0, inode = 0, size = 0;
    std::int64_t modified = 0, changed = 0; // nanoseconds
    bool present = false;
    friend bool operator==(const FileStamp&, const FileStamp&) = default;
};

// The stamp of `file` now (links followed); one that is not present when stat fails.
FileStamp stamp(const std::string& file);

} // namespace vantrel
