// Vantrel's own helper programs (the headless guard, the reader of GNOME's proxy settings): where
// one is found, beside the running executable in a build folder or in ../lib/vantrel installed.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace vantrel::OwnPrograms {

// The absolute path of the helper `name`: the first of <folder of /proc/self/exe>/name and
// <that folder>/../lib/vantrel/name that is an executable file; none when neither is.
std::optional<std::string> find(std::string_view name);

} // namespace vantrel::OwnPrograms
