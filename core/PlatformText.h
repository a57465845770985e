// The words a user-facing text uses for the operating system and the machine it runs on.
// Every text that names them is written with {os} and {machine} and filled in here, in one place.
#pragma once

#include <string>
#include <string_view>

namespace vantrel::PlatformText {

inline constexpr std::string_view os = "Linux";
inline constexpr std::string_view machine = "computer";

// `text` with every "{os}" and "{machine}" replaced by the words above.
std::string words(std::string_view text);

} // namespace vantrel::PlatformText
