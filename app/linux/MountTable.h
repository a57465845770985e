// The mount table as /proc/self/mountinfo gives it, and the names shown for its mount points.
// Pure functions over the text: Actions reads the file and matches the mounts to disks.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace vantrel::MountTable {

struct Mount {
    std::string number;     // "8:17"
    std::string mountPoint; // escaped as the kernel writes it
};

// "8:17", the form both sysfs `dev` files and mountinfo give device numbers in.
bool deviceNumber(std::string_view text);

// The mounts of a mountinfo text in its order, lines that do not parse left out. A line reads
// "36 25 8:17 / /media/ann/My\040Stick rw,nosuid - vfat /dev/sdb1 rw".
std::vector<Mount> parse(std::string_view mountinfo);

// The kernel writes space, tab, line feed and backslash in a mount point as \040, \011, \012
// and \134; any three-digit octal escape is undone the same way.
std::string unescaped(std::string_view mountPoint);

// The name shown for a volume: the last component of its mount point, "/" for the root, with
// bytes that are not UTF-8 repaired.
std::string volumeName(std::string_view escapedMountPoint);

} // namespace vantrel::MountTable
