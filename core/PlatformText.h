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

// ---- What the self-test names -----------------------------------------------------------------

// The command the screen lock runs.
inline constexpr std::string_view lockCommand = "loginctl lock-session";
// The disk holding "/" when no block device does (an overlay or tmpfs root).
inline constexpr std::string_view rootDiskFallback = "the root disk";
// How the processes holding a serial line are found.
inline constexpr std::string_view processScan = "/proc scan";
// The serial line whose users the self-test looks for: one most machines have.
inline constexpr std::string_view builtInSerialPort = "/dev/ttyS0";

// ---- What the window names --------------------------------------------------------------------

// Where the user grants the keystroke guard its permission, ending a sentence that begins
// "Typing guard needs permission: ".
inline constexpr std::string_view inputPermissionPlace =
    "join the input group (sudo adduser $USER input), then log in again.";
// What the keystroke guard's help says it needs: reading the keyboards is granted by membership
// of the input group.
inline constexpr std::string_view inputPermissionNeed =
    "Needs membership of the input group to read the keyboards.";

} // namespace vantrel::PlatformText
