// One copy of the tray application per user and per data: the first copy holds exclusive locks
// on $XDG_RUNTIME_DIR/Vantrel.lock (the cache folder when there is no runtime folder) and on the
// folders of the files it keeps, until it ends.
#pragma once

#include <filesystem>
#include <vector>

namespace vantrel {

class SingleCopy {
  public:
    // Takes the locks without waiting: the lock file's, then that of the folder holding each of
    // `files` (the folder of its target, when it is a symbolic link), made when missing.
    explicit SingleCopy(const std::vector<std::filesystem::path>& files = {});
    ~SingleCopy();
    SingleCopy(const SingleCopy&) = delete;
    SingleCopy& operator=(const SingleCopy&) = delete;

    // False when another copy holds one of the locks: another copy of this user, or one with
    // another runtime folder that keeps the same files. A lock that cannot be made at all is
    // passed over: guarding matters more than the rare second copy.
    bool first() const { return first_; }

    static std::filesystem::path lockPath();

  private:
    std::vector<int> held_;
    bool first_ = true;
};

} // namespace vantrel
