// The mount table: the input read as /proc/self/mountinfo, and the name shown for every mount
// point in it. Properties: every mount has a device number and a mount point without blanks,
// and its name is valid UTF-8, either "/" or free of slashes.
#include "app/linux/MountTable.h"
#include "fuzz/FuzzSupport.h"

#include <string>

using namespace vantrel;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input = fuzz::text(data, size);
    for (const MountTable::Mount& mount : MountTable::parse(input)) {
        fuzz::require(MountTable::deviceNumber(mount.number), "a mount has a device number");
        fuzz::require(!mount.mountPoint.empty() &&
                          mount.mountPoint.find_first_of(" \n") == std::string::npos,
                      "a mount point is one field");
        const std::string name = MountTable::volumeName(mount.mountPoint);
        fuzz::require(fuzz::validUTF8(name), "a volume name is valid UTF-8");
        fuzz::require(name == "/" || name.find('/') == std::string::npos,
                      "a volume name is the root or one component");
    }
    const std::string plain = MountTable::unescaped(input);
    fuzz::require(plain.size() <= input.size(), "undoing escapes never lengthens a text");
    fuzz::require(input.find('\\') != std::string_view::npos || plain == input,
                  "a text without escapes is left as it is");
    return 0;
}
